// The codec service on the tutor's real paths, per eighth-of-a-second buffer (125 ms of
// audio): the oscilloscope's close/reopen/convert to 48 kHz (and, for comparison, to a rate
// only speexdsp converts), IMA ADPCM, mu-law and MP3
// clips decoded to their PCM, and PCM through the PCM-to-same-PCM stage. Each reports
// microseconds per buffer (the time column) and "core%" = share of one core needed to
// keep up with real time, from this thread's CPU time. The resampler's SNR is measured in
// the same run.

#include "platform/acm/MSAcmApi.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

WAVEFORMATEX pcm(uint16_t channels, uint32_t rate, uint16_t bits)
{
    const uint16_t align = uint16_t(channels * bits / 8);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

std::vector<uint8_t> sineBytes(uint32_t rate, uint16_t channels, double seconds, double freq)
{
    const size_t frames = size_t(rate * seconds);
    std::vector<int16_t> s(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (uint16_t c = 0; c < channels; ++c)
            s[i * channels + c] = int16_t(std::lrint(0.5 * 32767 * std::sin(2 * M_PI * freq * double(i) / rate)));
    std::vector<uint8_t> b(s.size() * 2);
    std::memcpy(b.data(), s.data(), b.size());
    return b;
}

// One conversion stage as the engine runs it: buffers prepared once from the first
// convertible input (three times its size), pending bytes kept between calls.
class Stage {
public:
    Stage(WAVEFORMATEX* src, WAVEFORMATEX* dst)
    {
        if (acmStreamOpen(&has_, nullptr, src, dst, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0)
            has_ = nullptr;
    }
    ~Stage()
    {
        if (!has_)
            return;
        if (header_.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) {
            header_.cbSrcLength = uint32_t(src_.size());
            acmStreamUnprepareHeader(has_, &header_, 0);
        }
        acmStreamClose(has_, 0);
    }
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;
    bool ok() const { return has_ != nullptr; }

    // Returns the bytes produced.
    uint32_t convert(const uint8_t* data, size_t size)
    {
        if (src_.empty()) {
            src_.assign(size * 3, 0);
            uint32_t out = 0;
            acmStreamSize(has_, uint32_t(src_.size()), &out, ACM_STREAMSIZEF_SOURCE);
            dst_.assign(out, 0);
            header_.cbStruct = sizeof header_;
            header_.pbSrc = src_.data();
            header_.cbSrcLength = uint32_t(src_.size());
            header_.pbDst = dst_.data();
            header_.cbDstLength = uint32_t(dst_.size());
            acmStreamPrepareHeader(has_, &header_, 0);
        }
        if (pending_ + size > src_.size())
            return 0; // the engine reports "too large" here; never reached on these paths
        std::memcpy(src_.data() + pending_, data, size);
        pending_ += size;
        uint32_t out = 0;
        if (acmStreamSize(has_, uint32_t(pending_), &out, 0) != 0 || out == 0)
            return 0;
        header_.cbSrcLength = uint32_t(pending_);
        header_.cbDstLengthUsed = 0;
        if (acmStreamConvert(has_, &header_, ACM_STREAMCONVERTF_BLOCKALIGN) != 0)
            return 0;
        std::memmove(src_.data(), src_.data() + header_.cbSrcLengthUsed, pending_ - header_.cbSrcLengthUsed);
        pending_ -= header_.cbSrcLengthUsed;
        return header_.cbDstLengthUsed;
    }
    const uint8_t* output() const { return dst_.data(); }

private:
    HACMSTREAM has_ = nullptr;
    ACMSTREAMHEADER header_{};
    std::vector<uint8_t> src_, dst_;
    size_t pending_ = 0;
};

// CPU time of this thread: the machine is shared, so wall time would count other work.
double cpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void reportCore(benchmark::State& state, double seconds)
{
    const double perBuffer = seconds / double(state.iterations());
    state.counters["core%"] = perBuffer / 0.125 * 100;
}

// Decodes `clip` (format `fmt`) in eighth-of-a-second pieces through one stage, looping.
void decodeLoop(benchmark::State& state, WAVEFORMATEX* fmt, const std::vector<uint8_t>& clip)
{
    WAVEFORMATEX out = pcm(fmt->nChannels, fmt->nSamplesPerSec, 16);
    const size_t eighth = std::max<size_t>(fmt->nAvgBytesPerSec / 8, 1);
    auto stage = std::make_unique<Stage>(fmt, &out);
    if (!stage->ok()) {
        state.SkipWithError("cannot open the stream");
        return;
    }
    size_t pos = 0;
    double seconds = 0;
    for (auto _ : state) {
        if (pos + eighth > clip.size()) {
            state.PauseTiming();
            stage = std::make_unique<Stage>(fmt, &out); // start the clip again, as a new playback
            pos = 0;
            state.ResumeTiming();
        }
        const double t0 = cpuNow();
        benchmark::DoNotOptimize(stage->convert(clip.data() + pos, eighth));
        seconds += cpuNow() - t0;
        pos += eighth;
    }
    reportCore(state, seconds);
}

std::vector<uint8_t> encode(WAVEFORMATEX* in, std::vector<uint8_t>& format, uint16_t tag, const std::vector<uint8_t>& pcmData)
{
    format.assign(512, 0);
    auto* enc = reinterpret_cast<WAVEFORMATEX*>(format.data());
    enc->wFormatTag = tag;
    acmFormatSuggest(nullptr, in, enc, 512, ACM_FORMATSUGGESTF_WFORMATTAG);
    Stage stage(in, enc);
    std::vector<uint8_t> out;
    const size_t piece = in->nAvgBytesPerSec / 8;
    for (size_t pos = 0; pos + piece <= pcmData.size(); pos += piece) {
        const uint32_t n = stage.convert(pcmData.data() + pos, piece);
        out.insert(out.end(), stage.output(), stage.output() + n);
    }
    return out;
}

// SNR of the resampled 1 kHz sine against the best-fitting ideal sine at the output rate.
double resampledSnr(uint32_t rate)
{
    WAVEFORMATEX a = pcm(2, 44100, 16), b = pcm(2, rate, 16);
    const auto in = sineBytes(44100, 2, 2.0, 997);
    Stage stage(&a, &b);
    std::vector<int16_t> y;
    for (size_t pos = 0; pos + 5512 * 4 <= in.size(); pos += 5512 * 4) {
        const uint32_t n = stage.convert(in.data() + pos, 5512 * 4);
        const auto* s = reinterpret_cast<const int16_t*>(stage.output());
        y.insert(y.end(), s, s + n / 2);
    }
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    const size_t n = y.size() / 2, skip = 2400;
    for (size_t i = skip; i + skip < n; ++i) {
        const double t = 2 * M_PI * 997 * double(i) / rate, s = std::sin(t), c = std::cos(t);
        ss += s * s, sc += s * c, cc += c * c, ys += y[2 * i] * s, yc += y[2 * i] * c;
    }
    const double det = ss * cc - sc * sc, p = (ys * cc - yc * sc) / det, q = (yc * ss - ys * sc) / det;
    double sig = 0, err = 0;
    for (size_t i = skip; i + skip < n; ++i) {
        const double t = 2 * M_PI * 997 * double(i) / rate, m = p * std::sin(t) + q * std::cos(t);
        sig += m * m, err += (y[2 * i] - m) * (y[2 * i] - m);
    }
    return 10 * std::log10(sig / err);
}

// The argument is the output rate: 48000 Hz goes through the polyphase filter; 47999 Hz,
// a ratio that filter refuses, through speexdsp, the resampler used before for every ratio.
void BM_OscilloscopeReopenResample(benchmark::State& state)
{
    const auto rate = uint32_t(state.range(0));
    WAVEFORMATEX a = pcm(2, 44100, 16), b = pcm(2, rate, 16);
    const auto buffer = sineBytes(44100, 2, 5512.0 / 44100, 997);
    double seconds = 0;
    for (auto _ : state) {
        const double t0 = cpuNow();
        Stage stage(&a, &b); // the control source closes and reopens for every buffer
        benchmark::DoNotOptimize(stage.convert(buffer.data(), buffer.size()));
        seconds += cpuNow() - t0;
    }
    reportCore(state, seconds);
    state.counters["snr_dB"] = resampledSnr(rate);
}
BENCHMARK(BM_OscilloscopeReopenResample)->Arg(48000)->Arg(47999)->Unit(benchmark::kMicrosecond);

void BM_ImaAdpcmDecode(benchmark::State& state)
{
    WAVEFORMATEX in = pcm(2, 22050, 16);
    std::vector<uint8_t> format;
    const auto clip = encode(&in, format, WAVE_FORMAT_IMA_ADPCM, sineBytes(22050, 2, 10, 440));
    decodeLoop(state, reinterpret_cast<WAVEFORMATEX*>(format.data()), clip);
}
BENCHMARK(BM_ImaAdpcmDecode)->Unit(benchmark::kMicrosecond);

void BM_MulawDecode(benchmark::State& state)
{
    WAVEFORMATEX in = pcm(1, 22050, 16);
    std::vector<uint8_t> format;
    const auto clip = encode(&in, format, WAVE_FORMAT_MULAW, sineBytes(22050, 1, 10, 440));
    decodeLoop(state, reinterpret_cast<WAVEFORMATEX*>(format.data()), clip);
}
BENCHMARK(BM_MulawDecode)->Unit(benchmark::kMicrosecond);

void BM_Mp3Decode(benchmark::State& state)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "lexorin_acm_bench";
    fs::create_directories(dir);
    const auto wav = dir / "in.wav", mp3 = dir / "in.mp3";
    {
        const auto data = sineBytes(44100, 2, 10, 440);
        std::ofstream out(wav, std::ios::binary);
        auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
        WAVEFORMATEX f = pcm(2, 44100, 16);
        out.write("RIFF", 4);
        put32(uint32_t(36 + data.size()));
        out.write("WAVEfmt ", 8);
        put32(16);
        out.write(reinterpret_cast<const char*>(&f), 16);
        out.write("data", 4);
        put32(uint32_t(data.size()));
        out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    }
    if (std::system(("lame --quiet -b 128 " + wav.string() + " " + mp3.string()).c_str()) != 0) {
        state.SkipWithError("lame is not installed");
        return;
    }
    std::ifstream in(mp3, std::ios::binary);
    const std::vector<uint8_t> clip{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    fs::remove_all(dir);
    MPEGLAYER3WAVEFORMAT f{};
    f.wfx = {WAVE_FORMAT_MPEGLAYER3, 2, 44100, 16000, 1, 0, 12};
    f.wID = MPEGLAYER3_ID_MPEG;
    f.nBlockSize = 417;
    f.nFramesPerBlock = 1;
    decodeLoop(state, &f.wfx, clip);
}
BENCHMARK(BM_Mp3Decode)->Unit(benchmark::kMicrosecond);

void BM_PcmToSamePcm(benchmark::State& state)
{
    WAVEFORMATEX f = pcm(2, 44100, 16);
    decodeLoop(state, &f, sineBytes(44100, 2, 10, 440));
}
BENCHMARK(BM_PcmToSamePcm)->Unit(benchmark::kMicrosecond);

// The baseline for the stage above: copying the same eighth of a second.
void BM_CopyEighthSecond(benchmark::State& state)
{
    const auto src = sineBytes(44100, 2, 0.125, 440);
    std::vector<uint8_t> dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyEighthSecond)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
