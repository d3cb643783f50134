#include "audio/kaCodec.h"

#include "audio/kaACMCalls.h"
#include "audio/kaAudioConsts.h"
#include "audio/kaCheckMMResult.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>

namespace {

constexpr uint32_t kHeaderSize = sizeof(WAVEFORMATEX); // 18
// The largest record a WAVEFORMATEX can describe (cbSize is 16 bits); a driver that
// claims more is not taken at its word.
constexpr uint32_t kLargestFormat = kHeaderSize + 0xFFFF;

// Absent until first used; released with the program.
std::unique_ptr<std::vector<std::unique_ptr<TkaCodec>>> codecList;

std::string FixedText(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

TCodecSupport SupportOf(uint32_t flags)
{
    const std::pair<uint32_t, CodecSupport> bits[] = {
        {ACMDRIVERDETAILS_SUPPORTF_CODEC, CodecSupport::Codec},
        {ACMDRIVERDETAILS_SUPPORTF_CONVERTER, CodecSupport::Converter},
        {ACMDRIVERDETAILS_SUPPORTF_FILTER, CodecSupport::Filter},
        {ACMDRIVERDETAILS_SUPPORTF_HARDWARE, CodecSupport::Hardware},
        {ACMDRIVERDETAILS_SUPPORTF_ASYNC, CodecSupport::Async},
        {ACMDRIVERDETAILS_SUPPORTF_LOCAL, CodecSupport::Local},
        {ACMDRIVERDETAILS_SUPPORTF_DISABLED, CodecSupport::Disabled},
    };
    TCodecSupport support;
    for (const auto& [bit, value] : bits)
        if (flags & bit)
            support.insert(value);
    return support;
}

// Carries what the driver callback needs, and an error it must not throw through the
// codec service.
struct TEnumContext {
    std::exception_ptr error;
};

// The instance value of a format enumeration: the codec the formats go to.
struct TFormatEnum {
    TkaCodec* codec;
    TEnumContext* context;
};

int DriverCallback(HACMDRIVERID id, uintptr_t instance, uint32_t)
{
    auto* context = reinterpret_cast<TEnumContext*>(instance);
    try {
        auto codec = std::make_unique<TkaCodec>(id);
        codecList->push_back(std::move(codec));
    } catch (const EACMError&) {
        // A driver that cannot describe itself is left out.
    } catch (...) {
        context->error = std::current_exception();
        return 0;
    }
    return 1;
}

} // namespace

// ---- TkaCodec ----

TkaCodec::TkaCodec(HACMDRIVERID driverId) : driverId_(driverId)
{
    details_.cbStruct = ACMDRIVERDETAILSA_SIZE_WIN32;
    ReadDetails();
    CheckMMResult<EACMCodecError>(ACMCalls().DriverOpen(&driverHandle_, driverId_, 0), SDriverOpenError);
    driverOpened_ = true;
    try {
        ReadFormats();
    } catch (...) {
        // The first failure is the one reported; the driver is closed all the same.
        ACMCalls().DriverClose(driverHandle_, 0);
        driverHandle_ = nullptr;
        driverOpened_ = false;
        throw;
    }
    const MMRESULT closed = ACMCalls().DriverClose(driverHandle_, 0);
    driverHandle_ = nullptr;
    driverOpened_ = false;
    CheckMMResult<EACMCodecError>(closed, SDriverCloseError);
}

void TkaCodec::ReadDetails()
{
    CheckMMResult<EACMCodecError>(ACMCalls().DriverDetails(driverId_, &details_, 0), SDriverDetailsError);
    CheckMMResult<EACMCodecError>(
        ACMCalls().Metrics(reinterpret_cast<HACMOBJ>(driverId_), ACM_METRIC_DRIVER_PRIORITY, &priority_),
        SDriverPriorityError);
    support_ = SupportOf(details_.fdwSupport);
    shortName_ = FixedText(details_.szShortName, sizeof details_.szShortName);
    longName_ = FixedText(details_.szLongName, sizeof details_.szLongName);
    legalNotice_ = FixedText(details_.szCopyright, sizeof details_.szCopyright);
    licensing_ = FixedText(details_.szLicensing, sizeof details_.szLicensing);
    features_ = FixedText(details_.szFeatures, sizeof details_.szFeatures);
}

void TkaCodec::ReadFormats()
{
    uint32_t size = 0;
    CheckMMResult<EACMCodecError>(
        ACMCalls().Metrics(reinterpret_cast<HACMOBJ>(driverHandle_), ACM_METRIC_MAX_SIZE_FORMAT, &size),
        SFormatSizeError);
    maxFormatSize_ = std::clamp(size, kHeaderSize, kLargestFormat);

    std::vector<uint8_t> work(maxFormatSize_, 0);
    auto* wfx = reinterpret_cast<WAVEFORMATEX*>(work.data());
    wfx->cbSize = static_cast<uint16_t>(MaxExtraSize());
    wfx->wFormatTag = 0; // WAVE_FORMAT_UNKNOWN: every tag

    ACMFORMATDETAILSA details{};
    details.cbStruct = ACMFORMATDETAILSA_SIZE_WIN32;
    details.pwfx = wfx;
    details.cbwfx = maxFormatSize_;
    details.dwFormatTag = 0;
    TEnumContext context;
    TFormatEnum instance{this, &context};
    CheckMMResult<EACMCodecError>(ACMCalls().FormatEnum(driverHandle_, &details, &TkaCodec::FormatCallback,
                                                        reinterpret_cast<uintptr_t>(&instance), 0),
                                  SFormatEnumError);
    if (context.error)
        std::rethrow_exception(context.error);
}

int TkaCodec::FormatCallback(HACMDRIVERID, LPACMFORMATDETAILSA details, uintptr_t instance, uint32_t)
{
    auto* target = reinterpret_cast<TFormatEnum*>(instance);
    TkaCodec& codec = *target->codec;
    try {
        TkaCodecFormat format;
        format.Format.assign(codec.maxFormatSize_, 0);
        if (details && details->pwfx) {
            // Never more than the block holds, nor than the driver's buffer.
            const uint32_t filled = std::min({kHeaderSize + details->pwfx->cbSize, codec.maxFormatSize_,
                                              std::max(details->cbwfx, kHeaderSize)});
            std::memcpy(format.Format.data(), details->pwfx, filled);
            format.Description = FixedText(details->szFormat, sizeof details->szFormat);
        }
        codec.formats_.push_back(std::move(format));
    } catch (...) {
        target->context->error = std::current_exception();
        return 0;
    }
    return 1;
}

// ---- Registry ----

void ClearCodecs()
{
    if (!codecList)
        return;
    while (!codecList->empty())
        codecList->erase(codecList->begin());
}

void ReleaseCodecs()
{
    ClearCodecs();
    codecList.reset();
}

void RefreshCodecs()
{
    ClearCodecs();
    if (!codecList)
        codecList = std::make_unique<std::vector<std::unique_ptr<TkaCodec>>>();
    TEnumContext context;
    ACMCalls().DriverEnum(&DriverCallback, reinterpret_cast<uintptr_t>(&context), 0);
    if (context.error)
        std::rethrow_exception(context.error);
}

int CodecCount()
{
    if (!codecList)
        RefreshCodecs();
    return static_cast<int>(codecList->size());
}

TkaCodec& Codecs(int index)
{
    if (!codecList)
        RefreshCodecs();
    RTL_ASSERT(index >= 0 && index < static_cast<int>(codecList->size()));
    return *(*codecList)[static_cast<size_t>(index)];
}
