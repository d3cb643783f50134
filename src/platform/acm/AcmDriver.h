#pragma once

// The driver model behind the acm* calls: every driver of this folder says which
// formats it offers, which pairs it converts in one step, what it proposes for a source
// format, and opens conversion streams. Block codecs share BlockStream.

#include "platform/acm/AcmFormat.h"
#include "platform/acm/MSAcmApi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace acm {

// One open conversion. All sizes are in bytes.
class CodecStream {
public:
    virtual ~CodecStream() = default;
    // An upper bound of the destination bytes that srcBytes of source convert to;
    // 0 while srcBytes holds less than one source block.
    virtual uint32_t destBytesFor(uint32_t srcBytes) const = 0;
    // The source bytes (whole blocks) whose output fits in dstBytes; 0 when none fits.
    virtual uint32_t srcBytesFor(uint32_t dstBytes) const = 0;
    // Converts whole source blocks of src while their output fits in dst. A failure
    // (ACMERR_NOTPOSSIBLE for undecodable input) leaves srcUsed/dstUsed at what was done.
    virtual MMRESULT convert(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen,
                             uint32_t& srcUsed, uint32_t& dstUsed) = 0;
    // Forgets all history (filter state, partial frames).
    virtual void reset() = 0;
};

// A format a driver offers in its format list.
struct OfferedFormat {
    std::vector<uint8_t> record; // WAVEFORMATEX plus extra bytes
    std::string description;
};

struct DriverInfo {
    const char* shortName;
    const char* longName;
    const char* copyright;
    const char* licensing;
    const char* features;
    uint32_t support;    // ACMDRIVERDETAILS_SUPPORTF_*
    uint16_t productId;  // wPid
    uint32_t formatTags; // number of format tags it handles
};

class Driver {
public:
    virtual ~Driver() = default;
    virtual const DriverInfo& info() const = 0;
    // The largest format record the driver describes.
    virtual uint32_t maxFormatSize() const = 0;
    virtual std::vector<OfferedFormat> formats() const = 0;
    // True when this driver converts src to dst in one step (both already sane).
    virtual bool canConvert(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const = 0;
    // A destination record for src; `want` holds the fields fixed by the
    // ACM_FORMATSUGGESTF_* flags. Empty when the driver has nothing to propose.
    virtual std::vector<uint8_t> suggest(const WAVEFORMATEX& src, const WAVEFORMATEX& want,
                                         uint32_t flags) const = 0;
    // Opens a stream for a pair canConvert accepted; null when resources fail.
    virtual std::unique_ptr<CodecStream> open(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const = 0;
};

// A stream that maps each whole source block to one destination block of fixed size.
class BlockStream : public CodecStream {
public:
    BlockStream(uint32_t srcBlock, uint32_t dstBlock) : srcBlock_(srcBlock), dstBlock_(dstBlock) {}
    uint32_t destBytesFor(uint32_t srcBytes) const override;
    uint32_t srcBytesFor(uint32_t dstBytes) const override;
    MMRESULT convert(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen, uint32_t& srcUsed,
                     uint32_t& dstUsed) override;
    void reset() override {}

protected:
    // Converts `blocks` whole blocks; returns false when a block cannot be converted.
    virtual bool process(const uint8_t* in, uint8_t* out, uint32_t blocks) = 0;

private:
    uint32_t srcBlock_;
    uint32_t dstBlock_;
};

// The natural PCM of a compressed format: same rate and channels, 16 bits.
std::vector<uint8_t> naturalPcm(const WAVEFORMATEX& src);
// True when fmt is 16-bit PCM (tag 1) of the rate and channels of other.
bool isNaturalPcmOf(const WAVEFORMATEX& fmt, const WAVEFORMATEX& other);
// True when record matches the fields of want that flags fix.
bool meetsSuggestFlags(const std::vector<uint8_t>& record, const WAVEFORMATEX& want, uint32_t flags);
// "44.100 kHz, 16 Bit, Stereo" style description of a format.
std::string describe(const WAVEFORMATEX& wfx, bool withBits);
std::vector<uint8_t> recordOf(const WAVEFORMATEX& wfx);

// The drivers, in priority order.
const std::vector<const Driver*>& allDrivers();
const Driver& pcmDriver();
const Driver& g711Driver();
const Driver& imaAdpcmDriver();
const Driver& msAdpcmDriver();
const Driver& gsmDriver();
const Driver& mp3Driver();

} // namespace acm
