// MPEG layer 3 decoding through libmpg123's feed interface, to 16-bit PCM of the rate
// and channels the format declares. Input is fed in bounded pieces only when the decoder
// has used up what it holds, so a stream never buffers more than a few kilobytes.

#include "platform/acm/AcmDriver.h"

#include <mpg123.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace acm {

namespace {

constexpr uint32_t kFeedPiece = 4096;
// Frames a decoder may hold back across a call, decoded or begun.
constexpr uint64_t kHeldFrames = 2;

// Samples per channel in one layer 3 frame: MPEG-1 at 32 kHz and above, MPEG-2 and 2.5 below.
uint32_t samplesPerFrame(uint32_t rate)
{
    return rate >= 32000 ? 1152 : 576;
}

// The bytes of the smallest frame of this format, which yields the most samples per
// byte: its stated frame size (or, without one, the frame its average rate gives), but
// never below the lowest bit rate of its MPEG version (32 kbit/s for MPEG-1, 8 below).
uint32_t smallestFrameBytes(const WAVEFORMATEX& wfx)
{
    const uint64_t samples = samplesPerFrame(wfx.nSamplesPerSec);
    uint64_t bytes = samples * wfx.nAvgBytesPerSec / wfx.nSamplesPerSec;
    if (wfx.cbSize >= MPEGLAYER3_WFX_EXTRA_BYTES) {
        const auto* record = reinterpret_cast<const uint8_t*>(&wfx);
        uint16_t blockSize = 0, framesPerBlock = 0;
        std::memcpy(&blockSize, record + offsetof(MPEGLAYER3WAVEFORMAT, nBlockSize), 2);
        std::memcpy(&framesPerBlock, record + offsetof(MPEGLAYER3WAVEFORMAT, nFramesPerBlock), 2);
        if (blockSize > 0 && framesPerBlock > 0)
            bytes = std::min<uint64_t>(bytes, blockSize / framesPerBlock);
    }
    const uint64_t lowestBitRate = wfx.nSamplesPerSec >= 32000 ? 32000 : 8000;
    return uint32_t(std::max(bytes, samples * lowestBitRate / 8 / wfx.nSamplesPerSec));
}

bool isMp3(const WAVEFORMATEX& wfx)
{
    if (wfx.wFormatTag != WAVE_FORMAT_MPEGLAYER3 || !hasSaneHeader(wfx) || wfx.nChannels > 2)
        return false;
    static const uint32_t rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    return std::find(std::begin(rates), std::end(rates), wfx.nSamplesPerSec) != std::end(rates);
}

bool libraryReady()
{
    static const bool ready = mpg123_init() == MPG123_OK;
    return ready;
}

class Mp3Decode : public CodecStream {
public:
    explicit Mp3Decode(const WAVEFORMATEX& src)
        : channels_(src.nChannels), rate_(src.nSamplesPerSec), block_(src.nBlockAlign),
          frameSamples_(samplesPerFrame(src.nSamplesPerSec)), frameBytes_(smallestFrameBytes(src))
    {
        if (libraryReady())
            handle_ = mpg123_new(nullptr, nullptr);
        if (handle_ && !start()) {
            mpg123_delete(handle_);
            handle_ = nullptr;
        }
    }
    ~Mp3Decode() override
    {
        if (handle_)
            mpg123_delete(handle_);
    }
    Mp3Decode(const Mp3Decode&) = delete;
    Mp3Decode& operator=(const Mp3Decode&) = delete;

    bool ok() const { return handle_ != nullptr; }

    // Every frame the bytes could hold, at the smallest frame size, and what the decoder
    // may still hold from earlier bytes.
    uint32_t destBytesFor(uint32_t srcBytes) const override
    {
        if (srcBytes < block_)
            return 0;
        const uint64_t frames = srcBytes / frameBytes_ + 1 + kHeldFrames;
        return uint32_t(std::min<uint64_t>(frames * frameSamples_ * channels_ * 2, UINT32_MAX));
    }

    uint32_t srcBytesFor(uint32_t dstBytes) const override
    {
        const uint64_t frames = dstBytes / (2u * channels_) / frameSamples_;
        const uint64_t bytes = frames > 1 + kHeldFrames ? (frames - 1 - kHeldFrames) * frameBytes_ : 0;
        return uint32_t(std::min<uint64_t>(bytes / block_ * block_, UINT32_MAX));
    }

