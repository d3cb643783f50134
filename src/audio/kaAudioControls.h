#pragma once

// kaAudioControls: the control source and the oscilloscope.

#include "audio/kaAudioControlSource.h"
#include "audio/kaErrors.h"
#include "audio/kaOscilloscope.h"
#include "audio/kaOscilloscopeGeometry.h"
