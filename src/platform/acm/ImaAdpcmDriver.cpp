// IMA (DVI) ADPCM as stored in WAVE files: blocks with a 4-byte header per channel and
// the channels' 4-bit codes interleaved in 4-byte words. Decodes to, and encodes from,
// 16-bit PCM of the same rate and channels.

#include "platform/acm/AcmDriver.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace acm {

namespace {

constexpr int kStepSizes[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kIndexAdjust[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

struct Channel {
    int predictor = 0;
    int index = 0;

    int16_t decode(int code)
    {
        int step = kStepSizes[index];
        int diff = step >> 3;
        if (code & 4)
            diff += step;
        if (code & 2)
            diff += step >> 1;
        if (code & 1)
            diff += step >> 2;
        predictor = std::clamp((code & 8) ? predictor - diff : predictor + diff, -32768, 32767);
        index = std::clamp(index + kIndexAdjust[code], 0, 88);
        return int16_t(predictor);
    }

    int encode(int16_t sample)
    {
        const int step = kStepSizes[index];
        int diff = sample - predictor;
        int code = 0;
        if (diff < 0) {
            code = 8;
            diff = -diff;
        }
        if (diff >= step) {
            code |= 4;
            diff -= step;
        }
        if (diff >= step >> 1) {
            code |= 2;
            diff -= step >> 1;
        }
        if (diff >= step >> 2)
            code |= 1;
        decode(code); // track the decoder's state exactly
        return code;
    }
};

struct ImaLayout {
    uint16_t channels;
    uint16_t blockAlign;
    uint32_t samplesPerBlock;
};

std::optional<ImaLayout> imaLayout(const WAVEFORMATEX& wfx)
{
    if (wfx.wFormatTag != WAVE_FORMAT_IMA_ADPCM || !hasSaneHeader(wfx) || wfx.wBitsPerSample != 4 ||
        wfx.nChannels > 8)
        return std::nullopt;
    const uint32_t words = 4u * wfx.nChannels;
    if (wfx.nBlockAlign <= words || wfx.nBlockAlign % words != 0)
        return std::nullopt;
    const uint32_t samples = (wfx.nBlockAlign - words) * 2 / wfx.nChannels + 1;
    if (const auto* ext = extended<IMAADPCMWAVEFORMAT>(wfx); ext && ext->wSamplesPerBlock != samples)
        return std::nullopt;
    return ImaLayout{wfx.nChannels, wfx.nBlockAlign, samples};
}

class ImaDecode : public BlockStream {
public:
    explicit ImaDecode(const ImaLayout& l)
        : BlockStream(l.blockAlign, 2 * l.samplesPerBlock * l.channels), layout_(l)
    {
    }

protected:
    bool process(const uint8_t* in, uint8_t* out, uint32_t blocks) override
    {
        const uint32_t ch = layout_.channels;
        for (uint32_t b = 0; b < blocks; ++b, in += layout_.blockAlign) {
            uint8_t* pcm = out + size_t(b) * layout_.samplesPerBlock * ch * 2;
            for (uint32_t c = 0; c < ch; ++c) {
                const uint8_t* head = in + 4 * c;
                Channel state;
                state.predictor = int16_t(uint16_t(head[0] | head[1] << 8));
                state.index = head[2] > 88 ? 0 : head[2];
                store(pcm, c, int16_t(state.predictor));
                const uint8_t* data = in + 4 * ch + 4 * c;
                for (uint32_t i = 1; i < layout_.samplesPerBlock; ++i) {
                    const uint32_t k = i - 1; // code number within this channel
                    const uint8_t byte = data[(k / 8) * 4 * ch + (k % 8) / 2];
                    store(pcm + size_t(i) * ch * 2, c, state.decode((k % 2) ? byte >> 4 : byte & 0x0F));
                }
            }
        }
        return true;
    }

private:
    static void store(uint8_t* frame, uint32_t c, int16_t v) { std::memcpy(frame + 2 * c, &v, 2); }
    ImaLayout layout_;
};

class ImaEncode : public BlockStream {
public:
    explicit ImaEncode(const ImaLayout& l)
        : BlockStream(2 * l.samplesPerBlock * l.channels, l.blockAlign), layout_(l), state_(l.channels)
    {
    }
    void reset() override { std::fill(state_.begin(), state_.end(), Channel{}); }

protected:
    bool process(const uint8_t* in, uint8_t* out, uint32_t blocks) override
    {
        const uint32_t ch = layout_.channels;
        for (uint32_t b = 0; b < blocks; ++b, out += layout_.blockAlign) {
            const uint8_t* pcm = in + size_t(b) * layout_.samplesPerBlock * ch * 2;
            std::memset(out, 0, layout_.blockAlign);
            for (uint32_t c = 0; c < ch; ++c) {
                Channel& state = state_[c];
                state.predictor = sample(pcm, c);
                out[4 * c] = uint8_t(state.predictor);
                out[4 * c + 1] = uint8_t(uint16_t(state.predictor) >> 8);
                out[4 * c + 2] = uint8_t(state.index);
                uint8_t* data = out + 4 * ch + 4 * c;
                for (uint32_t i = 1; i < layout_.samplesPerBlock; ++i) {
                    const uint32_t k = i - 1;
                    const int code = state.encode(sample(pcm + size_t(i) * ch * 2, c));
                    data[(k / 8) * 4 * ch + (k % 8) / 2] |= uint8_t((k % 2) ? code << 4 : code);
                }
            }
        }
        return true;
    }

private:
    static int16_t sample(const uint8_t* frame, uint32_t c)
    {
        int16_t v;
        std::memcpy(&v, frame + 2 * c, 2);
        return v;
    }
    ImaLayout layout_;
    std::vector<Channel> state_;
};

std::vector<uint8_t> imaRecord(uint16_t channels, uint32_t rate)
{
    IMAADPCMWAVEFORMAT f{};
    const uint16_t perChannel = rate <= 11025 ? 256 : rate <= 22050 ? 512 : 1024;
    f.wfx = {WAVE_FORMAT_IMA_ADPCM, channels, rate, 0, uint16_t(perChannel * channels), 4, 2};
    f.wSamplesPerBlock = uint16_t((perChannel - 4) * 2 + 1);
    f.wfx.nAvgBytesPerSec = uint32_t(uint64_t(rate) * f.wfx.nBlockAlign / f.wSamplesPerBlock);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&f);
    return {bytes, bytes + sizeof f};
}

class ImaAdpcmDriver : public Driver {
public:
    const DriverInfo& info() const override
    {
        static const DriverInfo info{"Lexorin IMA ADPCM",
                                     "Lexorin IMA ADPCM CODEC",
                                     "Copyright (C) Lexorin developers",
                                     "Free to use with the Lexorin spelling tutor.",
                                     "Decodes and encodes IMA (DVI) ADPCM, 4 bits per sample.",
                                     ACMDRIVERDETAILS_SUPPORTF_CODEC,
                                     3,
                                     2};
        return info;
    }

    uint32_t maxFormatSize() const override { return sizeof(IMAADPCMWAVEFORMAT); }

    std::vector<OfferedFormat> formats() const override
    {
        std::vector<OfferedFormat> list;
        for (uint32_t rate : {8000u, 11025u, 22050u, 44100u})
            for (uint16_t channels : {uint16_t(1), uint16_t(2)}) {
                auto record = imaRecord(channels, rate);
                WAVEFORMATEX wfx;
                std::memcpy(&wfx, record.data(), 18);
                list.push_back({std::move(record), describe(wfx, true)});
            }
        return list;
    }

    bool canConvert(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const override
    {
        return (imaLayout(src) && isNaturalPcmOf(dst, src)) || (imaLayout(dst) && isNaturalPcmOf(src, dst));
    }

    std::vector<uint8_t> suggest(const WAVEFORMATEX& src, const WAVEFORMATEX& want,
                                 uint32_t flags) const override
    {
        if (imaLayout(src))
            return naturalPcm(src);
        if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && want.wFormatTag == WAVE_FORMAT_IMA_ADPCM &&
            isNaturalPcmOf(src, src) && src.nChannels <= 8)
            return imaRecord(src.nChannels, src.nSamplesPerSec);
        return {};
    }

    std::unique_ptr<CodecStream> open(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const override
    {
        if (const auto l = imaLayout(src))
            return std::make_unique<ImaDecode>(*l);
        return std::make_unique<ImaEncode>(*imaLayout(dst));
    }
};

} // namespace

const Driver& imaAdpcmDriver()
{
    static const ImaAdpcmDriver driver;
    return driver;
}

} // namespace acm
