#pragma once

// The Audio Compression Manager declarations the engine calls (acm* functions,
// ACMSTREAMHEADER and the driver records, flags and result codes).

#include "platform/MMSystem.h"
#include "platform/acm/MSAcmApi.h"
