#pragma once

// Random numbers keyed by what they decide (a child, a word, the n-th answer of that
// word), so every policy meets the same luck at the same point of a child's learning.

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <numbers>

namespace learner_sim {

inline std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline std::uint64_t Key(std::initializer_list<std::uint64_t> parts)
{
    std::uint64_t key = 0x5EED;
    for (const std::uint64_t part : parts)
        key = Mix(key ^ part);
    return key;
}

// Uniform in [0, 1).
inline double Uniform(std::uint64_t key)
{
    return static_cast<double>(Mix(key) >> 11) * 0x1.0p-53;
}

inline double Normal(std::uint64_t key, double sd)
{
    const double u1 = 1.0 - Uniform(key); // in (0, 1]
    const double u2 = Uniform(Mix(key + 1));
    return sd * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

} // namespace learner_sim
