#pragma once

// The tutor's own voice, the one its prompt and letter clips are spoken in (flite's
// cmu_us_slt voice), making a lesson word's clip at run time:
//
//   SpeakWordClip("KITE")   "kite", a short pause, "kite" again, as 16-bit stereo at 44100 Hz
//
// shaped as the bundled clips are: slowed for a young listener, rumble off, trimmed, faded
// and peak-normalised to -1 dBFS.

#include "rtl/Exception.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace platform::speech {

// The voice could not say a word.
class ESpeechError : public rtl::Exception {
public:
    using Exception::Exception;
};

// The format of the clips made (that of a recording): 2 channels, 44100 Hz, 16 bits.
inline constexpr uint16_t kClipChannels = 2;
inline constexpr uint32_t kClipRate = 44100;

// Interleaved stereo frames of the word's clip; ESpeechError when the voice makes no sound
// for it (a word of signs only, say). UI thread only: the voice is shared.
std::vector<int16_t> SpeakWordClip(std::string_view word);

} // namespace platform::speech
