// The PCM converter: any PCM or float layout to any other, with channel mixing and
// sample-rate conversion. A pair of identical layouts is copied straight through.

#include "platform/acm/AcmDriver.h"
#include "platform/acm/ChannelMixer.h"
#include "platform/acm/PcmResampler.h"
#include "platform/acm/PcmSamples.h"

#include <algorithm>
#include <cstring>

namespace acm {

namespace {

constexpr uint32_t kChunkFrames = 1024;
constexpr uint32_t kResampleSlack = 4; // output frames a resampler may run ahead of the ratio

class PcmStream : public CodecStream {
public:
    PcmStream(const PcmLayout& src, const PcmLayout& dst)
        : src_(src), dst_(dst), mixer_(src.channels, dst.channels),
          copy_(src.kind == dst.kind && src.channels == dst.channels && src.rate == dst.rate)
    {
        if (src.rate != dst.rate)
            resampler_ = PcmResampler::create(dst.channels, src.rate, dst.rate);
        // Large rate ratios take smaller input chunks so the output chunk stays bounded.
        const uint32_t ratio = (dst.rate + src.rate - 1) / src.rate;
        chunk_ = std::clamp<uint32_t>(8192 / ratio, 1, kChunkFrames);
        in_.resize(size_t(chunk_) * src.channels);
        mixed_.resize(size_t(chunk_) * dst.channels);
        if (resampler_)
            out_.resize(size_t(maxOutFrames(chunk_)) * dst.channels);
    }

    bool ok() const { return src_.rate == dst_.rate || resampler_; }

    uint32_t destBytesFor(uint32_t srcBytes) const override
    {
        const uint64_t frames = srcBytes / src_.blockAlign;
        if (frames == 0)
            return 0;
        return uint32_t(std::min<uint64_t>(maxOutFrames(frames) * dst_.blockAlign, UINT32_MAX));
    }

    uint32_t srcBytesFor(uint32_t dstBytes) const override
    {
        const uint64_t outFrames = dstBytes / dst_.blockAlign;
        uint64_t frames = outFrames;
        if (resampler_)
            frames = outFrames <= kResampleSlack ? 0 : (outFrames - kResampleSlack) * src_.rate / dst_.rate;
        return uint32_t(std::min<uint64_t>(frames * src_.blockAlign, UINT32_MAX));
    }

    MMRESULT convert(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen, uint32_t& srcUsed,
                     uint32_t& dstUsed) override
    {
        srcUsed = dstUsed = 0;
        uint32_t inFrames = srcLen / src_.blockAlign;
        uint32_t outRoom = dstLen / dst_.blockAlign;
        if (copy_) {
            const uint32_t frames = std::min(inFrames, outRoom);
            std::memcpy(dst, src, size_t(frames) * src_.blockAlign);
            srcUsed = frames * src_.blockAlign;
            dstUsed = frames * dst_.blockAlign;
            return MMSYSERR_NOERROR;
        }
        while (inFrames > 0 && outRoom > 0) {
            uint32_t take = std::min(inFrames, chunk_);
            uint32_t made = 0;
            if (!resampler_)
                take = std::min(take, outRoom);
            read(src + srcUsed, take);
            if (resampler_) {
                made = std::min<uint32_t>(outRoom, uint32_t(out_.size() / dst_.channels));
                resampler_->process(mixed_.data(), take, out_.data(), made);
                writeSamples(dst_.kind, out_.data(), dst + dstUsed, size_t(made) * dst_.channels);
                if (take == 0 && made == 0)
                    break;
            } else {
                made = take;
                writeSamples(dst_.kind, mixed_.data(), dst + dstUsed, size_t(made) * dst_.channels);
            }
            srcUsed += take * src_.blockAlign;
            dstUsed += made * dst_.blockAlign;
            inFrames -= take;
            outRoom -= made;
        }
        return MMSYSERR_NOERROR;
    }

    void reset() override
    {
        if (resampler_)
            resampler_->reset();
    }

private:
    uint64_t maxOutFrames(uint64_t inFrames) const
    {
        if (!resampler_)
            return inFrames;
        return (inFrames * dst_.rate + src_.rate - 1) / src_.rate + kResampleSlack;
    }

