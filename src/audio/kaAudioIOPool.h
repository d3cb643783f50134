#pragma once

// The buffer-memory pool of a wave device component. Device headers and audio buffers come
// from it; a block given back is kept for reuse until the pool is emptied (at every open and
// close of the device), so steady playback or recording stops allocating once the pool holds
// enough blocks.
//
// A block is one allocation: a small prefix whose first 4 bytes hold the payload size it was
// made with (signed 32-bit), then the payload handed out. The prefix is a full alignment unit
// so a block can hold a WAVEHDR. A block keeps its payload size when it is reused for a
// smaller request.

#include <cstdint>
#include <vector>

class TkaBlockPool {
public:
    TkaBlockPool();
    ~TkaBlockPool();
    TkaBlockPool(const TkaBlockPool&) = delete;
    TkaBlockPool& operator=(const TkaBlockPool&) = delete;

    // At least size bytes. A free block of exactly that size is taken at once; otherwise the
    // free block with the smallest excess below size itself (the earlier on a tie); otherwise a
    // new block. So a free block serves only requests of more than half its payload. Raises
    // EACMAudioOutError "Cannot allocate global memory." when memory cannot be had.
    void* GetBlock(uint32_t size);
    // Puts a block back for reuse. Null is ignored.
    void ReleaseBlock(void* block);
    // Forgets the free list and frees every block ever handed out, in allocation order.
    void FreeAllBlocks();

    // The payload size a block was made with.
    static int32_t BlockSize(const void* block);

    // Blocks obtained since the last FreeAllBlocks, and since construction.
    std::size_t AllocationCount() const { return allocations_.size(); }
    uint64_t TotalAllocations() const { return totalAllocations_; }
    std::size_t FreeCount() const { return freeBlocks_.size(); }

private:
    std::vector<void*> freeBlocks_;  // payload addresses, in the order they were released
    std::vector<void*> allocations_; // raw allocations, in the order they were made
    uint64_t totalAllocations_ = 0;
};
