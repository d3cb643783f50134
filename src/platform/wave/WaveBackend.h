#pragma once

// Choice of the sound backend behind waveOut*/waveIn*.
// The environment variable LEXORIN_AUDIO=virtual|pulse picks it (default pulse: the
// desktop's sound server); tests may switch it at any time, and each open uses the backend
// chosen at that moment.

#include "platform/wave/WaveDevice.h"

#include <memory>

namespace platform::wave {

enum class BackendKind { Pulse, Virtual };

void UseVirtualBackend();
void UsePulseBackend();
BackendKind CurrentBackend();

// What a backend offers the device service.
class Backend {
public:
    virtual ~Backend() = default;
    virtual uint32_t outputCount() = 0;
    virtual uint32_t inputCount() = 0;
    // Whether the direction's device answers at all (WAVE_FORMAT_QUERY), opening nothing:
    // MMSYSERR_NOERROR, or the code an open would fail with for want of a device.
    virtual MMRESULT queryOutput() = 0;
    virtual MMRESULT queryInput() = 0;
    // format is already known to be linear PCM or float the service can describe.
    virtual MMRESULT openOutput(const WAVEFORMATEX& format, std::shared_ptr<NotifyChannel> channel,
                                std::shared_ptr<OutputDevice>& device) = 0;
    virtual MMRESULT openInput(const WAVEFORMATEX& format, std::shared_ptr<NotifyChannel> channel,
                               std::shared_ptr<InputDevice>& device) = 0;
};

Backend& VirtualBackend();
Backend& PulseBackend();

// Linear PCM (8, 16, 24, 32 bit) or 32-bit float with a consistent block size.
bool IsPlayableFormat(const WAVEFORMATEX& f);

} // namespace platform::wave
