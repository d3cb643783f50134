// The "Pro&gress" button of the start page and the progress windows it opens, on the lesson
// chosen in the lesson list: the chosen player's own, or the whole class's when no player is
// chosen; each window can switch to the other.

#include "app/TForm1.h"

#include "app/LessonSettings.h"
#include "app/TClassWindow.h"
#include "app/TProgressWindow.h"
#include "app/progress/ProgressSource.h"
#include "platform/fs/Files.h"

#include <QComboBox>
#include <QEvent>

#include <functional>
#include <map>

namespace {

// Calls `update` whenever the watched control's enabled state changes, whoever changes it.
class EnabledWatch : public QObject {
public:
    EnabledWatch(QWidget* watched, QObject* owner, std::function<void()> update)
        : QObject(owner), update_(std::move(update))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange)
            update_();
        return false;
    }

private:
    std::function<void()> update_;
};

// The lessons whose folder names a test date, past ones too.
std::map<std::string, TProgressWindow::LessonTestDay>
LessonTestDays(const TForm1& form, const std::map<std::string, std::vector<std::string>>& lessonWords)
{
    std::map<std::string, TProgressWindow::LessonTestDay> testDays;
    for (const auto& [lesson, words] : lessonWords)
        if (const auto day = app::ReadTestDay(form.ContentFile(form.ExeDir + lesson)))
            testDays[lesson] = {*day, words};
    return testDays;
}

} // namespace

void TForm1::BindProgressButton()
{
    // Start Test changes whenever a lesson or player is chosen, added or removed.
    auto update = [this] { UpdateProgressButton(); };
    new EnabledWatch(btnStartTest, btnProgress, update); // owned by btnProgress
    connect(ComboBox2, &QComboBox::currentTextChanged, btnProgress, update);
    UpdateProgressButton();
}

void TForm1::UpdateProgressButton()
{
    bool players = false;
    if (!ComboBox2->currentText().isEmpty()) {
        try {
            players = !platform::ListFolder(ContentFile(ExeDir + "Children"), "*.xml").empty();
        } catch (const std::exception&) {
        }
    }
    btnProgress->setEnabled(players);
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
    const std::optional<std::string> shown =
        lesson.empty() ? std::nullopt : std::optional<std::string>(lesson);
    std::string player = ComboBox3->currentText().toStdString();
    for (;;) {
        if (player.empty()) {
            TClassWindow window(ContentFile(ExeDir + "Children"), lessonWords, shown, this);
            if (window.exec() != TClassWindow::kShowPlayer)
                return;
            player = window.ChosenPlayer();
            continue;
        }
        TProgressWindow window(
            app::progress::LoadProgressSource(
                player, ContentFile(ExeDir + "Children" + PathDelim + player + ".xml"), lessonWords),
            shown, this);
        window.ShowTestDays(LessonTestDays(*this, lessonWords), Today());
        if (window.exec() != TProgressWindow::kShowClass)
            return;
        player.clear();
    }
}
