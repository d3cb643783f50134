#pragma once

// kaCommon: the sub-stream, a bounded window onto another byte stream.

#include "rtl/Events.h"
#include "rtl/Stream.h"

#include <cstdint>

// A window of fixed length onto another stream. Every read and write first puts the
// underlying stream back where this window stands, so several windows (and whoever
// created them) can share one underlying stream. The underlying stream is never owned.
class TkaSubStream : public rtl::TStream {
public:
    // Stream must exist, the window must lie inside it and must not begin at offset 0.
    // An empty window may sit at the very end of the stream (an empty data chunk).
    TkaSubStream(rtl::TStream* stream, int32_t start, int32_t size);
    ~TkaSubStream() override;
    TkaSubStream(const TkaSubStream&) = delete;
    TkaSubStream& operator=(const TkaSubStream&) = delete;

    // Reads at most up to the end of the window; returns the bytes delivered.
    int32_t Read(void* buffer, int32_t count) override;
    // Writes all count bytes or, when they would pass the window's end, nothing
    // (ESubStreamError "Write past end of sub stream.").
    int32_t Write(const void* buffer, int32_t count) override;
    // Moves inside the window; targets outside it are clamped to 0 ... Size.
    int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override;
    int64_t Size() override { return size_; }
    // The window's length is fixed for its life.
    void SetSize(int64_t) override {}

    int32_t Start() const { return start_; }
    rtl::TStream* Stream() const { return stream_; }

    // Raised from the destructor (Sender = this sub-stream).
    rtl::TEvent<TkaSubStream*> OnDestroy;

private:
    // Puts the underlying stream at Start + Position.
    void Reposition();

    int32_t position_ = 0;
    int32_t start_ = 0;
    rtl::TStream* stream_ = nullptr;
    int32_t size_ = 0;
};
