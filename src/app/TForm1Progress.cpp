// The "Pro&gress" button of the start page and the progress window it opens for the
// chosen player, on the lesson chosen in the lesson list.

#include "app/TForm1.h"

#include "app/TProgressWindow.h"
#include "app/progress/ProgressSource.h"
#include "platform/fs/Files.h"

#include <QEvent>

#include <map>

namespace {

// Keeps a control's enabled state equal to another's, whoever changes that one.
class EnabledFollower : public QObject {
public:
    EnabledFollower(QWidget* leader, QWidget* follower) : QObject(follower), follower_(follower)
    {
        follower_->setEnabled(leader->isEnabled());
        leader->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange)
            follower_->setEnabled(static_cast<QWidget*>(watched)->isEnabled());
        return false;
    }

private:
    QWidget* follower_;
};

} // namespace

void TForm1::BindProgressButton()
{
    new EnabledFollower(btnStartTest, btnProgress); // owned by btnProgress
}

void TForm1::btnProgressClick(QObject* /*Sender*/)
{
    // Each lesson's words as its folder lists them; a lesson that cannot be listed
    // shows what the record and the history hold of it.
    std::map<std::string, std::vector<std::string>> lessonWords;
    for (int i = 0; i < ComboBox2->count(); ++i) {
        const std::string lesson = ComboBox2->itemText(i).toStdString();
        std::vector<std::string>& words = lessonWords[lesson];
        try {
            for (const platform::DirEntry& entry :
                 platform::ListFolder(ContentFile(ExeDir + lesson), "*.wav"))
                words.push_back(WordOfFileName(entry.name));
        } catch (const std::exception&) {
            words.clear();
        }
    }
    const std::string lesson = ComboBox2->currentText().toStdString();
    TProgressWindow window(app::progress::LoadProgressSource(ComboBox3->currentText().toStdString(),
                                                             ContentFile(PlayerRecordPath()), lessonWords),
                           lesson.empty() ? std::nullopt : std::optional<std::string>(lesson), this);
    window.exec();
}
