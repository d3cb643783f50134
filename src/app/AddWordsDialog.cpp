#include "app/AddWordsDialog.h"

#include "platform/speech/TutorVoice.h"
#include "platform/speech/VoiceClipFile.h"
#include "platform/ui/Dialogs.h"
#include "platform/xml/AtomicFile.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>

namespace app {

namespace {

QString ToQt(const std::string& text)
{
    return QString::fromStdString(text);
}

QString StatusText(const ListedWord& listed)
{
    switch (listed.status) {
    case WordStatus::New:
        return QStringLiteral("new: a clip will be made");
    case WordStatus::HasClip:
        return QStringLiteral("has a clip already");
    case WordStatus::Duplicate:
        return QStringLiteral("listed twice");
    case WordStatus::Refused:
        break;
    }
    return QStringLiteral("refused: ") + ToQt(listed.reason);
}

} // namespace

AddWordsDialog::AddWordsDialog(std::function<std::filesystem::path(const std::string&)> clipPath,
                               std::vector<std::string> lessonWords, QWidget* parent)
    : QDialog(parent), clipPath_(std::move(clipPath)), lessonWords_(std::move(lessonWords))
{
    setObjectName(QStringLiteral("AddWordsDialog"));
    setWindowTitle(QStringLiteral("Add Words"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Type or paste the words, one a line or separated by commas:")));
    WordsBox = new QPlainTextEdit;
    WordsBox->setObjectName(QStringLiteral("WordsBox"));
    WordsBox->setAccessibleName(QStringLiteral("Words to add"));
    layout->addWidget(WordsBox);
    auto* fileRow = new QHBoxLayout;
    LoadButton = new QPushButton(QStringLiteral("&Load From File..."));
    LoadButton->setAutoDefault(false);
    fileRow->addWidget(LoadButton);
    fileRow->addStretch();
    layout->addLayout(fileRow);
    layout->addWidget(new QLabel(QStringLiteral("Each new word gets a clip in the tutor's voice:")));
    Preview = new QTreeWidget;
    Preview->setObjectName(QStringLiteral("Preview"));
    Preview->setHeaderLabels({QStringLiteral("Word"), QStringLiteral("What happens")});
    Preview->setRootIsDecorated(false);
    Preview->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    layout->addWidget(Preview);
    Summary = new QLabel;
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setWordWrap(true);
    layout->addWidget(Summary);
    Progress = new QProgressBar;
    Progress->setVisible(false);
    layout->addWidget(Progress);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(Buttons);
    resize(420, 460);

    connect(WordsBox, &QPlainTextEdit::textChanged, this, &AddWordsDialog::UpdatePreview);
    connect(LoadButton, &QPushButton::clicked, this, &AddWordsDialog::ChooseFile);
    connect(Buttons, &QDialogButtonBox::accepted, this, &AddWordsDialog::MakeClips);
    connect(Buttons, &QDialogButtonBox::rejected, this, &AddWordsDialog::reject);
    UpdatePreview();
}

void AddWordsDialog::UpdatePreview()
{
    listed_ = ClassifyWords(WordsBox->toPlainText().toStdString(), lessonWords_);
    Preview->clear();
    int counts[4] = {};
    for (const ListedWord& listed : listed_) {
        Preview->addTopLevelItem(new QTreeWidgetItem({ToQt(listed.word), StatusText(listed)}));
        ++counts[static_cast<int>(listed.status)];
    }
    Summary->setText(QStringLiteral("%1 new, %2 with a clip already, %3 listed twice, %4 refused")
                         .arg(counts[0])
                         .arg(counts[1])
                         .arg(counts[2])
                         .arg(counts[3]));
    Buttons->button(QDialogButtonBox::Ok)->setEnabled(counts[0] > 0);
}

bool AddWordsDialog::LoadWordFile(const std::filesystem::path& path)
{
    std::string text;
    const std::string refusal = ReadWordListFile(path, text);
    if (!refusal.empty()) {
        platform::ShowErrorBox("The file \"" + path.filename().string() + "\" cannot be used: " + refusal +
                               ".");
        return false;
    }
    WordsBox->setPlainText(ToQt(text));
    return true;
}

void AddWordsDialog::ChooseFile()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Load Words From File"), QString(),
                                                      QStringLiteral("Text files (*.txt);;All files (*)"));
    if (!file.isEmpty())
        LoadWordFile(std::filesystem::path(file.toStdString()));
}

void AddWordsDialog::MakeClips()
{
    making_ = true;
    WordsBox->setReadOnly(true);
    LoadButton->setEnabled(false);
    Buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    int total = 0;
    for (const ListedWord& listed : listed_)
        total += listed.status == WordStatus::New;
    Progress->setRange(0, total);
    Progress->setValue(0);
    Progress->setVisible(true);
    int failed = 0;
    const int madeBefore = made_;
    for (int row = 0; row < static_cast<int>(listed_.size()) && !cancelled_; ++row) {
        if (listed_[static_cast<size_t>(row)].status != WordStatus::New)
            continue;
        Preview->topLevelItem(row)->setText(1, QStringLiteral("making..."));
        QCoreApplication::processEvents();
        MakeOne(row);
        failed += listed_[static_cast<size_t>(row)].status == WordStatus::Refused;
        Progress->setValue(Progress->value() + 1);
        QCoreApplication::processEvents(); // a Cancel click is seen here
    }
    making_ = false;
    // Words found with a clip only now were not made either; the list says which.
    const int foundExisting = Progress->value() - failed - (made_ - madeBefore);
    if (cancelled_) {
        QDialog::reject();
    } else if (failed == 0 && foundExisting == 0) {
        accept();
    } else {
        QString summary = QStringLiteral("%1 clips made").arg(made_);
        if (foundExisting > 0)
            summary += QStringLiteral("; %1 words had a clip already").arg(foundExisting);
        if (failed > 0)
            summary += QStringLiteral("; %1 words could not be made").arg(failed);
        Summary->setText(summary + QStringLiteral(" (see the list)."));
        Buttons->button(QDialogButtonBox::Ok)->setVisible(false);
        Buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Close"));
    }
}

void AddWordsDialog::MakeOne(int row)
{
    ListedWord& listed = listed_[static_cast<size_t>(row)];
    QTreeWidgetItem* item = Preview->topLevelItem(row);
    try {
        const std::filesystem::path clip = clipPath_(listed.word);
        const std::vector<int16_t> frames = platform::speech::SpeakWordClip(listed.word);
        // A clip may have come since the list was read (another tutor, a file manager): a
        // recording is never replaced by the voice.
        if (FolderHasWord(clip.parent_path(), listed.word))
            throw platform::EFileExistsError(listed.word);
        platform::speech::WriteMarkedClip(clip, frames);
        ++made_;
        listed.status = WordStatus::HasClip;
        item->setText(1, QStringLiteral("clip made"));
        emit WordMade(ToQt(listed.word));
    } catch (const platform::EFileExistsError&) {
        listed.status = WordStatus::HasClip;
        item->setText(1, StatusText(listed));
    } catch (const std::exception& error) {
        listed.status = WordStatus::Refused;
        listed.reason = error.what();
        item->setText(1, QStringLiteral("not made: ") + ToQt(listed.reason));
    }
}

void AddWordsDialog::reject()
{
    // While clips are being made, Cancel (or Escape, or closing) stops after the current one.
    if (making_) {
        cancelled_ = true;
        return;
    }
    QDialog::reject();
}

} // namespace app
