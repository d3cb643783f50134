#pragma once

// The tutor's standard boxes: a one-line input box, an information box, a Yes/No question and
// the standard error box. Each is a modal Qt dialog on the active window, unless a responder is
// set: then the responder answers instead and nothing is shown (tests, scripted runs).
//
//   InputQuery(caption, prompt, text)   -> optional<string>   nullopt when cancelled
//   InputBox(caption, prompt, default)  -> string             `default` when cancelled
//   ShowInformation(text [, caption])                         one OK button
//   ConfirmYesNo(text [, caption])      -> bool               true for Yes
//   ShowErrorBox(message [, caption])                         the message exactly, one OK button
//   ChooseFolder(caption, start)        -> optional<string>   a folder; nullopt when cancelled
//
//   Dialogs::setResponder(fn)    fn(request) -> DialogAnswer; an empty function restores the boxes
//   Dialogs::shown()             every request made so far (also those shown for real)
//   Dialogs::clearShown()
//   Dialogs::isShowing()         a real box is open right now (for callers that show one at a time)
//
// An empty caption means the application's display name. UI thread only.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class DialogKind { Input, Information, Confirmation, Error, Folder };

struct DialogRequest {
    DialogKind kind = DialogKind::Information;
    std::string caption;     // window title as shown (already defaulted)
    std::string text;        // the prompt of an input box, else the message
    std::string defaultText; // input boxes: the text offered; folder dialogs: the folder to start at
};

struct DialogAnswer {
    bool accepted = false; // OK / Yes; false for Cancel / No / closing the box
    std::string text;      // input boxes: the text entered; folder dialogs: the folder chosen
};

using DialogResponder = std::function<DialogAnswer(const DialogRequest&)>;

class Dialogs {
public:
    static void setResponder(DialogResponder responder);
    static bool hasResponder();
    static const std::vector<DialogRequest>& shown();
    static void clearShown();
    // True while one of these boxes is open on screen (its event loop may run other handlers).
    static bool isShowing();

    // Shows the box (or asks the responder) and records the request.
    static DialogAnswer run(DialogRequest request);
};

// Sets a responder for the life of the object and restores the previous one afterwards.
class ScopedDialogResponder {
public:
    explicit ScopedDialogResponder(DialogResponder responder);
    ~ScopedDialogResponder();
    ScopedDialogResponder(const ScopedDialogResponder&) = delete;
    ScopedDialogResponder& operator=(const ScopedDialogResponder&) = delete;

private:
    DialogResponder previous_;
};

std::optional<std::string> InputQuery(std::string_view caption, std::string_view prompt,
                                      std::string_view text);
std::string InputBox(std::string_view caption, std::string_view prompt, std::string_view defaultText);
void ShowInformation(std::string_view text, std::string_view caption = {});
bool ConfirmYesNo(std::string_view text, std::string_view caption = {});
void ShowErrorBox(std::string_view message, std::string_view caption = {});
std::optional<std::string> ChooseFolder(std::string_view caption, std::string_view startFolder);

} // namespace platform
