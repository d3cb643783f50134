#include "audio/kaAudioIOPool.h"

#include "audio/kaErrors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

TEST(AudioIOPool, ReusesABlockOnlyForMoreThanHalfItsSize)
{
    TkaBlockPool pool;
    void* big = pool.GetBlock(1000);
    pool.ReleaseBlock(big);
    EXPECT_NE(pool.GetBlock(400), big); // excess 600 is not below 400
    EXPECT_EQ(pool.AllocationCount(), 2u);
    EXPECT_EQ(pool.GetBlock(600), big); // excess 400 is below 600
    EXPECT_EQ(pool.AllocationCount(), 2u);
    EXPECT_EQ(TkaBlockPool::BlockSize(big), 1000); // keeps the size it was made with
}

TEST(AudioIOPool, ExactSizeWinsAndBestFitPrefersTheEarlierOnATie)
{
    TkaBlockPool pool;
    void* a = pool.GetBlock(120);
    void* b = pool.GetBlock(110);
    void* c = pool.GetBlock(120);
    void* d = pool.GetBlock(100);
    pool.ReleaseBlock(a);
    pool.ReleaseBlock(b);
    pool.ReleaseBlock(c);
    pool.ReleaseBlock(d);
    EXPECT_EQ(pool.GetBlock(100), d); // exact, even though it comes last
    EXPECT_EQ(pool.GetBlock(101), b); // smallest excess
    EXPECT_EQ(pool.GetBlock(101), a); // a and c tie: the earlier one
    EXPECT_EQ(pool.GetBlock(101), c);
    EXPECT_EQ(pool.FreeCount(), 0u);
    EXPECT_EQ(pool.AllocationCount(), 4u);
}

TEST(AudioIOPool, BlocksAreAlignedAndWritable)
{
    TkaBlockPool pool;
    for (uint32_t size : {1u, 7u, 32u, 48u, 22052u}) {
        void* p = pool.GetBlock(size);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(std::max_align_t), 0u);
        std::memset(p, 0xAB, size);
        EXPECT_EQ(TkaBlockPool::BlockSize(p), static_cast<int32_t>(size));
    }
}

TEST(AudioIOPool, ZeroSizeIsServedByANewBlock)
{
    TkaBlockPool pool;
    void* p = pool.GetBlock(0);
    EXPECT_NE(p, nullptr);
    pool.ReleaseBlock(p);
    EXPECT_EQ(pool.GetBlock(0), p); // an exact fit
}

TEST(AudioIOPool, FreeAllBlocksEmptiesEverything)
{
    TkaBlockPool pool;
    pool.ReleaseBlock(pool.GetBlock(10));
    pool.GetBlock(20);
    EXPECT_EQ(pool.TotalAllocations(), 2u);
    pool.FreeAllBlocks();
    EXPECT_EQ(pool.AllocationCount(), 0u);
    EXPECT_EQ(pool.FreeCount(), 0u);
    pool.GetBlock(10); // the freed block is gone: a new one
    EXPECT_EQ(pool.TotalAllocations(), 3u);
    pool.ReleaseBlock(nullptr);
    EXPECT_EQ(pool.FreeCount(), 0u);
}

TEST(AudioIOPool, HugeRequestRaisesTheAllocationError)
{
    TkaBlockPool pool;
    try {
        pool.GetBlock(0xFFFFFFFFu);
        FAIL() << "no exception";
    } catch (const EACMAudioOutError& e) {
        EXPECT_STREQ(e.what(), "Cannot allocate global memory.");
    }
    EXPECT_EQ(pool.AllocationCount(), 0u);
}
