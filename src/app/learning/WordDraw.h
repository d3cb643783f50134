#pragma once

// The weighted draw of the spelling test, free of the window: the run's target, the
// pick list and the draw itself. The window, the tests and the learner simulator all
// call these, so every one of them draws the same words from the same seed.

#include <cstdint>
#include <optional>
#include <span>

namespace app::learning {

// The draw's random source: a 32-bit linear congruential generator.
class DrawRandom {
public:
    explicit DrawRandom(std::uint32_t seed = 0) : seed_(seed) {}
    // The next position in [0, n).
    std::uint32_t Position(std::uint32_t n);
    std::uint32_t Seed() const { return seed_; }

private:
    std::uint32_t seed_;
};

// The run's target number of right answers per word: the smallest even number above
// the lowest right count, where counts of 2000 and more count as 2000.
std::int32_t ComputeDrawCeiling(std::span<const std::int32_t> correct);

// The entries of the pick list: each word (ceiling - correct) times, words at or
// above the ceiling not at all.
std::uint64_t PickListEntries(std::span<const std::int32_t> correct, std::int32_t ceiling);

struct DrawnWord {
    std::size_t index = 0; // position in the lesson's word list
    bool last = false;     // drawn from a pick list of exactly one entry
};

// One draw from the pick list; nullopt when the list is empty. The list is walked
// rather than built, so hand-edited counts cannot make it huge.
std::optional<DrawnWord> DrawWord(std::span<const std::int32_t> correct, std::int32_t ceiling,
                                  DrawRandom& random);

} // namespace app::learning
