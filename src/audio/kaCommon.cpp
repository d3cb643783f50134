#include "audio/kaCommon.h"

#include "audio/kaAudioConsts.h"
#include "audio/kaErrors.h"
#include "rtl/Exception.h"

#include <algorithm>

namespace {

// base + offset, clamped to 0 ... limit, without overflowing on any offset.
int32_t ClampedTarget(int64_t base, int64_t offset, int32_t limit)
{
    if (offset < 0)
        return offset < -base ? 0 : static_cast<int32_t>(base + offset);
    if (offset > limit - base)
        return limit;
    return static_cast<int32_t>(base + offset);
}

} // namespace

TkaSubStream::TkaSubStream(rtl::TStream* stream, int32_t start, int32_t size)
{
    RTL_ASSERT(stream != nullptr);
    const int64_t streamSize = stream->Size();
    RTL_ASSERT(start > 0);
    RTL_ASSERT(size >= 0);
    RTL_ASSERT(start < streamSize || (size == 0 && start == streamSize));
    RTL_ASSERT(int64_t{start} + size - 1 < streamSize);
    stream_ = stream;
    start_ = start;
    size_ = size;
    position_ = 0;
    stream_->Seek(start_, rtl::TSeekOrigin::soBeginning);
}

TkaSubStream::~TkaSubStream()
{
    rtl::Raise(OnDestroy, this);
}

void TkaSubStream::Reposition()
{
    stream_->Seek(int64_t{start_} + position_, rtl::TSeekOrigin::soBeginning);
}

int32_t TkaSubStream::Read(void* buffer, int32_t count)
{
    Reposition();
    count = std::clamp(count, 0, size_ - position_);
    if (count == 0)
        return 0;
    const int32_t got = std::max(stream_->Read(buffer, count), 0);
    position_ += got;
    return got;
}

int32_t TkaSubStream::Write(const void* buffer, int32_t count)
{
    Reposition();
    if (count <= 0)
        return 0;
    if (count > size_ - position_)
        throw ESubStreamError(SWritePastEndOfSubStream);
    const int32_t put = std::max(stream_->Write(buffer, count), 0);
    position_ += put;
    return put;
}

int64_t TkaSubStream::Seek(int64_t offset, rtl::TSeekOrigin origin)
{
    // Asking for the position leaves the underlying stream alone; Read and Write put it
    // in place themselves.
    if (origin == rtl::TSeekOrigin::soCurrent && offset == 0)
        return position_;
    const int64_t base = origin == rtl::TSeekOrigin::soBeginning ? 0
                         : origin == rtl::TSeekOrigin::soCurrent ? position_
                                                                 : size_;
    const int32_t target = ClampedTarget(base, offset, size_);
    stream_->Seek(int64_t{start_} + target, rtl::TSeekOrigin::soBeginning);
    position_ = target;
    return position_;
}
