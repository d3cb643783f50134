#pragma once

// Format-specific wave format records (the extra bytes after WAVEFORMATEX) of the
// formats the codec service understands. Packed little-endian, as stored in WAVE files.

#include "platform/MMSystem.h"

#include <cstdint>

#pragma pack(push, 1)

struct GUID_ {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

// WAVE_FORMAT_EXTENSIBLE: cbSize 22.
struct WAVEFORMATEXTENSIBLE {
    WAVEFORMATEX Format;
    uint16_t wValidBitsPerSample; // (union with wSamplesPerBlock)
    uint32_t dwChannelMask;
    GUID_ SubFormat;
};

// IMA ADPCM: cbSize 2.
struct IMAADPCMWAVEFORMAT {
    WAVEFORMATEX wfx;
    uint16_t wSamplesPerBlock;
};

struct ADPCMCOEFSET {
    int16_t iCoef1;
    int16_t iCoef2;
};

// Microsoft ADPCM: cbSize 4 + 4 * wNumCoef (32 with the seven standard sets).
struct ADPCMWAVEFORMAT {
    WAVEFORMATEX wfx;
    uint16_t wSamplesPerBlock;
    uint16_t wNumCoef;
    ADPCMCOEFSET aCoef[7]; // wNumCoef entries; 7 is the standard count
};

// GSM 6.10 (Microsoft framing: two frames in 65 bytes, 320 samples): cbSize 2.
struct GSM610WAVEFORMAT {
    WAVEFORMATEX wfx;
    uint16_t wSamplesPerBlock;
};

// MPEG layer 3: cbSize 12.
struct MPEGLAYER3WAVEFORMAT {
    WAVEFORMATEX wfx;
    uint16_t wID;
    uint32_t fdwFlags;
    uint16_t nBlockSize;
    uint16_t nFramesPerBlock;
    uint16_t nCodecDelay;
};

#pragma pack(pop)

static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);
static_assert(sizeof(IMAADPCMWAVEFORMAT) == 20);
static_assert(sizeof(ADPCMWAVEFORMAT) == 50);
static_assert(sizeof(GSM610WAVEFORMAT) == 20);
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30);

constexpr uint16_t MPEGLAYER3_WFX_EXTRA_BYTES = 12;
constexpr uint16_t MPEGLAYER3_ID_MPEG = 1;
constexpr uint32_t MPEGLAYER3_FLAG_PADDING_ISO = 0;

// Sub-formats of WAVE_FORMAT_EXTENSIBLE: {0000xxxx-0000-0010-8000-00AA00389B71}.
constexpr GUID_ KSDATAFORMAT_SUBTYPE_PCM{0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID_ KSDATAFORMAT_SUBTYPE_IEEE_FLOAT{
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
