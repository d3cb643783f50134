#pragma once

#include <functional>
#include <utility>

namespace rtl {

// A bound event: an object's handler, or nothing. Raising an unassigned event does nothing.
template <class... Args>
using TEvent = std::function<void(Args...)>;

template <class... Params, class... Args>
void Raise(const std::function<void(Params...)>& event, Args&&... args)
{
    if (event)
        event(std::forward<Args>(args)...);
}

} // namespace rtl
