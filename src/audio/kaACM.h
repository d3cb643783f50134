#pragma once

// The audio engine's core: message texts, error classes, result codes, wave formats,
// subjects and observers, format conversion and the codec registry.

#include "audio/kaAudioConsts.h"
#include "audio/kaCheckMMResult.h"
#include "audio/kaErrors.h"
#include "audio/kaWaveFormat.h"
#include "audio/kaAudioSubject.h"
#include "audio/kaMiniConvertor.h"
#include "audio/kaAudioConvertor.h"
#include "audio/kaCodec.h"