    MMRESULT convert(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen, uint32_t& srcUsed,
                     uint32_t& dstUsed) override
    {
        srcUsed = dstUsed = 0;
        const uint32_t usable = srcLen / block_ * block_;
        dstLen -= dstLen % (2u * channels_);
        while (dstUsed < dstLen) {
            size_t done = 0;
            const int r = mpg123_read(handle_, dst + dstUsed, dstLen - dstUsed, &done);
            dstUsed += uint32_t(done);
            if (r == MPG123_OK || r == MPG123_NEW_FORMAT)
                continue;
            if (r == MPG123_NEED_MORE && srcUsed < usable) {
                const uint32_t piece = std::min(usable - srcUsed, kFeedPiece);
                if (mpg123_feed(handle_, src + srcUsed, piece) != MPG123_OK)
                    return ACMERR_NOTPOSSIBLE;
                srcUsed += piece;
                continue;
            }
            if (r == MPG123_NEED_MORE || r == MPG123_DONE)
                break;
            return ACMERR_NOTPOSSIBLE; // a stream the decoder cannot go on with
        }
        return MMSYSERR_NOERROR;
    }

    void reset() override
    {
        mpg123_close(handle_);
        start();
    }

private:
    bool start()
    {
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_SKIP_ID3V2, 0);
        // Frames at another rate than the format declares are refused, not resampled: the
        // library's own resampler walks every frame a stream's info tag claims to hold to
        // place the gapless ends (tens of seconds for a hostile tag), and a clip whose
        // format misstates its rate is broken anyway.
        mpg123_param(handle_, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0);
        mpg123_format_none(handle_);
        return mpg123_format(handle_, long(rate_), channels_ == 1 ? MPG123_MONO : MPG123_STEREO,
                             MPG123_ENC_SIGNED_16) == MPG123_OK &&
               mpg123_open_feed(handle_) == MPG123_OK;
    }

    uint16_t channels_;
    uint32_t rate_;
    uint32_t block_;
    uint32_t frameSamples_;
    uint32_t frameBytes_;
    mpg123_handle* handle_ = nullptr;
};

std::vector<uint8_t> mp3Record(uint16_t channels, uint32_t rate, uint32_t kbps)
{
    MPEGLAYER3WAVEFORMAT f{};
    f.wfx = {WAVE_FORMAT_MPEGLAYER3, channels, rate, kbps * 125, 1, 0, MPEGLAYER3_WFX_EXTRA_BYTES};
    f.wID = MPEGLAYER3_ID_MPEG;
    f.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
    f.nBlockSize = uint16_t((rate >= 32000 ? 144 : 72) * kbps * 1000 / rate);
    f.nFramesPerBlock = 1;
    f.nCodecDelay = 1393;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&f);
    return {bytes, bytes + sizeof f};
}

class Mp3Driver : public Driver {
public:
    const DriverInfo& info() const override
    {
        static const DriverInfo info{"Lexorin MPEG Layer-3",
                                     "Lexorin MPEG Layer-3 Decoder",
                                     "Copyright (C) Lexorin developers; libmpg123 (C) the mpg123 project",
                                     "Free to use with the Lexorin spelling tutor.",
                                     "Decodes MPEG audio layer 3 (MP3) at 8 to 48 kHz, mono and stereo.",
                                     ACMDRIVERDETAILS_SUPPORTF_CODEC,
                                     6,
                                     2};
        return info;
    }

    uint32_t maxFormatSize() const override { return sizeof(MPEGLAYER3WAVEFORMAT); }

    std::vector<OfferedFormat> formats() const override
    {
        std::vector<OfferedFormat> list;
        for (uint32_t rate : {22050u, 44100u, 48000u})
            for (uint16_t channels : {uint16_t(1), uint16_t(2)})
                for (uint32_t kbps : {64u, 128u}) {
                    auto record = mp3Record(channels, rate, kbps);
                    WAVEFORMATEX wfx;
                    std::memcpy(&wfx, record.data(), 18);
                    list.push_back({std::move(record), std::to_string(kbps) + " kBit/s, " + describe(wfx, false)});
                }
        return list;
    }

    bool canConvert(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const override
    {
        return isMp3(src) && isNaturalPcmOf(dst, src);
    }

    std::vector<uint8_t> suggest(const WAVEFORMATEX& src, const WAVEFORMATEX&, uint32_t) const override
    {
        return isMp3(src) ? naturalPcm(src) : std::vector<uint8_t>{};
    }

    std::unique_ptr<CodecStream> open(const WAVEFORMATEX& src, const WAVEFORMATEX&) const override
    {
        auto s = std::make_unique<Mp3Decode>(src);
        return s->ok() ? std::move(s) : nullptr;
    }
};

} // namespace

const Driver& mp3Driver()
{
    static const Mp3Driver driver;
    return driver;
}

} // namespace acm
