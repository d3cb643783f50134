#include "audio/kaCheckMMResult.h"

#include "audio/kaAudioConsts.h"

namespace {

const char* TemplateFor(MMRESULT result)
{
    switch (result) {
    case MMSYSERR_BADDEVICEID:
        return SMMBadDeviceId;
    case MMSYSERR_NOTENABLED:
        return SMMNotEnabled;
    case MMSYSERR_ALLOCATED:
        return SMMAllocated;
    case MMSYSERR_INVALHANDLE:
        return SMMInvalidHandle;
    case MMSYSERR_NODRIVER:
        return SMMNoDriver;
    case MMSYSERR_NOMEM:
        return SMMNoMem;
    case MMSYSERR_NOTSUPPORTED:
        return SMMNotSupported;
    case MMSYSERR_INVALFLAG:
        return SMMInvalidFlag;
    case MMSYSERR_INVALPARAM:
        return SMMInvalidParam;
    case MMSYSERR_HANDLEBUSY:
        return SMMHandleBusy;
    case WAVERR_BADFORMAT:
        return SMMBadFormat;
    case WAVERR_STILLPLAYING:
        return SMMStillPlaying;
    case WAVERR_UNPREPARED:
        return SMMUnprepared;
    case WAVERR_SYNC:
        return SMMSync;
    case ACMERR_NOTPOSSIBLE:
        return SMMNotPossible;
    case ACMERR_BUSY:
        return SMMBusy;
    case ACMERR_UNPREPARED:
        return SMMStreamUnprepared;
    default:
        return SMMUnexpected;
    }
}

// Replaces the first occurrence of `marker` in `text`.
void ReplaceFirst(std::string& text, const std::string& marker, const std::string& value)
{
    const auto at = text.find(marker);
    if (at != std::string::npos)
        text.replace(at, marker.size(), value);
}

} // namespace

std::string MMResultMessage(MMRESULT result, const std::string& context)
{
    std::string message = TemplateFor(result);
    // The code goes in first, so a context that happens to contain "%d" stays as it is.
    ReplaceFirst(message, "%d", std::to_string(static_cast<int32_t>(result)));
    ReplaceFirst(message, "%s", context.empty() ? std::string() : context + "\r\n");
    return message;
}
