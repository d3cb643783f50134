#include "app/ErrorBox.h"

#include "platform/ui/Dialogs.h"

#include <algorithm>
#include <deque>

namespace app {

namespace {

struct ErrorQueue {
    bool showing = false;
    std::string onScreen; // the message of the open box
    std::deque<std::string> waiting;

    bool Holds(const std::string& message) const
    {
        return message == onScreen || std::find(waiting.begin(), waiting.end(), message) != waiting.end();
    }
};

ErrorQueue& Queue()
{
    static ErrorQueue queue;
    return queue;
}

} // namespace

std::string ExceptionMessage(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown exception.";
    }
}

void ShowException(const std::exception_ptr& error) noexcept
{
    if (!error)
        return;
    ErrorQueue& queue = Queue();
    try {
        std::string message = ExceptionMessage(error);
        if (queue.showing) {
            // The open box runs its own event loop; a repeating error (a timer, a device)
            // must not stack boxes, so a message already on screen or waiting is not queued.
            if (!queue.Holds(message))
                queue.waiting.push_back(std::move(message));
            return;
        }
        queue.showing = true;
        queue.waiting.push_back(std::move(message));
        while (!queue.waiting.empty()) {
            queue.onScreen = std::move(queue.waiting.front());
            queue.waiting.pop_front();
            platform::ShowErrorBox(queue.onScreen);
        }
    } catch (...) {
        // Nothing sensible is left to report an error of the error box itself to.
        queue.waiting.clear();
    }
    queue.onScreen.clear();
    queue.showing = false;
}

void ShowCurrentException() noexcept
{
    ShowException(std::current_exception());
}

} // namespace app
