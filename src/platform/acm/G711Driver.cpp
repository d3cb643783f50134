// CCITT G.711 A-law and mu-law: decoding to and encoding from 16-bit PCM of the same
// rate and channels (the classic segment tables, so the codes match other codecs').

#include "platform/acm/AcmDriver.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace acm {

namespace {

int16_t alawToLinear(uint8_t a)
{
    a ^= 0x55;
    int t = (a & 0x0F) << 4;
    const int seg = (a & 0x70) >> 4;
    if (seg == 0)
        t += 8;
    else
        t = (t + 0x108) << (seg - 1);
    return int16_t((a & 0x80) ? t : -t);
}

int16_t mulawToLinear(uint8_t u)
{
    u = uint8_t(~u);
    int t = ((u & 0x0F) << 3) + 0x84;
    t <<= (u & 0x70) >> 4;
    return int16_t((u & 0x80) ? (0x84 - t) : (t - 0x84));
}

int segment(int value, const int* ends)
{
    for (int i = 0; i < 8; ++i)
        if (value <= ends[i])
            return i;
    return 8;
}

// The encoders round the 16-bit sample to the codec's 13 or 14 bits (half up, saturating)
// before the segment search, rather than truncating.
uint8_t linearToAlaw(int16_t sample)
{
    static const int ends[8] = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
    int v = std::min((sample + 4) >> 3, 4095);
    int mask = 0xD5;
    if (v < 0) {
        mask = 0x55;
        v = -v - 1;
    }
    const int seg = segment(v, ends);
    if (seg >= 8)
        return uint8_t(0x7F ^ mask);
    int aval = seg << 4;
    aval |= seg < 2 ? (v >> 1) & 0x0F : (v >> seg) & 0x0F;
    return uint8_t(aval ^ mask);
}

uint8_t linearToMulaw(int16_t sample)
{
    static const int ends[8] = {0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF};
    int v = std::min((sample + 2) >> 2, 8191);
    int mask = 0xFF;
    if (v < 0) {
        v = -v;
        mask = 0x7F;
    }
    if (v > 8159)
        v = 8159;
    v += 0x84 >> 2;
    const int seg = segment(v, ends);
    if (seg >= 8)
        return uint8_t(0x7F ^ mask);
    return uint8_t(((seg << 4) | ((v >> (seg + 1)) & 0x0F)) ^ mask);
}

struct Tables {
    std::array<int16_t, 256> alaw, mulaw;
    std::array<uint8_t, 65536> toAlaw, toMulaw;
    Tables()
    {
        for (int i = 0; i < 256; ++i) {
            alaw[i] = alawToLinear(uint8_t(i));
            mulaw[i] = mulawToLinear(uint8_t(i));
        }
        for (int i = 0; i < 65536; ++i) {
            toAlaw[i] = linearToAlaw(int16_t(uint16_t(i)));
            toMulaw[i] = linearToMulaw(int16_t(uint16_t(i)));
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

class G711Decode : public BlockStream {
public:
    G711Decode(const std::array<int16_t, 256>& table, uint16_t channels)
        : BlockStream(channels, 2u * channels), table_(table), channels_(channels)
    {
    }

protected:
    bool process(const uint8_t* in, uint8_t* out, uint32_t blocks) override
    {
        const size_t n = size_t(blocks) * channels_;
        for (size_t i = 0; i < n; ++i) {
            const int16_t v = table_[in[i]];
            std::memcpy(out + 2 * i, &v, 2);
        }
        return true;
    }

private:
    const std::array<int16_t, 256>& table_;
    uint16_t channels_;
};

class G711Encode : public BlockStream {
public:
    G711Encode(const std::array<uint8_t, 65536>& table, uint16_t channels)
        : BlockStream(2u * channels, channels), table_(table), channels_(channels)
    {
    }

protected:
    bool process(const uint8_t* in, uint8_t* out, uint32_t blocks) override
    {
        const size_t n = size_t(blocks) * channels_;
        for (size_t i = 0; i < n; ++i) {
            uint16_t v;
            std::memcpy(&v, in + 2 * i, 2);
            out[i] = table_[v];
        }
        return true;
    }

private:
    const std::array<uint8_t, 65536>& table_;
    uint16_t channels_;
};

bool isG711(const WAVEFORMATEX& wfx)
{
    return (wfx.wFormatTag == WAVE_FORMAT_ALAW || wfx.wFormatTag == WAVE_FORMAT_MULAW) && hasSaneHeader(wfx) &&
           wfx.wBitsPerSample == 8 && wfx.nBlockAlign == wfx.nChannels;
}

class G711Driver : public Driver {
public:
    const DriverInfo& info() const override
    {
        static const DriverInfo info{"Lexorin CCITT G.711",
                                     "Lexorin CCITT G.711 A-Law and u-Law CODEC",
                                     "Copyright (C) Lexorin developers",
                                     "Free to use with the Lexorin spelling tutor.",
                                     "Decodes and encodes CCITT G.711 A-law and u-law at any rate.",
                                     ACMDRIVERDETAILS_SUPPORTF_CODEC,
                                     2,
                                     3};
        return info;
    }

    uint32_t maxFormatSize() const override { return 18; }

    std::vector<OfferedFormat> formats() const override
    {
        std::vector<OfferedFormat> list;
        for (uint16_t tag : {WAVE_FORMAT_ALAW, WAVE_FORMAT_MULAW})
            for (uint32_t rate : {8000u, 11025u, 22050u, 44100u})
                for (uint16_t channels : {uint16_t(1), uint16_t(2)}) {
                    WAVEFORMATEX wfx{tag, channels, rate, rate * channels, channels, 8, 0};
                    list.push_back({recordOf(wfx), describe(wfx, true)});
                }
        return list;
    }

    bool canConvert(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const override
    {
        return (isG711(src) && isNaturalPcmOf(dst, src)) || (isG711(dst) && isNaturalPcmOf(src, dst));
    }

    std::vector<uint8_t> suggest(const WAVEFORMATEX& src, const WAVEFORMATEX& want,
                                 uint32_t flags) const override
    {
        if (isG711(src))
            return naturalPcm(src);
        const uint16_t tag = want.wFormatTag;
        if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && (tag == WAVE_FORMAT_ALAW || tag == WAVE_FORMAT_MULAW) &&
            isNaturalPcmOf(src, src)) {
            WAVEFORMATEX wfx{tag, src.nChannels, src.nSamplesPerSec, src.nSamplesPerSec * src.nChannels,
                             src.nChannels, 8, 0};
            return recordOf(wfx);
        }
        return {};
    }

    std::unique_ptr<CodecStream> open(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const override
    {
        const Tables& t = tables();
        if (isG711(src))
            return std::make_unique<G711Decode>(src.wFormatTag == WAVE_FORMAT_ALAW ? t.alaw : t.mulaw,
                                                src.nChannels);
        return std::make_unique<G711Encode>(dst.wFormatTag == WAVE_FORMAT_ALAW ? t.toAlaw : t.toMulaw,
                                            dst.nChannels);
    }
};

} // namespace

const Driver& g711Driver()
{
    static const G711Driver driver;
    return driver;
}

} // namespace acm
