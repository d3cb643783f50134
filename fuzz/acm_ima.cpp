// Fuzz target: IMA ADPCM blocks (format fields and block contents).
#include "acm_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    acmfuzz::Bytes in(data, size);
    const uint8_t b0 = in.next(), b1 = in.next(), b2 = in.next();
    IMAADPCMWAVEFORMAT f{};
    const uint16_t channels = uint16_t(1 + b0 % 3);
    f.wfx = {WAVE_FORMAT_IMA_ADPCM, channels, acmfuzz::rate(b1), 4000, uint16_t(4 * channels * (1 + b2 % 64)), 4, 2};
    f.wSamplesPerBlock = uint16_t((f.wfx.nBlockAlign - 4 * channels) * 2 / channels + 1);
    if (b0 & 0x80)
        f.wSamplesPerBlock = uint16_t(b2 * 3); // inconsistent: must be refused or handled
    auto format = acmfuzz::recordBytes(f);
    acmfuzz::decode(format, in);
    return 0;
}
