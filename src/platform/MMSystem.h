#pragma once

// The multimedia types shared by the codec service (acm*) and the wave device
// service (waveOut*/waveIn*): the wave format record, result codes and format tags.
// Laid out as the wave formats are stored (little-endian, packed), so a format
// can be copied byte for byte in and out of stored properties and WAVE files.

#include <cstdint>

using MMRESULT = uint32_t;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize; // extra bytes that follow the record
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// Format tags.
constexpr uint16_t WAVE_FORMAT_PCM = 0x0001;
constexpr uint16_t WAVE_FORMAT_ADPCM = 0x0002; // Microsoft ADPCM
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 0x0003;
constexpr uint16_t WAVE_FORMAT_ALAW = 0x0006;
constexpr uint16_t WAVE_FORMAT_MULAW = 0x0007;
constexpr uint16_t WAVE_FORMAT_IMA_ADPCM = 0x0011;
constexpr uint16_t WAVE_FORMAT_GSM610 = 0x0031;
constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x0055;
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// Result codes.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_BADERRNUM = 9;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MMSYSERR_HANDLEBUSY = 12;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;
constexpr MMRESULT WAVERR_SYNC = 35;
constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
constexpr MMRESULT ACMERR_BUSY = 513;
constexpr MMRESULT ACMERR_UNPREPARED = 514;
constexpr MMRESULT ACMERR_CANCELED = 515;
