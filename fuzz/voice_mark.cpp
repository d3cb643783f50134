// The voice-mark reader on arbitrary bytes, as it reads the start of every clip a lesson
// folder holds: it answers without reading past the bytes it is given, and only the first
// 4 KiB decide the answer.

#include "platform/speech/VoiceClipFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool marked = platform::speech::HasTutorVoiceMark(bytes);
    if (marked != platform::speech::HasTutorVoiceMark(bytes.substr(0, platform::speech::kMarkSearchBytes)))
        std::abort();
    return 0;
}
