// GSM 6.10 full rate in the Microsoft framing (two 160-sample frames in 65 bytes),
// through libgsm: decodes to and encodes from mono 16-bit PCM of the same rate.

#include "platform/acm/AcmDriver.h"

#include <gsm.h>

#include <cstring>

namespace acm {

namespace {

constexpr uint16_t kBlockBytes = 65;
constexpr uint16_t kBlockSamples = 320;

bool isGsm(const WAVEFORMATEX& wfx)
{
    if (wfx.wFormatTag != WAVE_FORMAT_GSM610 || !hasSaneHeader(wfx) || wfx.nChannels != 1 ||
        wfx.nBlockAlign != kBlockBytes)
        return false;
    const auto* ext = extended<GSM610WAVEFORMAT>(wfx);
    return !ext || ext->wSamplesPerBlock == kBlockSamples;
}

// One libgsm state in the 65-byte framing.
class GsmHandle {
public:
    GsmHandle() : g_(gsm_create())
    {
        int one = 1;
        if (g_)
            gsm_option(g_, GSM_OPT_WAV49, &one);
    }
    ~GsmHandle()
    {
        if (g_)
            gsm_destroy(g_);
    }
    GsmHandle(const GsmHandle&) = delete;
    GsmHandle& operator=(const GsmHandle&) = delete;
    gsm get() const { return g_; }
    void reset()
    {
        GsmHandle fresh;
        std::swap(g_, fresh.g_);
    }

private:
    gsm g_;
};

class GsmDecode : public BlockStream {
public:
    GsmDecode() : BlockStream(kBlockBytes, 2 * kBlockSamples) {}
    bool ok() const { return handle_.get() != nullptr; }
    void reset() override { handle_.reset(); }

protected:
    bool process(const uint8_t* in, uint8_t* out, uint32_t blocks) override
    {
        gsm_signal pcm[kBlockSamples];
        gsm_byte frame[kBlockBytes];
        for (uint32_t b = 0; b < blocks; ++b, in += kBlockBytes, out += 2 * kBlockSamples) {
            std::memcpy(frame, in, kBlockBytes);
            if (gsm_decode(handle_.get(), frame, pcm) < 0 || gsm_decode(handle_.get(), frame + 33, pcm + 160) < 0)
                return false;
            std::memcpy(out, pcm, sizeof pcm);
        }
        return true;
    }

private:
    GsmHandle handle_;
};

class GsmEncode : public BlockStream {
public:
    GsmEncode() : BlockStream(2 * kBlockSamples, kBlockBytes) {}
    bool ok() const { return handle_.get() != nullptr; }
    void reset() override { handle_.reset(); }

protected:
    bool process(const uint8_t* in, uint8_t* out, uint32_t blocks) override
    {
        gsm_signal pcm[kBlockSamples];
        for (uint32_t b = 0; b < blocks; ++b, in += 2 * kBlockSamples, out += kBlockBytes) {
            std::memcpy(pcm, in, sizeof pcm);
            gsm_encode(handle_.get(), pcm, out);
            gsm_encode(handle_.get(), pcm + 160, out + 32);
        }
        return true;
    }

private:
    GsmHandle handle_;
};

std::vector<uint8_t> gsmRecord(uint32_t rate)
{
    GSM610WAVEFORMAT f{};
    f.wfx = {WAVE_FORMAT_GSM610, 1, rate, uint32_t(uint64_t(rate) * kBlockBytes / kBlockSamples), kBlockBytes,
             0, 2};
    f.wSamplesPerBlock = kBlockSamples;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&f);
    return {bytes, bytes + sizeof f};
}

class GsmDriver : public Driver {
public:
    const DriverInfo& info() const override
    {
        static const DriverInfo info{"Lexorin GSM 6.10",
                                     "Lexorin GSM 6.10 Audio CODEC",
                                     "Copyright (C) Lexorin developers; libgsm (C) 1992 Jutta Degener and "
                                     "Carsten Bormann",
                                     "Free to use with the Lexorin spelling tutor.",
                                     "Decodes and encodes GSM 6.10 full rate (65-byte blocks of 320 samples).",
                                     ACMDRIVERDETAILS_SUPPORTF_CODEC,
                                     5,
                                     2};
        return info;
    }

    uint32_t maxFormatSize() const override { return sizeof(GSM610WAVEFORMAT); }

    std::vector<OfferedFormat> formats() const override
    {
        std::vector<OfferedFormat> list;
        for (uint32_t rate : {8000u, 11025u, 22050u, 44100u}) {
            auto record = gsmRecord(rate);
            WAVEFORMATEX wfx;
            std::memcpy(&wfx, record.data(), 18);
            list.push_back({std::move(record), describe(wfx, false)});
        }
        return list;
    }

    bool canConvert(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) const override
    {
        return (isGsm(src) && isNaturalPcmOf(dst, src)) || (isGsm(dst) && isNaturalPcmOf(src, dst));
    }

    std::vector<uint8_t> suggest(const WAVEFORMATEX& src, const WAVEFORMATEX& want,
                                 uint32_t flags) const override
    {
        if (isGsm(src))
            return naturalPcm(src);
        if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && want.wFormatTag == WAVE_FORMAT_GSM610 &&
            isNaturalPcmOf(src, src) && src.nChannels == 1)
            return gsmRecord(src.nSamplesPerSec);
        return {};
    }

    std::unique_ptr<CodecStream> open(const WAVEFORMATEX& src, const WAVEFORMATEX&) const override
    {
        if (isGsm(src)) {
            auto s = std::make_unique<GsmDecode>();
            return s->ok() ? std::move(s) : nullptr;
        }
        auto s = std::make_unique<GsmEncode>();
        return s->ok() ? std::move(s) : nullptr;
    }
};

} // namespace

const Driver& gsmDriver()
{
    static const GsmDriver driver;
    return driver;
}

} // namespace acm
