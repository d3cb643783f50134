#pragma once

// The Audio Compression Manager calls (msacm32 names, shapes and flag values), served by
// the codec drivers of this folder: format suggestion, conversion streams, and the
// driver registry with driver details, metrics and format enumeration.
//
// Records carry a cbStruct size. The service accepts both sizeof(record) and the record
// sizes of the 32-bit Windows layout (ACMSTREAMHEADER 84, ACMDRIVERDETAILSA 920,
// ACMFORMATDETAILSA 152), which the engine's stored code uses; it always reads and
// writes the record through this declaration.

#include "platform/MMSystem.h"
#include "platform/acm/MMReg.h"

#include <cstddef>
#include <cstdint>

// Opaque handles.
struct HACMDRIVERID__;
struct HACMDRIVER__;
struct HACMSTREAM__;
struct HACMOBJ__;
using HACMDRIVERID = HACMDRIVERID__*;
using HACMDRIVER = HACMDRIVER__*;
using HACMSTREAM = HACMSTREAM__*;
using HACMOBJ = HACMOBJ__*; // any of the three above
using LPHACMDRIVER = HACMDRIVER*;
using LPHACMSTREAM = HACMSTREAM*;

struct WAVEFILTER; // filters are not offered; always pass nullptr

// ---- Conversion stream header ----
constexpr uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
constexpr uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;
constexpr uint32_t ACMSTREAMHEADER_STATUSF_INQUEUE = 0x00100000;

struct ACMSTREAMHEADER {
    uint32_t cbStruct;
    uint32_t fdwStatus;
    uintptr_t dwUser;
    uint8_t* pbSrc;
    uint32_t cbSrcLength;
    uint32_t cbSrcLengthUsed;
    uintptr_t dwSrcUser;
    uint8_t* pbDst;
    uint32_t cbDstLength;
    uint32_t cbDstLengthUsed;
    uintptr_t dwDstUser;
    uint32_t dwReservedDriver[10];
};
using LPACMSTREAMHEADER = ACMSTREAMHEADER*;
constexpr uint32_t ACMSTREAMHEADER_SIZE_WIN32 = 84;

// ---- Driver details ----
constexpr int ACMDRIVERDETAILS_SHORTNAME_CHARS = 32;
constexpr int ACMDRIVERDETAILS_LONGNAME_CHARS = 128;
constexpr int ACMDRIVERDETAILS_COPYRIGHT_CHARS = 80;
constexpr int ACMDRIVERDETAILS_LICENSING_CHARS = 128;
constexpr int ACMDRIVERDETAILS_FEATURES_CHARS = 512;

constexpr uint32_t ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC = 0x63647561; // 'audc'
constexpr uint32_t ACMDRIVERDETAILS_FCCCOMP_UNDEFINED = 0;

constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_CODEC = 0x00000001;
constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_CONVERTER = 0x00000002;
constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_FILTER = 0x00000004;
constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_HARDWARE = 0x00000008;
constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_ASYNC = 0x00000010;
constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_LOCAL = 0x40000000;
constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_DISABLED = 0x80000000;

struct ACMDRIVERDETAILSA {
    uint32_t cbStruct;
    uint32_t fccType;
    uint32_t fccComp;
    uint16_t wMid;
    uint16_t wPid;
    uint32_t vdwACM;
    uint32_t vdwDriver;
    uint32_t fdwSupport;
    uint32_t cFormatTags;
    uint32_t cFilterTags;
    void* hicon;
    char szShortName[ACMDRIVERDETAILS_SHORTNAME_CHARS];
    char szLongName[ACMDRIVERDETAILS_LONGNAME_CHARS];
    char szCopyright[ACMDRIVERDETAILS_COPYRIGHT_CHARS];
    char szLicensing[ACMDRIVERDETAILS_LICENSING_CHARS];
    char szFeatures[ACMDRIVERDETAILS_FEATURES_CHARS];
};
using LPACMDRIVERDETAILSA = ACMDRIVERDETAILSA*;
constexpr uint32_t ACMDRIVERDETAILSA_SIZE_WIN32 = 920;

