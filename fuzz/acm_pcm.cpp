// Fuzz target: the PCM converter between fuzzed layouts, channel counts and rates.
#include "acm_fuzz.h"

namespace {

WAVEFORMATEX layout(uint8_t kind, uint8_t channels, uint8_t rate)
{
    static const uint16_t bits[] = {8, 16, 24, 32, 32};
    const uint16_t b = bits[kind % 5];
    const uint16_t ch = uint16_t(1 + channels % 8);
    const uint16_t align = uint16_t(ch * b / 8);
    const uint32_t r = acmfuzz::rate(rate);
    return {uint16_t(kind % 5 == 4 ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM), ch, r, r * align, align, b, 0};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    acmfuzz::Bytes in(data, size);
    const uint8_t k1 = in.next(), c1 = in.next(), r1 = in.next(), k2 = in.next(), c2 = in.next(), r2 = in.next();
    WAVEFORMATEX src = layout(k1, c1, r1), dst = layout(k2, c2, r2);
    if (k1 & 0x80)
        src.nBlockAlign = uint16_t(src.nBlockAlign + 1); // bits that do not fit the block
    const uint8_t seed = in.next();
    acmfuzz::convertInPieces(&src, &dst, in.rest(), std::min<size_t>(in.restSize(), 1 << 16), seed);
    return 0;
}
