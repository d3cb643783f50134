#include "audio/kaAudioIOPool.h"

#include "audio/kaAudioConsts.h"
#include "audio/kaErrors.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// The prefix before a payload: one alignment unit, its first 4 bytes the payload size.
constexpr std::size_t kPrefix = alignof(std::max_align_t);
static_assert(kPrefix >= sizeof(int32_t));

// Room kept in the lists so that steady use does not grow them.
constexpr std::size_t kListReserve = 64;

} // namespace

TkaBlockPool::TkaBlockPool()
{
    freeBlocks_.reserve(kListReserve);
    allocations_.reserve(kListReserve);
}

TkaBlockPool::~TkaBlockPool()
{
    FreeAllBlocks();
}

int32_t TkaBlockPool::BlockSize(const void* block)
{
    int32_t size = 0;
    std::memcpy(&size, static_cast<const char*>(block) - kPrefix, sizeof size);
    return size;
}

void* TkaBlockPool::GetBlock(uint32_t size)
{
    std::size_t best = freeBlocks_.size();
    uint32_t bestExcess = 0;
    for (std::size_t i = 0; i < freeBlocks_.size(); ++i) {
        const auto payload = static_cast<uint32_t>(BlockSize(freeBlocks_[i]));
        if (payload == size) {
            void* block = freeBlocks_[i];
            freeBlocks_.erase(freeBlocks_.begin() + static_cast<std::ptrdiff_t>(i));
            return block;
        }
        if (payload > size) {
            const uint32_t excess = payload - size;
            if (excess < size && (best == freeBlocks_.size() || excess < bestExcess)) {
                best = i;
                bestExcess = excess;
            }
        }
    }
    if (best != freeBlocks_.size()) {
        void* block = freeBlocks_[best];
        freeBlocks_.erase(freeBlocks_.begin() + static_cast<std::ptrdiff_t>(best));
        return block;
    }

    // The payload size must fit the signed prefix.
    if (size > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) - kPrefix)
        throw EACMAudioOutError(SGlobalAllocError);
    void* raw = std::malloc(kPrefix + size);
    if (!raw)
        throw EACMAudioOutError(SGlobalAllocError);
    try {
        allocations_.push_back(raw);
    } catch (...) {
        std::free(raw);
        throw EACMAudioOutError(SGlobalAllocError);
    }
    ++totalAllocations_;
    const auto stored = static_cast<int32_t>(size);
    std::memcpy(raw, &stored, sizeof stored);
    return static_cast<char*>(raw) + kPrefix;
}

void TkaBlockPool::ReleaseBlock(void* block)
{
    if (block)
        freeBlocks_.push_back(block);
}

void TkaBlockPool::FreeAllBlocks()
{
    freeBlocks_.clear();
    for (void* raw : allocations_)
        std::free(raw);
    allocations_.clear();
}