// ---- Format details ----
constexpr int ACMFORMATDETAILS_FORMAT_CHARS = 128;
constexpr int ACMFORMATTAGDETAILS_FORMATTAG_CHARS = 48;

struct ACMFORMATDETAILSA {
    uint32_t cbStruct;
    uint32_t dwFormatIndex;
    uint32_t dwFormatTag;
    uint32_t fdwSupport;
    WAVEFORMATEX* pwfx;
    uint32_t cbwfx;
    char szFormat[ACMFORMATDETAILS_FORMAT_CHARS];
};
using LPACMFORMATDETAILSA = ACMFORMATDETAILSA*;
constexpr uint32_t ACMFORMATDETAILSA_SIZE_WIN32 = 152;

struct ACMFORMATTAGDETAILSA {
    uint32_t cbStruct;
    uint32_t dwFormatTagIndex;
    uint32_t dwFormatTag;
    uint32_t cbFormatSize;
    uint32_t fdwSupport;
    uint32_t cStandardFormats;
    char szFormatTag[ACMFORMATTAGDETAILS_FORMATTAG_CHARS];
};

// ---- Callbacks: return non-zero to go on, zero to stop ----
using ACMDRIVERENUMCB = int (*)(HACMDRIVERID hadid, uintptr_t dwInstance, uint32_t fdwSupport);
using ACMFORMATENUMCBA = int (*)(HACMDRIVERID hadid, LPACMFORMATDETAILSA pafd, uintptr_t dwInstance,
                                 uint32_t fdwSupport);

// ---- Flags ----
constexpr uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
constexpr uint32_t ACM_FORMATSUGGESTF_NCHANNELS = 0x00020000;
constexpr uint32_t ACM_FORMATSUGGESTF_NSAMPLESPERSEC = 0x00040000;
constexpr uint32_t ACM_FORMATSUGGESTF_WBITSPERSAMPLE = 0x00080000;
constexpr uint32_t ACM_FORMATSUGGESTF_TYPEMASK = 0x00FF0000;

constexpr uint32_t ACM_STREAMOPENF_QUERY = 0x00000001;
constexpr uint32_t ACM_STREAMOPENF_ASYNC = 0x00000002;
constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 0x00000004;

constexpr uint32_t ACM_STREAMSIZEF_SOURCE = 0x00000000;
constexpr uint32_t ACM_STREAMSIZEF_DESTINATION = 0x00000001;
constexpr uint32_t ACM_STREAMSIZEF_QUERYMASK = 0x0000000F;

constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
constexpr uint32_t ACM_STREAMCONVERTF_START = 0x00000010;
constexpr uint32_t ACM_STREAMCONVERTF_END = 0x00000020;

constexpr uint32_t ACM_DRIVERENUMF_NOLOCAL = 0x40000000;
constexpr uint32_t ACM_DRIVERENUMF_DISABLED = 0x80000000;

constexpr uint32_t ACM_FORMATENUMF_WFORMATTAG = 0x00010000;
constexpr uint32_t ACM_FORMATENUMF_NCHANNELS = 0x00020000;
constexpr uint32_t ACM_FORMATENUMF_NSAMPLESPERSEC = 0x00040000;
constexpr uint32_t ACM_FORMATENUMF_WBITSPERSAMPLE = 0x00080000;
constexpr uint32_t ACM_FORMATENUMF_CONVERT = 0x00100000;
constexpr uint32_t ACM_FORMATENUMF_SUGGEST = 0x00200000;
constexpr uint32_t ACM_FORMATENUMF_HARDWARE = 0x00400000;
constexpr uint32_t ACM_FORMATENUMF_INPUT = 0x00800000;
constexpr uint32_t ACM_FORMATENUMF_OUTPUT = 0x01000000;

