#include "app/learning/WordDraw.h"

#include <algorithm>
#include <limits>

namespace app::learning {

namespace {

std::uint64_t Entries(std::int32_t correct, std::int32_t ceiling)
{
    return correct < ceiling ? static_cast<std::uint64_t>(static_cast<std::int64_t>(ceiling) - correct) : 0;
}

} // namespace

std::uint32_t DrawRandom::Position(std::uint32_t n)
{
    seed_ = seed_ * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed_) * n) >> 32);
}

std::int32_t ComputeDrawCeiling(std::span<const std::int32_t> correct)
{
    std::int32_t lowest = 2000;
    for (const std::int32_t count : correct)
        lowest = std::min(lowest, count);
    return (lowest / 2) * 2 + 2;
}

std::uint64_t PickListEntries(std::span<const std::int32_t> correct, std::int32_t ceiling)
{
    std::uint64_t entries = 0;
    for (const std::int32_t count : correct)
        entries += Entries(count, ceiling);
    return entries;
}

std::optional<DrawnWord> DrawWord(std::span<const std::int32_t> correct, std::int32_t ceiling,
                                  DrawRandom& random)
{
    const std::uint64_t entries = PickListEntries(correct, ceiling);
    if (entries == 0)
        return std::nullopt;
    std::uint64_t position = random.Position(static_cast<std::uint32_t>(
        std::min<std::uint64_t>(entries, std::numeric_limits<std::uint32_t>::max())));
    for (std::size_t i = 0; i < correct.size(); ++i) {
        const std::uint64_t own = Entries(correct[i], ceiling);
        if (position < own)
            return DrawnWord{i, entries == 1};
        position -= own;
    }
    return std::nullopt; // unreachable: the position lies inside the entries
}

} // namespace app::learning
