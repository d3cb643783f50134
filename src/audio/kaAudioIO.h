#pragma once

// kaAudioIO: the wave output and input device components.

#include "audio/kaAudioIOBase.h"
#include "audio/kaAudioIn.h"
#include "audio/kaAudioOut.h"
#include "audio/kaErrors.h"
