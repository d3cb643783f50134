#pragma once

// flite, the engine of the tutor's voice, opened the first time a word is said rather
// than linked: its voice tables are relocated when loaded, which would cost every start
// of the tutor several milliseconds for a voice most starts never use.

#include <flite/flite.h>

namespace platform::speech {

struct FliteLibrary {
    decltype(&::flite_init) init;
    cst_voice* (*registerVoice)(const char* voxdir); // the cmu_us_slt voice
    decltype(&::flite_feat_set_float) setFloatFeature;
    decltype(&::flite_text_to_wave) textToWave;
    decltype(&::delete_wave) deleteWave;
};

// The loaded library, or nullptr with `why` set when it cannot be opened (libflite1 is
// not installed). Loaded once, kept for the life of the program. UI thread only.
const FliteLibrary* OpenFlite(const char** why);

} // namespace platform::speech
