#include "rtl/Exception.h"

namespace rtl {

void Assert(bool condition, const char* what, const char* file, int line)
{
    if (condition)
        return;
    throw EAssertionFailed("Assertion failure (" + std::string(what) + ") at " + file + ":" +
                           std::to_string(line));
}

} // namespace rtl
