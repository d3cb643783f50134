#pragma once

// The virtual microphone's source: a PCM or float WAVE file read whole, and a plain
// converter to the format a device was opened in (channel mixing, linear resampling).

#include "platform/MMSystem.h"

#include <filesystem>
#include <vector>

namespace platform::wave {

// False for anything but a readable RIFF WAVE file holding linear PCM or float audio.
bool ReadPcmWave(const std::filesystem::path& file, WAVEFORMATEX& format, std::vector<char>& data);
bool ParsePcmWave(const char* bytes, size_t size, WAVEFORMATEX& format, std::vector<char>& data);

std::vector<char> ConvertPcm(const WAVEFORMATEX& from, const std::vector<char>& data, const WAVEFORMATEX& to);

} // namespace platform::wave
