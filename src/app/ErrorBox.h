#pragma once

// The standard error box: where every error that escapes an event handler ends up.
// It shows the error's message exactly, with nothing added, one box at a time; an
// error raised while a box is open waits and is shown when that box closes.

#include <exception>
#include <string>

namespace app {

// The message text of an error: what() for a std::exception, a fixed text otherwise.
std::string ExceptionMessage(const std::exception_ptr& error);

// Shows the error in the standard error box. Never throws.
void ShowException(const std::exception_ptr& error) noexcept;

// Shows the currently handled exception; for use inside a catch block.
void ShowCurrentException() noexcept;

} // namespace app
