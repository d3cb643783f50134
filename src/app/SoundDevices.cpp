#include "app/SoundDevices.h"

#include "platform/Trace.h"
#include "platform/wave/WaveApi.h"

namespace app {

const char kNoSoundOutput[] =
    "No sound can be heard: the computer has no working speakers or headphones for the tutor.\n"
    "Check that they are plugged in and switched on, and that the sound is not turned off.\n"
    "The tutor carries on without sound and tries again when it next speaks.";
const char kNoSoundOutputForWord[] =
    "This word cannot be played: the computer has no working speakers or headphones for the tutor.\n"
    "Check that they are plugged in and switched on, then try again.";
const char kNoMicrophone[] = "Nothing can be recorded: the computer has no working microphone for the tutor.\n"
                             "Check that the microphone is plugged in and switched on, then try again.";

namespace {

WAVEFORMATEX CdFormat()
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 176400;
    return format;
}

bool Answered(MMRESULT result)
{
    return result != MMSYSERR_NODRIVER && result != MMSYSERR_BADDEVICEID;
}

} // namespace

bool SoundOutputAnswers()
{
    const WAVEFORMATEX format = CdFormat();
    platform::Trace("output probe");
    const bool answered = Answered(waveOutOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY));
    platform::Trace(answered ? "output probe answered" : "output probe unanswered");
    return answered;
}

bool MicrophoneAnswers()
{
    const WAVEFORMATEX format = CdFormat();
    return Answered(waveInOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY));
}

bool SoundOutputWatch::Probe()
{
    asked_ = Clock::now();
    missing_ = !probe_();
    return !missing_;
}

bool SoundOutputWatch::ReadyForClip()
{
    if (missing_ && Clock::now() - asked_ >= Interval)
        Probe();
    return !missing_;
}

} // namespace app
