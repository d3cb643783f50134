#include "platform/ui/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <utility>

namespace platform {

namespace {

struct DialogState {
    DialogResponder responder;
    std::vector<DialogRequest> shown;
    int open = 0; // real boxes on screen, nested ones included
};

DialogState& State()
{
    static DialogState state;
    return state;
}

QString ToQt(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

DialogAnswer ShowInputBox(const DialogRequest& request)
{
    QInputDialog box(QApplication::activeWindow());
    box.setInputMode(QInputDialog::TextInput);
    box.setWindowTitle(ToQt(request.caption));
    box.setLabelText(ToQt(request.text));
    box.setTextValue(ToQt(request.defaultText));
    if (box.exec() != QDialog::Accepted)
        return {};
    return {true, box.textValue().toStdString()};
}

DialogAnswer ShowMessageBox(const DialogRequest& request)
{
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (request.kind == DialogKind::Error) {
        icon = QMessageBox::Critical;
    } else if (request.kind == DialogKind::Confirmation) {
        icon = QMessageBox::Question;
        buttons = QMessageBox::Yes | QMessageBox::No;
    }
    QMessageBox box(icon, ToQt(request.caption), ToQt(request.text), buttons, QApplication::activeWindow());
    // The message is shown as it is: a "<" in it must not turn it into markup.
    box.setTextFormat(Qt::PlainText);
    const int result = box.exec();
    return {result == QMessageBox::Ok || result == QMessageBox::Yes, {}};
}

DialogAnswer ShowFolderDialog(const DialogRequest& request)
{
    const QString folder = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), ToQt(request.caption), ToQt(request.defaultText));
    if (folder.isEmpty())
        return {};
    return {true, folder.toStdString()};
}

std::string Caption(std::string_view caption)
{
    if (!caption.empty())
        return std::string(caption);
    return QGuiApplication::applicationDisplayName().toStdString();
}

} // namespace

void Dialogs::setResponder(DialogResponder responder)
{
    State().responder = std::move(responder);
}

bool Dialogs::hasResponder()
{
    return static_cast<bool>(State().responder);
}

const std::vector<DialogRequest>& Dialogs::shown()
{
    return State().shown;
}

void Dialogs::clearShown()
{
    State().shown.clear();
}

DialogAnswer Dialogs::run(DialogRequest request)
{
    State().shown.push_back(request);
    if (State().responder) {
        // A copy, so a responder may replace itself while it answers.
        const DialogResponder responder = State().responder;
        return responder(request);
    }
    struct OpenCount {
        OpenCount() { ++State().open; }
        ~OpenCount() { --State().open; }
        OpenCount(const OpenCount&) = delete;
        OpenCount& operator=(const OpenCount&) = delete;
    } counted;
    if (request.kind == DialogKind::Folder)
        return ShowFolderDialog(request);
    return request.kind == DialogKind::Input ? ShowInputBox(request) : ShowMessageBox(request);
}

bool Dialogs::isShowing()
{
    return State().open > 0;
}

ScopedDialogResponder::ScopedDialogResponder(DialogResponder responder)
    : previous_(std::move(State().responder))
{
    State().responder = std::move(responder);
}

ScopedDialogResponder::~ScopedDialogResponder()
{
    State().responder = std::move(previous_);
}

std::optional<std::string> InputQuery(std::string_view caption, std::string_view prompt,
                                      std::string_view text)
{
    DialogAnswer answer =
        Dialogs::run({DialogKind::Input, Caption(caption), std::string(prompt), std::string(text)});
    if (!answer.accepted)
        return std::nullopt;
    return std::move(answer.text);
}

std::string InputBox(std::string_view caption, std::string_view prompt, std::string_view defaultText)
{
    return InputQuery(caption, prompt, defaultText).value_or(std::string(defaultText));
}

void ShowInformation(std::string_view text, std::string_view caption)
{
    Dialogs::run({DialogKind::Information, Caption(caption), std::string(text), {}});
}

bool ConfirmYesNo(std::string_view text, std::string_view caption)
{
    return Dialogs::run({DialogKind::Confirmation, Caption(caption), std::string(text), {}}).accepted;
}

void ShowErrorBox(std::string_view message, std::string_view caption)
{
    Dialogs::run({DialogKind::Error, Caption(caption), std::string(message), {}});
}

std::optional<std::string> ChooseFolder(std::string_view caption, std::string_view startFolder)
{
    DialogAnswer answer = Dialogs::run({DialogKind::Folder, Caption(caption), {}, std::string(startFolder)});
    if (!answer.accepted || answer.text.empty())
        return std::nullopt;
    return std::move(answer.text);
}

} // namespace platform
