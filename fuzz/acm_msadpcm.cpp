// Fuzz target: Microsoft ADPCM blocks, with standard or fuzzed coefficient tables.
#include "acm_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    acmfuzz::Bytes in(data, size);
    const uint8_t b0 = in.next(), b1 = in.next(), b2 = in.next(), b3 = in.next();
    const uint16_t channels = uint16_t(1 + b0 % 2);
    const uint16_t align = uint16_t(7 * channels + 1 + b2 * 4);
    std::vector<uint8_t> format(18 + 4, 0);
    const uint16_t numCoef = (b3 & 0x80) ? uint16_t(1 + b3 % 16) : 7;
    static const int16_t standard[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    WAVEFORMATEX wfx{WAVE_FORMAT_ADPCM, channels, acmfuzz::rate(b1), 4000, align, 4, uint16_t(4 + 4 * numCoef)};
    if (b0 & 0x40)
        wfx.cbSize = uint16_t(b3); // may claim fewer bytes than the coefficients need
    std::memcpy(format.data(), &wfx, 18);
    const uint16_t perBlock = uint16_t((align - 7 * channels) * 2 / channels + 2 - ((b0 & 0x20) ? b2 : 0));
    format[18] = uint8_t(perBlock);
    format[19] = uint8_t(perBlock >> 8);
    format[20] = uint8_t(numCoef);
    format[21] = uint8_t(numCoef >> 8);
    for (uint16_t i = 0; i < numCoef; ++i)
        for (int k = 0; k < 2; ++k) {
            const int16_t c = (b3 & 0x80) ? int16_t(in.next16()) : standard[i][k];
            format.push_back(uint8_t(c));
            format.push_back(uint8_t(uint16_t(c) >> 8));
        }
    acmfuzz::decode(format, in);
    return 0;
}
