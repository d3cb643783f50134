#pragma once

// TMiniConvertor: one conversion stream of the codec service between two fixed
// formats. It gathers input, converts whole source blocks and keeps the remainder
// pending for the next call. Its two buffers are sized once per open, from the first
// input the service can convert: three times that input (or, in a chain, that input
// plus the largest block the stage before can hand on, when that is more), and what
// the service needs for a full input buffer.

#include "audio/MSAcm.h"
#include "audio/kaWaveFormat.h"

#include <algorithm>
#include <cstdint>
#include <vector>

class TMiniConvertor {
public:
    TMiniConvertor(const TkaWaveFormat& src, const TkaWaveFormat& dst);
    ~TMiniConvertor(); // closes the stream when open
    TMiniConvertor(const TMiniConvertor&) = delete;
    TMiniConvertor& operator=(const TMiniConvertor&) = delete;

    // Opens the stream (flags 0 for real time, else non-real-time). Raises EACMError
    // "Cannot perform this action while active." when open, or the service's code as
    // EACMConversionError.
    void Open(bool realTime);
    // Frees the buffers and closes the stream; the service's answers are ignored.
    void Close();
    // Adds the block to the pending bytes and converts the whole source blocks among
    // them. Returns the bytes now in DstBuffer (0: nothing produced, all stays pending).
    // Raises EACMConversionError "Cannot perform this action while not active." when
    // closed, "Audio is too large to fit into conversion buffer" when the prepared input
    // buffer cannot take the block (the block is not taken), or the service's code (the
    // pending bytes stay).
    int32_t Convert(const void* data, int32_t size, bool setFPU, uint32_t flags);
    // In a chain: the most bytes one block from the stage before can hold (its output
    // buffer). Told before the first block arrives, it sizes the input buffer to take
    // any such block besides the bytes left pending.
    void ExpectBlocksUpTo(uint32_t bytes) { largestBlock_ = std::max(largestBlock_, bytes); }

    bool Opened() const { return opened_; }
    bool IsPrepared() const { return (header_.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) != 0; }
    const uint8_t* DstBuffer() const { return dstBuffer_.empty() ? nullptr : dstBuffer_.data(); }
    uint32_t DstSize() const { return static_cast<uint32_t>(dstBuffer_.size()); }
    int32_t SrcCapacity() const { return static_cast<int32_t>(srcBuffer_.size()); }
    int32_t SrcPending() const { return srcPending_; }
    const TkaWaveFormat& SrcFormat() const { return srcFormat_; }
    const TkaWaveFormat& DstFormat() const { return dstFormat_; }

private:
    void ResetBuffers();
    void Append(const void* data, int32_t size);
    void ResizeSource(int32_t capacity);
    bool PrepareBuffers();
    bool SizeFor(uint32_t sourceBytes, uint32_t& outputBytes);

    TkaWaveFormat srcFormat_;
    TkaWaveFormat dstFormat_;
    bool opened_ = false;
    std::vector<uint8_t> srcBuffer_; // its size is the capacity
    int32_t srcPending_ = 0;
    std::vector<uint8_t> dstBuffer_;
    uint32_t largestBlock_ = 0;
    ACMSTREAMHEADER header_{};
    HACMSTREAM stream_ = nullptr;
};

// Programs that start threads of their own say so; the x87 control word is then left
// alone during conversions, since it would change under their feet. The tutor starts none.
void SetProgramStartsThreads(bool value);
