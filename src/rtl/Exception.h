#pragma once

#include <exception>
#include <string>
#include <utility>

namespace rtl {

// The root of every error the tutor raises: it carries its message and nothing else.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }

private:
    std::string message_;
};

// A broken precondition: a programming error, raised as an ordinary exception.
class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
};

// Raises EAssertionFailed ("Assertion failure ...") when the condition is false.
void Assert(bool condition, const char* what, const char* file, int line);

} // namespace rtl

#define RTL_ASSERT(cond) ::rtl::Assert(static_cast<bool>(cond), #cond, __FILE__, __LINE__)
