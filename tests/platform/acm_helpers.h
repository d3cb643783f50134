#pragma once

// Test helpers for the codec service: a temporary folder, a tiny WAVE parser/writer,
// signal generation and measurement, and a conversion loop that drives a stream the way
// the engine does (pending bytes, block-aligned converts, the rest kept for later).

#include "platform/acm/MSAcmApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace acmtest {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("lexorin_acm_" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline bool haveTool(const char* tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

inline int run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}

inline std::vector<uint8_t> readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const fs::path& p, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A WAVE file's format record (with extra bytes, padded to 512) and its data chunk.
struct Wave {
    std::vector<uint8_t> format = std::vector<uint8_t>(512, 0);
    std::vector<uint8_t> data;
    WAVEFORMATEX* wfx() { return reinterpret_cast<WAVEFORMATEX*>(format.data()); }
};

inline uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline bool parseWave(const std::vector<uint8_t>& file, Wave& wave)
{
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0)
        return false;
    bool haveFmt = false, haveData = false;
    size_t pos = 12;
    while (pos + 8 <= file.size()) {
        const uint32_t size = le32(&file[pos + 4]);
        const size_t body = pos + 8, avail = std::min<size_t>(size, file.size() - body);
        if (std::memcmp(&file[pos], "fmt ", 4) == 0) {
            std::fill(wave.format.begin(), wave.format.end(), 0);
            std::memcpy(wave.format.data(), &file[body], std::min<size_t>(avail, 512));
            if (avail == 16)
                wave.wfx()->cbSize = 0;
            haveFmt = true;
        } else if (std::memcmp(&file[pos], "data", 4) == 0) {
            wave.data.assign(file.begin() + long(body), file.begin() + long(body + avail));
            haveData = true;
        }
        pos = body + size + (size & 1);
    }
    return haveFmt && haveData;
}

inline Wave loadWave(const fs::path& p)
{
    Wave w;
    EXPECT_TRUE(parseWave(readFile(p), w)) << p;
    return w;
}

inline void put32(std::vector<uint8_t>& v, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(uint8_t(x >> (8 * i)));
}

inline std::vector<uint8_t> makeWave(const WAVEFORMATEX& wfx, const std::vector<uint8_t>& data)
{
    const uint32_t fmtSize = 18u + wfx.cbSize;
    std::vector<uint8_t> out{'R', 'I', 'F', 'F'};
    put32(out, uint32_t(4 + 8 + fmtSize + 8 + data.size()));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, fmtSize);
    const auto* f = reinterpret_cast<const uint8_t*>(&wfx);
    out.insert(out.end(), f, f + fmtSize);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, uint32_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline WAVEFORMATEX pcm(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = WAVE_FORMAT_PCM)
{
    const uint16_t align = uint16_t(channels * bits / 8);
    return WAVEFORMATEX{tag, channels, rate, rate * align, align, bits, 0};
}

inline std::vector<int16_t> samples16(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

inline std::vector<uint8_t> bytesOf(const std::vector<int16_t>& s)
{
    std::vector<uint8_t> b(s.size() * 2);
    std::memcpy(b.data(), s.data(), b.size());
    return b;
}

// A sine (same on every channel), with a little of a second tone so codecs get work.
inline std::vector<int16_t> sine(uint32_t rate, uint16_t channels, double seconds, double freq,
                                 double amplitude = 0.5)
{
    const size_t frames = size_t(rate * seconds);
    std::vector<int16_t> s(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2 * M_PI * freq * double(i) / rate);
        for (uint16_t c = 0; c < channels; ++c)
            s[i * channels + c] = int16_t(std::lrint(v * 32767));
    }
    return s;
}

// Speech-like test signal: two tones, an envelope and a little noise.
inline std::vector<int16_t> voice(uint32_t rate, uint16_t channels, double seconds)
{
    std::mt19937 gen(7);
    std::normal_distribution<double> noise(0, 0.01);
    const size_t frames = size_t(rate * seconds);
    std::vector<int16_t> s(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const double env = 0.5 + 0.5 * std::sin(2 * M_PI * 3 * t);
        for (uint16_t c = 0; c < channels; ++c) {
            const double v = env * (0.4 * std::sin(2 * M_PI * (220 + 60 * c) * t) + 0.2 * std::sin(2 * M_PI * 1250 * t)) +
                             noise(gen);
            s[i * channels + c] = int16_t(std::lrint(std::clamp(v, -1.0, 1.0) * 32000));
        }
    }
    return s;
}

// SNR in dB of channel `channel` of y against the best-fitting sine of frequency f
// (amplitude and phase fitted), skipping `skip` frames at both ends.
inline double sineSnr(const std::vector<int16_t>& y, int channels, int channel, double f, double rate, size_t skip)
{
    const size_t n = y.size() / channels;
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (size_t i = skip; i + skip < n; ++i) {
        const double t = 2 * M_PI * f * double(i) / rate, s = std::sin(t), c = std::cos(t), v = y[i * channels + channel];
        ss += s * s, sc += s * c, cc += c * c, ys += v * s, yc += v * c;
    }
    const double det = ss * cc - sc * sc, a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    double signal = 0, error = 0;
    for (size_t i = skip; i + skip < n; ++i) {
        const double t = 2 * M_PI * f * double(i) / rate, m = a * std::sin(t) + b * std::cos(t);
        const double e = y[i * channels + channel] - m;
        signal += m * m, error += e * e;
    }
    return 10 * std::log10(signal / std::max(error, 1e-9));
}

