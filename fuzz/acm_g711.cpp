// Fuzz target: G.711 A-law and mu-law bytes.
#include "acm_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    acmfuzz::Bytes in(data, size);
    const uint8_t b0 = in.next(), b1 = in.next();
    const uint16_t channels = uint16_t(1 + b0 % 4);
    WAVEFORMATEX wfx{uint16_t((b0 & 0x80) ? WAVE_FORMAT_ALAW : WAVE_FORMAT_MULAW), channels, acmfuzz::rate(b1),
                     8000u * channels, uint16_t((b0 & 0x40) ? b1 % 5 : channels), 8, 0};
    auto format = acmfuzz::recordBytes(wfx);
    acmfuzz::decode(format, in);
    return 0;
}
