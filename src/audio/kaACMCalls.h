#pragma once

// The codec-service calls the engine makes, reached through one table. In the program
// the table holds the service's own functions and is never changed; a test may swap an
// entry (and must restore it) to make a call fail the way a faulty driver would, which
// the real drivers cannot be made to do on demand.

#include "audio/MSAcm.h"

struct TkaACMCalls {
    decltype(&acmFormatSuggest) FormatSuggest = &acmFormatSuggest;
    decltype(&acmStreamOpen) StreamOpen = &acmStreamOpen;
    decltype(&acmStreamClose) StreamClose = &acmStreamClose;
    decltype(&acmStreamSize) StreamSize = &acmStreamSize;
    decltype(&acmStreamReset) StreamReset = &acmStreamReset;
    decltype(&acmStreamPrepareHeader) StreamPrepareHeader = &acmStreamPrepareHeader;
    decltype(&acmStreamUnprepareHeader) StreamUnprepareHeader = &acmStreamUnprepareHeader;
    decltype(&acmStreamConvert) StreamConvert = &acmStreamConvert;
    decltype(&acmDriverEnum) DriverEnum = &acmDriverEnum;
    decltype(&acmDriverDetailsA) DriverDetails = &acmDriverDetailsA;
    decltype(&acmDriverOpen) DriverOpen = &acmDriverOpen;
    decltype(&acmDriverClose) DriverClose = &acmDriverClose;
    decltype(&acmFormatEnumA) FormatEnum = &acmFormatEnumA;
    MMRESULT (*Metrics)
    (HACMOBJ, uint32_t, void*) = static_cast<MMRESULT (*)(HACMOBJ, uint32_t, void*)>(&acmMetrics);
};

// The table in use.
TkaACMCalls& ACMCalls();
