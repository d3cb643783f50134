// Fuzz target: MPEG layer 3 frames through libmpg123's feed interface.
#include "acm_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    acmfuzz::Bytes in(data, size);
    const uint8_t b0 = in.next(), b1 = in.next();
    MPEGLAYER3WAVEFORMAT f{};
    f.wfx = {WAVE_FORMAT_MPEGLAYER3, uint16_t(1 + b0 % 2), acmfuzz::rate(b1), 16000, uint16_t((b0 & 0x80) ? 1 + b1 : 1),
             0, 12};
    f.wID = 1;
    f.nBlockSize = 417;
    f.nFramesPerBlock = 1;
    auto format = acmfuzz::recordBytes(f);
    acmfuzz::decode(format, in);
    return 0;
}
