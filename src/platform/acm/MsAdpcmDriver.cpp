// Microsoft ADPCM: blocks with a predictor number, delta and two history samples per
// channel, then 4-bit codes (high nibble first, channels alternating). Decodes to 16-bit
// PCM of the same rate and channels, and encodes with the first of the standard
// predictors.

#include "platform/acm/AcmDriver.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace acm {

namespace {

constexpr int kAdapt[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
constexpr int16_t kStandardCoefs[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
constexpr int kMaxDelta = 1 << 24; // far above anything an encoder writes; keeps products in range

struct MsLayout {
    uint16_t channels;
    uint16_t blockAlign;
    uint32_t samplesPerBlock; // samples each block yields
    uint32_t codedSamples;    // samples the block's bytes hold
    std::vector<int> coefs;   // pairs
};

std::optional<MsLayout> msLayout(const WAVEFORMATEX& wfx)
{
    if (wfx.wFormatTag != WAVE_FORMAT_ADPCM || !hasSaneHeader(wfx) || wfx.wBitsPerSample != 4 ||
        wfx.nChannels > 2 || wfx.cbSize < 4)
        return std::nullopt;
    const uint8_t* extra = reinterpret_cast<const uint8_t*>(&wfx) + 18;
    const uint16_t perBlock = uint16_t(extra[0] | extra[1] << 8);
    const uint16_t numCoef = uint16_t(extra[2] | extra[3] << 8);
    if (numCoef == 0 || 4u + 4u * numCoef > wfx.cbSize)
        return std::nullopt;
    const uint32_t head = 7u * wfx.nChannels;
    if (wfx.nBlockAlign <= head)
        return std::nullopt;
    const uint32_t coded = (wfx.nBlockAlign - head) * 2 / wfx.nChannels + 2;
    if (perBlock < 2 || perBlock > coded)
        return std::nullopt;
    MsLayout l{wfx.nChannels, wfx.nBlockAlign, perBlock, coded, {}};
    for (uint32_t i = 0; i < 2u * numCoef; ++i)
        l.coefs.push_back(int16_t(uint16_t(extra[4 + 2 * i] | extra[5 + 2 * i] << 8)));
    return l;
}

struct Predictor {
    int coef1 = 256, coef2 = 0;
    int delta = 16;

    int16_t decode(int code, int sample1, int sample2)
    {
        const int step = delta;
        delta = int(std::clamp<int64_t>((int64_t(kAdapt[code]) * step) >> 8, 16, kMaxDelta));
        const int64_t predicted = (int64_t(sample1) * coef1 + int64_t(sample2) * coef2) >> 8;
        const int signedCode = code - ((code & 8) << 1);
        return int16_t(std::clamp<int64_t>(predicted + int64_t(signedCode) * step, -32768, 32767));
    }
};

int16_t read16(const uint8_t* p)
{
    return int16_t(uint16_t(p[0] | p[1] << 8));
}

void write16(uint8_t* p, int v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(uint16_t(v) >> 8);
}

class MsDecode : public BlockStream {
public:
    explicit MsDecode(MsLayout l)
        : BlockStream(l.blockAlign, 2 * l.samplesPerBlock * l.channels), layout_(std::move(l)),
          block_(size_t(layout_.codedSamples) * layout_.channels)
    {
    }

protected:
    bool process(const uint8_t* in, uint8_t* out, uint32_t blocks) override
    {
        const size_t frameBytes = size_t(layout_.samplesPerBlock) * layout_.channels * 2;
        for (uint32_t b = 0; b < blocks; ++b, in += layout_.blockAlign, out += frameBytes) {
            decodeBlock(in);
            std::memcpy(out, block_.data(), frameBytes);
        }
        return true;
    }

private:
    void decodeBlock(const uint8_t* in)
    {
        const uint32_t ch = layout_.channels;
        const uint32_t numCoef = uint32_t(layout_.coefs.size() / 2);
        Predictor state[2];
        for (uint32_t c = 0; c < ch; ++c) {
            const uint32_t pred = in[c] < numCoef ? in[c] : 0;
            state[c].coef1 = layout_.coefs[2 * pred];
            state[c].coef2 = layout_.coefs[2 * pred + 1];
            state[c].delta = std::max<int>(read16(in + ch + 2 * c), 16);
            block_[ch + c] = read16(in + 3 * ch + 2 * c); // sample 1
            block_[c] = read16(in + 5 * ch + 2 * c);      // sample 2, the older one, comes first
        }
        const uint8_t* data = in + 7 * ch;
        const size_t total = size_t(layout_.codedSamples) * ch;
        uint32_t c = 0;
        for (size_t i = 2 * ch; i < total; ++data) {
            for (int shift : {4, 0}) {
                if (i >= total)
                    break;
                block_[i] = state[c].decode((*data >> shift) & 0x0F, block_[i - ch], block_[i - 2 * ch]);
                ++i;
                c = (c + 1) % ch;
            }
        }
    }

    MsLayout layout_;
    std::vector<int16_t> block_;
};

// Encodes every block with standard predictor 0 (plain first-order), which needs no search.
class MsEncode : public BlockStream {
public:
    explicit MsEncode(MsLayout l)
        : BlockStream(2 * l.samplesPerBlock * l.channels, l.blockAlign), layout_(std::move(l))
    {
    }

protected:
    bool process(const uint8_t* in, uint8_t* out, uint32_t blocks) override
    {
        const uint32_t ch = layout_.channels;
        for (uint32_t b = 0; b < blocks; ++b, out += layout_.blockAlign) {
            const uint8_t* pcm = in + size_t(b) * layout_.samplesPerBlock * ch * 2;
            auto sample = [&](size_t i) { return int(read16(pcm + 2 * i)); };
            std::memset(out, 0, layout_.blockAlign);
            Predictor state[2];
            std::vector<int> hist(size_t(layout_.samplesPerBlock) * ch);
            for (uint32_t c = 0; c < ch; ++c) {
                out[c] = 0;
                const int first = sample(c), second = sample(ch + c);
                state[c].delta = std::max(16, std::abs(second - first) / 4);
                write16(out + ch + 2 * c, state[c].delta);
                write16(out + 3 * ch + 2 * c, second);
                write16(out + 5 * ch + 2 * c, first);
                hist[c] = first;
                hist[ch + c] = second;
            }
            uint8_t* data = out + 7 * ch;
            const size_t total = size_t(layout_.samplesPerBlock) * ch;
            for (size_t i = 2 * ch; i < total; ++i) {
                const uint32_t c = uint32_t(i % ch);
                const int code = bestCode(state[c], sample(i), hist[i - ch], hist[i - 2 * ch]);
                hist[i] = state[c].decode(code, hist[i - ch], hist[i - 2 * ch]);
                const size_t nibble = i - 2 * ch;
                data[nibble / 2] |= uint8_t((nibble % 2) ? code : code << 4);
            }
        }
        return true;
    }

private:
    static int bestCode(const Predictor& p, int target, int s1, int s2)
    {
        const int predicted = (s1 * p.coef1 + s2 * p.coef2) >> 8;
        const int code = std::clamp(int(std::lround(double(target - predicted) / p.delta)), -8, 7);
        return code & 0x0F;
    }
    MsLayout layout_;
};

std::vector<uint8_t> msRecord(uint16_t channels, uint32_t rate)
{
    ADPCMWAVEFORMAT f{};
    const uint16_t perChannel = rate <= 11025 ? 256 : rate <= 22050 ? 512 : 1024;
    f.wfx = {WAVE_FORMAT_ADPCM, channels, rate, 0, uint16_t(perChannel * channels), 4, 32};
    f.wSamplesPerBlock = uint16_t((perChannel - 7) * 2 + 2);
    f.wNumCoef = 7;
    for (int i = 0; i < 7; ++i)
        f.aCoef[i] = {kStandardCoefs[i][0], kStandardCoefs[i][1]};
    f.wfx.nAvgBytesPerSec = uint32_t(uint64_t(rate) * f.wfx.nBlockAlign / f.wSamplesPerBlock);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&f);
    return {bytes, bytes + sizeof f};
}

class MsAdpcmDriver : public Driver {
public:
    const DriverInfo& info() const override
    {
        static const DriverInfo info{"Lexorin MS ADPCM",
                                     "Lexorin Microsoft ADPCM CODEC",
                                     "Copyright (C) Lexorin developers",
                                     "Free to use with the Lexorin spelling tutor.",
                                     "Decodes and encodes Microsoft ADPCM, 4 bits per sample.",
                                     ACMDRIVERDETAILS_SUPPORTF_CODEC,
                                     4,
                                     2};
        return info;
    }

    uint32_t maxFormatSize() const override { return sizeof(ADPCMWAVEFORMAT); }

    std::vector<OfferedFormat> formats() const override
    {
        std::vector<OfferedFormat> list;
        for (uint32_t rate : {8000u, 11025u, 22050u, 44100u})
            for (uint16_t channels : {uint16_t(1), uint16_t(2)}) {
                auto record = msRecord(channels, rate);
                WAVEFORMATEX wfx;
                std::memcpy(&wfx, record.data(), 18);
                list.push_back({std::move(record), describe(wfx, true)});
            }
        return list;
    }

    bool canConvert(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const override
    {
        return (msLayout(src) && isNaturalPcmOf(dst, src)) || (msLayout(dst) && isNaturalPcmOf(src, dst));
    }

    std::vector<uint8_t> suggest(const WAVEFORMATEX& src, const WAVEFORMATEX& want,
                                 uint32_t flags) const override
    {
        if (msLayout(src))
            return naturalPcm(src);
        if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && want.wFormatTag == WAVE_FORMAT_ADPCM &&
            isNaturalPcmOf(src, src) && src.nChannels <= 2)
            return msRecord(src.nChannels, src.nSamplesPerSec);
        return {};
    }

    std::unique_ptr<CodecStream> open(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const override
    {
        if (auto l = msLayout(src))
            return std::make_unique<MsDecode>(std::move(*l));
        return std::make_unique<MsEncode>(std::move(*msLayout(dst)));
    }
};

} // namespace

const Driver& msAdpcmDriver()
{
    static const MsAdpcmDriver driver;
    return driver;
}

} // namespace acm
