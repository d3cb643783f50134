#pragma once

// Turns a failed multimedia or codec call into an exception with a fixed message.

#include "audio/kaErrors.h"
#include "platform/MMSystem.h"

#include <string>
#include <type_traits>

// The message CheckMMResult raises for a non-zero result: the context (when given)
// and CR LF, then the code's text.
std::string MMResultMessage(MMRESULT result, const std::string& context);

// Returns for 0; otherwise raises ErrorClass with MMResultMessage(result, context).
// Example: CheckMMResult<EACMAudioOutError>(waveOutOpen(...), SOpenOutputError);
template <class ErrorClass = EACMError>
void CheckMMResult(MMRESULT result, const std::string& context = std::string())
{
    static_assert(std::is_base_of_v<EACMError, ErrorClass>, "CheckMMResult raises EACMError classes");
    if (result != MMSYSERR_NOERROR)
        throw ErrorClass(MMResultMessage(result, context));
}
