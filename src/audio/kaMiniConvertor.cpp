#include "audio/kaMiniConvertor.h"

#include "audio/kaACMCalls.h"
#include "audio/kaAudioConsts.h"
#include "audio/kaCheckMMResult.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

std::atomic<bool> programStartsThreads{false};

// Some codec drivers of the platform expect the x87 unit in its classic state: every
// exception masked, 64-bit precision, round to nearest. The previous word comes back
// afterwards, also when the conversion fails.
constexpr uint16_t kConversionControlWord = 0x133F;

class TFPUControlGuard {
public:
    explicit TFPUControlGuard(bool wanted) : active_(wanted && !programStartsThreads.load())
    {
        if (active_) {
            saved_ = Read();
            Load(kConversionControlWord);
        }
    }
    ~TFPUControlGuard()
    {
        if (active_)
            Load(saved_);
    }
    TFPUControlGuard(const TFPUControlGuard&) = delete;
    TFPUControlGuard& operator=(const TFPUControlGuard&) = delete;

private:
#if defined(__i386__) || defined(__x86_64__)
    static uint16_t Read()
    {
        uint16_t word = 0;
        __asm__ __volatile__("fnstcw %0" : "=m"(word));
        return word;
    }
    static void Load(uint16_t word)
    {
        __asm__ __volatile__("fldcw %0" : : "m"(word));
    }
#else
    static uint16_t Read()
    {
        return 0;
    }
    static void Load(uint16_t) {}
#endif
    bool active_;
    uint16_t saved_ = 0;
};

} // namespace

void SetProgramStartsThreads(bool value)
{
    programStartsThreads.store(value);
}

TMiniConvertor::TMiniConvertor(const TkaWaveFormat& src, const TkaWaveFormat& dst)
    : srcFormat_(src), dstFormat_(dst)
{
    header_.cbStruct = ACMSTREAMHEADER_SIZE_WIN32;
}

TMiniConvertor::~TMiniConvertor()
{
    if (opened_)
        Close();
}

void TMiniConvertor::Open(bool realTime)
{
    if (opened_)
        throw EACMError(SActive);
    CheckMMResult<EACMConversionError>(ACMCalls().StreamOpen(&stream_, nullptr, srcFormat_.WaveFormatEx(),
                                                             dstFormat_.WaveFormatEx(), nullptr, 0, 0,
                                                             realTime ? 0 : ACM_STREAMOPENF_NONREALTIME));
    opened_ = true;
    ResetBuffers();
}

void TMiniConvertor::Close()
{
    ResetBuffers();
    if (stream_)
        ACMCalls().StreamClose(stream_, 0);
    stream_ = nullptr;
    opened_ = false;
}

void TMiniConvertor::ResetBuffers()
{
    if (IsPrepared() && stream_)
        ACMCalls().StreamUnprepareHeader(stream_, &header_, 0);
    if (stream_)
        ACMCalls().StreamReset(stream_, 0);
    header_ = ACMSTREAMHEADER{};
    header_.cbStruct = ACMSTREAMHEADER_SIZE_WIN32;
    std::vector<uint8_t>().swap(srcBuffer_);
    srcPending_ = 0;
    std::vector<uint8_t>().swap(dstBuffer_);
}

bool TMiniConvertor::SizeFor(uint32_t sourceBytes, uint32_t& outputBytes)
{
    outputBytes = 0;
    return ACMCalls().StreamSize(stream_, sourceBytes, &outputBytes, ACM_STREAMSIZEF_SOURCE) ==
               MMSYSERR_NOERROR &&
           outputBytes != 0;
}

void TMiniConvertor::ResizeSource(int32_t capacity)
{
    if (capacity == SrcCapacity())
        return;
    std::vector<uint8_t> grown(static_cast<size_t>(capacity));
    std::copy_n(srcBuffer_.begin(), std::min(srcPending_, capacity), grown.begin());
    srcBuffer_.swap(grown);
}

void TMiniConvertor::Append(const void* data, int32_t size)
{
    // 64-bit sums: a hostile size must not wrap round into a small one.
    const int64_t needed = int64_t(srcPending_) + size;
    if (needed > SrcCapacity()) {
        if (IsPrepared())
            throw EACMConversionError(SAudioTooLarge);
        if (needed * 3 > INT32_MAX)
            throw EACMConversionError(SAudioTooLarge);
        ResizeSource(static_cast<int32_t>(needed * 2));
    }
    if (size > 0)
        std::memcpy(srcBuffer_.data() + srcPending_, data, static_cast<size_t>(size));
    srcPending_ += size;
}

bool TMiniConvertor::PrepareBuffers()
{
    uint32_t out = 0;
    if (!SizeFor(static_cast<uint32_t>(srcPending_), out))
        return false;
    // What stays pending after a conversion is less than a whole source block, so less
    // than this first convertible input: room for it plus the largest block to come.
    const int64_t capacity =
        std::max<int64_t>(int64_t(srcPending_) * 3, int64_t(srcPending_) + largestBlock_);
    if (capacity > INT32_MAX)
        throw EACMConversionError(SAudioTooLarge);
    ResizeSource(static_cast<int32_t>(capacity));
    out = 0;
    ACMCalls().StreamSize(stream_, static_cast<uint32_t>(SrcCapacity()), &out, ACM_STREAMSIZEF_SOURCE);
    dstBuffer_.assign(out, 0);
    header_.cbStruct = ACMSTREAMHEADER_SIZE_WIN32;
    header_.pbSrc = srcBuffer_.data();
    header_.cbSrcLength = static_cast<uint32_t>(SrcCapacity());
    header_.pbDst = dstBuffer_.empty() ? nullptr : dstBuffer_.data();
    header_.cbDstLength = DstSize();
    try {
        CheckMMResult<EACMConversionError>(ACMCalls().StreamPrepareHeader(stream_, &header_, 0));
    } catch (...) {
        std::vector<uint8_t>().swap(dstBuffer_);
        header_.pbDst = nullptr;
        header_.cbDstLength = 0;
        throw;
    }
    return true;
}

int32_t TMiniConvertor::Convert(const void* data, int32_t size, bool setFPU, uint32_t flags)
{
    if (!opened_)
        throw EACMConversionError(SNotActive);
    RTL_ASSERT(size >= 0 && (data != nullptr || size == 0));
    Append(data, size);
    if (!IsPrepared() && !PrepareBuffers())
        return 0;
    uint32_t out = 0;
    if (!SizeFor(static_cast<uint32_t>(srcPending_), out))
        return 0;
    header_.cbSrcLength = static_cast<uint32_t>(srcPending_);
    header_.cbSrcLengthUsed = 0;
    header_.cbDstLengthUsed = 0;
    {
        TFPUControlGuard fpu(setFPU);
        CheckMMResult<EACMConversionError>(ACMCalls().StreamConvert(stream_, &header_, flags));
    }
    // A driver never reports more than it was given; the clamps keep a faulty one from
    // moving memory outside the buffers.
    const auto used =
        static_cast<int32_t>(std::min<uint32_t>(header_.cbSrcLengthUsed, uint32_t(srcPending_)));
    const auto produced = static_cast<int32_t>(std::min<uint32_t>(header_.cbDstLengthUsed, DstSize()));
    if (used > 0 && srcPending_ > used)
        std::memmove(srcBuffer_.data(), srcBuffer_.data() + used, static_cast<size_t>(srcPending_ - used));
    srcPending_ -= used;
    return produced;
}
