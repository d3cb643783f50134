#pragma once

// Shared by the wave device tests: a notification window that records what arrives,
// headers with their own memory, and a fixture on the virtual backend.

#include "platform/wave/VirtualAudio.h"
#include "platform/wave/WaveApi.h"
#include "platform/wave/WaveBackend.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

namespace wavetest {

using namespace platform::wave;

struct Message {
    uint32_t msg;
    WAVEHDR* hdr;
};

// Records every message of its devices, in arrival order.
class Recorder {
public:
    Recorder()
        : window(std::make_unique<WaveNotifyWindow>([this](uint32_t m, WAVEHDR* h) {
              messages.push_back({m, h});
              if (onMessage)
                  onMessage(m, h);
          }))
    {
    }
    DWORD_PTR callback() const { return reinterpret_cast<DWORD_PTR>(window.get()); }

    std::vector<WAVEHDR*> of(uint32_t msg) const
    {
        std::vector<WAVEHDR*> out;
        for (const auto& m : messages)
            if (m.msg == msg)
                out.push_back(m.hdr);
        return out;
    }
    size_t count(uint32_t msg) const { return of(msg).size(); }

    std::unique_ptr<WaveNotifyWindow> window;
    std::vector<Message> messages;
    std::function<void(uint32_t, WAVEHDR*)> onMessage;
};

// Runs the event loop until cond holds; false after a generous limit (a hang, not a
// timing expectation).
template <class Cond> bool pumpUntil(Cond cond, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline void pumpFor(std::chrono::milliseconds d)
{
    const auto end = std::chrono::steady_clock::now() + d;
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A header with its own audio memory.
struct Buffer {
    explicit Buffer(size_t n, char fill = 0) : data(n, fill)
    {
        std::memset(&hdr, 0, sizeof hdr);
        hdr.lpData = data.data();
        hdr.dwBufferLength = static_cast<uint32_t>(n);
        hdr.dwLoops = 1;
    }
    std::vector<char> data;
    WAVEHDR hdr;
};

inline WAVEFORMATEX pcm(uint16_t channels, uint32_t rate, uint16_t bits)
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// Every test starts on the virtual backend with its defaults.
class VirtualWaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseVirtualBackend();
        VirtualAudio::instance().reset();
        QCoreApplication::processEvents(); // messages left from an earlier test
    }
    void TearDown() override
    {
        // Late messages would reach handlers that look at the test's freed buffers.
        rec.window.reset();
        VirtualAudio::instance().reset();
        pumpFor(std::chrono::milliseconds(2));
    }
    VirtualAudio& va() { return VirtualAudio::instance(); }
    WAVEFORMATEX format = pcm(2, 44100, 16);
    Recorder rec;
};

} // namespace wavetest
