#pragma once

// The registry of the installed codec drivers: per enabled driver one TkaCodec with its
// identifying texts, support flags, priority, largest format size and the formats it
// offers. Built on first use, rebuilt by RefreshCodecs, released at program end.
// Used from the user-interface thread only.

#include "audio/MSAcm.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

enum class CodecSupport { Codec, Converter, Filter, Hardware, Async, Local, Disabled };
using TCodecSupport = std::set<CodecSupport>;

// One format a driver offers: its description and a copy of its WAVEFORMATEX (a block of
// the codec's MaxFormatSize bytes, of which the first 18 + cbSize are filled).
struct TkaCodecFormat {
    std::string Description;
    std::vector<uint8_t> Format;
    const WAVEFORMATEX* WaveFormatEx() const { return reinterpret_cast<const WAVEFORMATEX*>(Format.data()); }
};

class TkaCodec {
public:
    // Reads the driver's details, priority and formats (opening the driver for the
    // time it takes). Raises EACMCodecError with the failing step's context.
    explicit TkaCodec(HACMDRIVERID driverId);
    TkaCodec(const TkaCodec&) = delete;
    TkaCodec& operator=(const TkaCodec&) = delete;

    const TCodecSupport& Support() const { return support_; }
    const std::string& LegalNotice() const { return legalNotice_; }
    const ACMDRIVERDETAILSA& Details() const { return details_; }
    HACMDRIVERID DriverId() const { return driverId_; }
    HACMDRIVER DriverHandle() const { return driverHandle_; } // none once built
    uint32_t Priority() const { return priority_; }
    const std::string& Features() const { return features_; }
    const std::vector<TkaCodecFormat>& Formats() const { return formats_; }
    bool DriverOpened() const { return driverOpened_; }
    const std::string& Licensing() const { return licensing_; }
    const std::string& LongName() const { return longName_; }
    const std::string& ShortName() const { return shortName_; }
    uint32_t MaxFormatSize() const { return maxFormatSize_; } // at least 18
    uint32_t MaxExtraSize() const { return maxFormatSize_ - 18; }

private:
    void ReadDetails();
    void ReadFormats();
    static int FormatCallback(HACMDRIVERID id, LPACMFORMATDETAILSA details, uintptr_t instance,
                              uint32_t support);

    TCodecSupport support_;
    std::string legalNotice_;
    ACMDRIVERDETAILSA details_{};
    HACMDRIVERID driverId_;
    HACMDRIVER driverHandle_ = nullptr;
    uint32_t priority_ = 0;
    std::string features_;
    std::vector<TkaCodecFormat> formats_;
    bool driverOpened_ = false;
    std::string licensing_, longName_, shortName_;
    uint32_t maxFormatSize_ = 18;
};

// The number of registered codecs; builds the registry when there is none yet.
int CodecCount();
// The codec at index (0-based, registration order); builds the registry when there is
// none yet. Raises rtl::Exception for an index out of range.
TkaCodec& Codecs(int index);
// Rebuilds the registry from the enabled drivers; a driver whose codec cannot be built
// is left out.
void RefreshCodecs();
// Destroys every registered codec; the (empty) registry stays.
void ClearCodecs();
// Destroys the registry itself, as at program end; the next use builds it again.
void ReleaseCodecs();
