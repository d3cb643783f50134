// Fuzz target: GSM 6.10 blocks (65 bytes, two frames) through libgsm.
#include "acm_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    acmfuzz::Bytes in(data, size);
    const uint8_t b0 = in.next();
    GSM610WAVEFORMAT f{};
    f.wfx = {WAVE_FORMAT_GSM610, 1, acmfuzz::rate(b0), 1625, 65, 0, 2};
    f.wSamplesPerBlock = (b0 & 0x80) ? uint16_t(b0) : 320;
    auto format = acmfuzz::recordBytes(f);
    acmfuzz::decode(format, in);
    return 0;
}