    void read(const uint8_t* src, uint32_t frames)
    {
        readSamples(src_.kind, src, in_.data(), size_t(frames) * src_.channels);
        mixer_.mix(in_.data(), mixed_.data(), frames);
    }

    PcmLayout src_, dst_;
    ChannelMixer mixer_;
    bool copy_;
    uint32_t chunk_ = kChunkFrames;
    std::unique_ptr<PcmResampler> resampler_;
    std::vector<double> in_, mixed_, out_;
};

class PcmDriver : public Driver {
public:
    const DriverInfo& info() const override
    {
        static const DriverInfo info{"Lexorin PCM",
                                     "Lexorin PCM Converter",
                                     "Copyright (C) Lexorin developers",
                                     "Free to use with the Lexorin spelling tutor.",
                                     "Converts between PCM sample sizes, float samples, channel counts and "
                                     "sample rates.",
                                     ACMDRIVERDETAILS_SUPPORTF_CONVERTER,
                                     1,
                                     2};
        return info;
    }

    uint32_t maxFormatSize() const override { return sizeof(WAVEFORMATEXTENSIBLE); }

    std::vector<OfferedFormat> formats() const override
    {
        std::vector<OfferedFormat> list;
        for (uint32_t rate : {8000u, 11025u, 16000u, 22050u, 44100u, 48000u})
            for (uint16_t channels : {uint16_t(1), uint16_t(2)})
                for (uint16_t bits : {uint16_t(8), uint16_t(16), uint16_t(24), uint16_t(32)}) {
                    WAVEFORMATEX wfx{};
                    makePcm(wfx, channels, rate, bits);
                    list.push_back({recordOf(wfx), describe(wfx, true)});
                }
        for (uint32_t rate : {44100u, 48000u})
            for (uint16_t channels : {uint16_t(1), uint16_t(2)}) {
                WAVEFORMATEX wfx{};
                makePcm(wfx, channels, rate, 32);
                wfx.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
                list.push_back({recordOf(wfx), describe(wfx, true) + ", Float"});
            }
        return list;
    }

    bool canConvert(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const override
    {
        return pcmLayout(src) && pcmLayout(dst);
    }

    std::vector<uint8_t> suggest(const WAVEFORMATEX& src, const WAVEFORMATEX& want,
                                 uint32_t flags) const override
    {
        const auto layout = pcmLayout(src);
        if (!layout)
            return {};
        uint16_t tag = src.wFormatTag == WAVE_FORMAT_IEEE_FLOAT || layout->kind == SampleKind::Float32
                           ? WAVE_FORMAT_IEEE_FLOAT
                           : WAVE_FORMAT_PCM;
        if (flags & ACM_FORMATSUGGESTF_WFORMATTAG)
            tag = want.wFormatTag;
        if (tag != WAVE_FORMAT_PCM && tag != WAVE_FORMAT_IEEE_FLOAT)
            return {};
        WAVEFORMATEX wfx{};
        uint16_t bits = tag == WAVE_FORMAT_IEEE_FLOAT ? 32 : layout->kind == SampleKind::Float32 ? 16
                                                                                                  : src.wBitsPerSample;
        if (flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE)
            bits = want.wBitsPerSample;
        const uint16_t channels = (flags & ACM_FORMATSUGGESTF_NCHANNELS) ? want.nChannels : src.nChannels;
        const uint32_t rate = (flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) ? want.nSamplesPerSec : src.nSamplesPerSec;
        if (bits % 8 != 0 || bits == 0 || channels == 0 || channels > kMaxChannels)
            return {};
        makePcm(wfx, channels, rate, bits);
        wfx.wFormatTag = tag;
        if (!pcmLayout(wfx))
            return {};
        return recordOf(wfx);
    }

    std::unique_ptr<CodecStream> open(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const override
    {
        auto stream = std::make_unique<PcmStream>(*pcmLayout(src), *pcmLayout(dst));
        if (!stream->ok())
            return nullptr;
        return stream;
    }
};

} // namespace

const Driver& pcmDriver()
{
    static const PcmDriver driver;
    return driver;
}

} // namespace acm
