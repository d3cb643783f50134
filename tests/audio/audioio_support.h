#pragma once

// Shared by the device component tests: the virtual sound device, an event pump, and
// components that let a test see their headers.

#include "audio/kaAudioIO.h"
#include "platform/wave/VirtualAudio.h"
#include "platform/wave/WaveBackend.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdint>
#include <functional>
#include <vector>

namespace audioio_test {

// Pumps the event loop until the condition holds; false after the time limit (a generous one:
// it only bounds a failing test).
inline bool PumpUntil(const std::function<bool()>& done, int limitMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

// Pumps for a while, to let anything that is coming arrive.
inline void PumpFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
}

inline void SetPcm(TkaWaveFormat& f, uint16_t channels, uint32_t rate, uint16_t bits)
{
    f.SetFormatTag(WAVE_FORMAT_PCM);
    f.SetChannels(channels);
    f.SetSamplesPerSec(rate);
    f.SetBlockAlign(static_cast<uint16_t>(channels * bits / 8));
    f.SetAvgBytesPerSec(rate * channels * bits / 8);
    f.SetBitsPerSample(bits);
}

// A block of n bytes whose values tell where it came from.
inline std::vector<char> Pattern(size_t n, int seed)
{
    std::vector<char> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<char>((i * 7 + static_cast<size_t>(seed) * 31) & 0xFF);
    return v;
}

class VirtualDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::wave::UseVirtualBackend();
        platform::wave::VirtualAudio::instance().reset();
        platform::wave::VirtualAudio::instance().setSpeed(0);
    }
    void TearDown() override { platform::wave::VirtualAudio::instance().reset(); }
    platform::wave::VirtualAudio& Device() { return platform::wave::VirtualAudio::instance(); }
};

// The output with its headers and notification handling in reach of a test.
class TestAudioOut : public TkaAudioOut {
public:
    using TkaAudioOut::Headers;
    using TkaAudioOut::TkaAudioOut;
    using TkaAudioOut::WndProc;
};

class TestAudioIn : public TkaAudioIn {
public:
    using TkaAudioIn::Headers;
    using TkaAudioIn::TkaAudioIn;
    // Runs before the component's own handling of a message (e.g. to shorten a recording).
    std::function<void(uint32_t, WAVEHDR*)> BeforeWndProc;

    void WndProc(uint32_t msg, WAVEHDR* hdr) override
    {
        if (BeforeWndProc && HasHeader(hdr))
            BeforeWndProc(msg, hdr);
        TkaAudioIn::WndProc(msg, hdr);
    }
};

// A bare audio subject, to feed an output through its AudioSource.
class TestSource : public TkaAudioComponent {
public:
    explicit TestSource(rtl::TComponent* owner)
        : TkaAudioComponent(owner), subject(new TkaAudioSubject(this, &format))
    {
    }
    IkaAudioSubject* QueryAudioSubject() override { return subject; }
    void Push(const std::vector<char>& data)
    {
        subject->NotifyObservers(subject, data.data(), static_cast<int32_t>(data.size()));
    }
    TkaWaveFormat format;
    TkaAudioSubject* subject;
};

} // namespace audioio_test
