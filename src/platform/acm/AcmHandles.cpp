#include "platform/acm/AcmHandles.h"

#include <algorithm>

namespace acm {

Handles& Handles::instance()
{
    static Handles handles;
    return handles;
}

const Driver* Handles::driverOfId(HACMDRIVERID id) const
{
    for (const Driver* d : allDrivers())
        if (idOf(d) == id)
            return d;
    return nullptr;
}

HACMDRIVERID Handles::idOf(const Driver* driver)
{
    return reinterpret_cast<HACMDRIVERID>(const_cast<Driver*>(driver));
}

OpenDriver* Handles::driver(HACMDRIVER handle)
{
    const auto it = drivers_.find(handle);
    return it == drivers_.end() ? nullptr : it->second.get();
}

OpenStream* Handles::stream(HACMSTREAM handle)
{
    const auto it = streams_.find(handle);
    return it == streams_.end() ? nullptr : it->second.get();
}

const Driver* Handles::driverOf(HACMOBJ object)
{
    if (const Driver* d = driverOfId(reinterpret_cast<HACMDRIVERID>(object)))
        return d;
    if (const OpenDriver* d = driver(reinterpret_cast<HACMDRIVER>(object)))
        return d->driver;
    return nullptr;
}

HACMDRIVER Handles::add(std::unique_ptr<OpenDriver> d)
{
    auto handle = reinterpret_cast<HACMDRIVER>(nextHandle());
    drivers_[handle] = std::move(d);
    return handle;
}

HACMSTREAM Handles::add(std::unique_ptr<OpenStream> s)
{
    auto handle = reinterpret_cast<HACMSTREAM>(nextHandle());
    streams_[handle] = std::move(s);
    return handle;
}

uintptr_t Handles::nextHandle()
{
    // Handles are never reused, so a stale one cannot reach a newer object.
    return ++counter_ * 16 + 0x40000000u;
}

bool Handles::streamsOpenOn(HACMDRIVER handle) const
{
    return std::any_of(streams_.begin(), streams_.end(),
                       [&](const auto& entry) { return entry.second->openedThrough == handle; });
}

} // namespace acm
