// Memory of clip playback: a 10-second and a 10-minute clip played through the window's
// StartPlayback on the virtual device at full speed. Playback reads the file an eighth of a
// second at a time and keeps five chunks in flight, so the peak resident memory must not
// grow with the clip's length.
//
// Counters: peak_rss_MiB (the process's peak resident set during the play, reset just before
// it where the kernel allows), growth_KiB (that peak above the resident set at the start),
// played_MiB (audio the device played).
//
//   build/bench/bench_clip_memory

#include "QtBenchmarkMain.h"

#include "app/TForm1.h"
#include "platform/wave/VirtualAudio.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A field of /proc/self/status in KiB (VmRSS, VmHWM).
long StatusKiB(const std::string& field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return -1;
}

// Restarts the kernel's count of the peak resident set (VmHWM); false where not allowed.
bool ResetPeak()
{
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

// A mono 22050 Hz 16-bit clip of a tone, written a second at a time (never held whole).
void WriteClip(const std::filesystem::path& file, int seconds)
{
    const uint32_t rate = 22050;
    const uint32_t dataSize = static_cast<uint32_t>(seconds) * rate * 2;
    std::ofstream out(file, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + dataSize);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(dataSize);
    std::vector<int16_t> second(rate);
    for (uint32_t i = 0; i < rate; ++i)
        second[i] = static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / rate));
    for (int s = 0; s < seconds; ++s)
        out.write(reinterpret_cast<const char*>(second.data()), static_cast<std::streamsize>(rate * 2));
}

void BM_ClipPlaybackMemory(benchmark::State& state)
{
    const int seconds = static_cast<int>(state.range(0));
    QTemporaryDir temp;
    const std::filesystem::path dir(temp.path().toStdString());
    std::filesystem::create_directories(dir / "L");
    WriteClip(dir / "L" / "CLIP.wav", seconds);

    auto& audio = platform::wave::VirtualAudio::instance();
    audio.reset();
    audio.setSpeed(0);
    audio.setKeepPlayed(false); // count what is played, keep none of it

    TForm1 form(dir);
    form.show(); // FormShow fixes ExeDir (no welcome clip here)
    const std::string clip = form.ExeDir + "L" + TForm1::PathDelim + "CLIP.wav";

    long peak = 0, start = 0;
    for (auto _ : state) {
        audio.clearPlayed();
        start = StatusKiB("VmRSS");
        const bool resettable = ResetPeak();
        long sampled = start;
        form.StartPlayback(clip);
        while (form.AudioMode == 2) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            sampled = std::max(sampled, StatusKiB("VmRSS"));
        }
        peak = resettable ? std::max(sampled, StatusKiB("VmHWM")) : sampled;
    }
    uint64_t played = 0;
    for (const auto& p : audio.played())
        played += p.byteCount;
    state.counters["peak_rss_MiB"] = static_cast<double>(peak) / 1024.0;
    state.counters["growth_KiB"] = static_cast<double>(peak - start);
    state.counters["played_MiB"] = static_cast<double>(played) / (1024.0 * 1024.0);
    state.SetLabel(std::to_string(seconds) + " s clip");
}

BENCHMARK(BM_ClipPlaybackMemory)->Arg(10)->Arg(600)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
