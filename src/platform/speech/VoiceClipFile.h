#pragma once

// Clip files in the tutor's voice and the mark they carry, so the editor can tell them from a
// person's recording. A marked clip is a PCM WAVE file laid out as
//
//   RIFF <size> WAVE
//     fmt  <16>  PCM, 2 channels, 44100 Hz, 16 bits
//     LIST <n>   INFO
//                  ISFT <even size>  kTutorVoiceMark, NUL-padded
//     data <n>   the frames
//
// The RIFF size covers all of it. A recording made in the editor carries no such chunk, so
// recording a word over takes the mark away.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform::speech {

// The text of the mark: the software that made the clip.
inline constexpr std::string_view kTutorVoiceMark = "Lexorin tutor voice (flite cmu_us_slt)";

// Only the first bytes of a file are read to find the mark.
inline constexpr size_t kMarkSearchBytes = 4096;

// The whole file of a marked clip holding the interleaved stereo frames.
std::string MarkedClipBytes(const std::vector<int16_t>& frames);

// Writes the marked clip to a temporary file beside `path` and gives it the name only while
// nothing has it: a failure at any moment leaves no half-written clip, and a file of that
// name (a recording made meanwhile) is never replaced. platform::EFileExistsError when the
// name is taken, platform::EFileWriteError on other failures.
void WriteMarkedClip(const std::filesystem::path& path, const std::vector<int16_t>& frames);

// True when the bytes (the start of a file, at most kMarkSearchBytes of it are looked at) are
// a RIFF WAVE whose chunks before "data" include a LIST INFO chunk with the mark as its ISFT.
// Any bytes at all may be given: sizes that run past the end or wrap are simply no mark.
bool HasTutorVoiceMark(std::string_view head);

// Reads at most kMarkSearchBytes of the file; false when it cannot be read.
bool IsTutorVoiceClip(const std::filesystem::path& path);

} // namespace platform::speech