// SNR in dB of y against the reference x (same length assumed; extra samples ignored).
inline double snr(const std::vector<int16_t>& x, const std::vector<int16_t>& y)
{
    double s = 0, e = 0;
    for (size_t i = 0; i < std::min(x.size(), y.size()); ++i) {
        s += double(x[i]) * x[i];
        e += (double(x[i]) - y[i]) * (double(x[i]) - y[i]);
    }
    return 10 * std::log10(s / std::max(e, 1e-9));
}

// The PCM format the codec service suggests for a compressed one (a 512-byte record).
inline std::vector<uint8_t> naturalPcmOf(WAVEFORMATEX* src)
{
    std::vector<uint8_t> out(512, 0);
    auto* dst = reinterpret_cast<WAVEFORMATEX*>(out.data());
    dst->wFormatTag = WAVE_FORMAT_PCM;
    EXPECT_EQ(acmFormatSuggest(nullptr, src, dst, 512, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    return out;
}

// A stream from `from` to `to` with one header prepared over a source buffer of srcBytes
// and a destination buffer sized for it; the header is unprepared and the stream closed
// when it goes. `opened` and `prepared` hold the two calls' results.
struct PreparedStream {
    PreparedStream(WAVEFORMATEX* from, WAVEFORMATEX* to, size_t srcBytes) : src(srcBytes)
    {
        opened = acmStreamOpen(&has, nullptr, from, to, nullptr, 0, 0, 0);
        if (opened != MMSYSERR_NOERROR)
            return;
        uint32_t dstSize = 0;
        acmStreamSize(has, uint32_t(src.size()), &dstSize, ACM_STREAMSIZEF_SOURCE);
        dst.resize(dstSize);
        h.cbStruct = sizeof h;
        h.pbSrc = src.data();
        h.cbSrcLength = uint32_t(src.size());
        h.pbDst = dst.data();
        h.cbDstLength = dstSize;
        prepared = acmStreamPrepareHeader(has, &h, 0);
    }
    ~PreparedStream()
    {
        if (prepared == MMSYSERR_NOERROR) {
            h.cbSrcLength = uint32_t(src.size());
            acmStreamUnprepareHeader(has, &h, 0);
        }
        if (opened == MMSYSERR_NOERROR)
            acmStreamClose(has, 0);
    }
    PreparedStream(const PreparedStream&) = delete;
    PreparedStream& operator=(const PreparedStream&) = delete;

    HACMSTREAM has = nullptr;
    std::vector<uint8_t> src, dst;
    ACMSTREAMHEADER h{};
    MMRESULT opened = MMSYSERR_ERROR;
    MMRESULT prepared = MMSYSERR_ERROR;
};

// Converts `input` from src to dst in pieces of `chunk` bytes (0: all at once), the way
// the engine's stages do: bytes pile up as pending, the stream converts whole blocks,
// and the unconsumed rest waits for the next piece.
inline std::vector<uint8_t> convertAll(WAVEFORMATEX* src, WAVEFORMATEX* dst, const std::vector<uint8_t>& input,
                                       size_t chunk, MMRESULT* failure = nullptr)
{
    std::vector<uint8_t> output;
    HACMSTREAM has = nullptr;
    MMRESULT r = acmStreamOpen(&has, nullptr, src, dst, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    if (failure)
        *failure = r;
    if (r != MMSYSERR_NOERROR) {
        if (!failure)
            ADD_FAILURE() << "acmStreamOpen " << r;
        return output;
    }
    if (chunk == 0)
        chunk = std::max<size_t>(input.size(), 1);
    std::vector<uint8_t> srcBuf(chunk * 2 + 65536);
    uint32_t dstSize = 0;
    acmStreamSize(has, uint32_t(srcBuf.size()), &dstSize, ACM_STREAMSIZEF_SOURCE);
    std::vector<uint8_t> dstBuf(std::max<uint32_t>(dstSize, 1));
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = srcBuf.data();
    h.cbSrcLength = uint32_t(srcBuf.size());
    h.pbDst = dstBuf.data();
    h.cbDstLength = uint32_t(dstBuf.size());
    EXPECT_EQ(acmStreamPrepareHeader(has, &h, 0), MMSYSERR_NOERROR);
    size_t pending = 0;
    for (size_t pos = 0; pos < input.size(); pos += chunk) {
        const size_t n = std::min(chunk, input.size() - pos);
        std::memcpy(srcBuf.data() + pending, input.data() + pos, n);
        pending += n;
        uint32_t out = 0;
        if (acmStreamSize(has, uint32_t(pending), &out, ACM_STREAMSIZEF_SOURCE) != 0 || out == 0)
            continue;
        h.cbSrcLength = uint32_t(pending);
        h.cbDstLengthUsed = 0;
        r = acmStreamConvert(has, &h, ACM_STREAMCONVERTF_BLOCKALIGN);
        if (r != MMSYSERR_NOERROR) {
            if (failure)
                *failure = r;
            else
                ADD_FAILURE() << "acmStreamConvert " << r;
            break;
        }
        EXPECT_LE(h.cbSrcLengthUsed, pending);
        output.insert(output.end(), dstBuf.begin(), dstBuf.begin() + h.cbDstLengthUsed);
        std::memmove(srcBuf.data(), srcBuf.data() + h.cbSrcLengthUsed, pending - h.cbSrcLengthUsed);
        pending -= h.cbSrcLengthUsed;
    }
    h.cbSrcLength = uint32_t(srcBuf.size());
    acmStreamUnprepareHeader(has, &h, 0);
    acmStreamClose(has, 0);
    return output;
}

} // namespace acmtest