constexpr uint32_t ACM_METRIC_COUNT_DRIVERS = 1;
constexpr uint32_t ACM_METRIC_COUNT_CODECS = 2;
constexpr uint32_t ACM_METRIC_COUNT_CONVERTERS = 3;
constexpr uint32_t ACM_METRIC_COUNT_FILTERS = 4;
constexpr uint32_t ACM_METRIC_COUNT_DISABLED = 5;
constexpr uint32_t ACM_METRIC_COUNT_HARDWARE = 6;
constexpr uint32_t ACM_METRIC_MAX_SIZE_FORMAT = 50;
constexpr uint32_t ACM_METRIC_MAX_SIZE_FILTER = 51;
constexpr uint32_t ACM_METRIC_DRIVER_SUPPORT = 100;
constexpr uint32_t ACM_METRIC_DRIVER_PRIORITY = 101;

// ---- Format suggestion ----
// Fills pwfxDst (cbwfxDst bytes) with a format pwfxSrc converts to directly. With
// ACM_FORMATSUGGESTF_WFORMATTAG the destination's wFormatTag is kept (PCM: the source's
// natural PCM, i.e. same rate and channels; 16 bits for compressed sources).
MMRESULT acmFormatSuggest(HACMDRIVER had, WAVEFORMATEX* pwfxSrc, WAVEFORMATEX* pwfxDst, uint32_t cbwfxDst,
                          uint32_t fdwSuggest);

// ---- Conversion streams ----
MMRESULT acmStreamOpen(LPHACMSTREAM phas, HACMDRIVER had, WAVEFORMATEX* pwfxSrc, WAVEFORMATEX* pwfxDst,
                       WAVEFILTER* pwfltr, uintptr_t dwCallback, uintptr_t dwInstance, uint32_t fdwOpen);
MMRESULT acmStreamClose(HACMSTREAM has, uint32_t fdwClose);
MMRESULT acmStreamSize(HACMSTREAM has, uint32_t cbInput, uint32_t* pdwOutputBytes, uint32_t fdwSize);
MMRESULT acmStreamReset(HACMSTREAM has, uint32_t fdwReset);
MMRESULT acmStreamPrepareHeader(HACMSTREAM has, LPACMSTREAMHEADER pash, uint32_t fdwPrepare);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, LPACMSTREAMHEADER pash, uint32_t fdwUnprepare);
MMRESULT acmStreamConvert(HACMSTREAM has, LPACMSTREAMHEADER pash, uint32_t fdwConvert);

// ---- Driver registry ----
MMRESULT acmDriverEnum(ACMDRIVERENUMCB fnCallback, uintptr_t dwInstance, uint32_t fdwEnum);
MMRESULT acmDriverDetailsA(HACMDRIVERID hadid, LPACMDRIVERDETAILSA padd, uint32_t fdwDetails);
MMRESULT acmDriverOpen(LPHACMDRIVER phad, HACMDRIVERID hadid, uint32_t fdwOpen);
MMRESULT acmDriverClose(HACMDRIVER had, uint32_t fdwClose);
MMRESULT acmDriverID(HACMOBJ hao, HACMDRIVERID* phadid, uint32_t fdwDriverID);
MMRESULT acmFormatEnumA(HACMDRIVER had, LPACMFORMATDETAILSA pafd, ACMFORMATENUMCBA fnCallback,
                        uintptr_t dwInstance, uint32_t fdwEnum);
// hao: a driver identifier, an open driver handle, or null for the counting metrics.
// The metrics written are 32-bit values.
MMRESULT acmMetrics(HACMOBJ hao, uint32_t uMetric, void* pMetric);
inline MMRESULT acmMetrics(HACMDRIVERID hadid, uint32_t uMetric, void* pMetric)
{
    return acmMetrics(reinterpret_cast<HACMOBJ>(hadid), uMetric, pMetric);
}
inline MMRESULT acmMetrics(HACMDRIVER had, uint32_t uMetric, void* pMetric)
{
    return acmMetrics(reinterpret_cast<HACMOBJ>(had), uMetric, pMetric);
}
