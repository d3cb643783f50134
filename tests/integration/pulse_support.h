#pragma once

// Shared by the tests against the real daemon: its environment, a recorder of the speakers'
// monitor (parec), the microphone feed (paplay), known signals and their alignment.

#include <QCoreApplication>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace pulsetest {

using Clock = std::chrono::steady_clock;

inline std::string pulseDir()
{
    const char* d = std::getenv("LEXORIN_PULSE_DIR");
    return d ? d : LEXORIN_PULSE_DIR;
}

// Points this process's clients (ours, parec, paplay) at the fixture's daemon.
inline void useFixtureDaemon()
{
    const std::string dir = pulseDir();
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + dir + "/pulse/native").c_str(), 1);
}

inline int runFixture(const char* command)
{
    const std::string cmd = std::string(LEXORIN_PULSE_FIXTURE) + " " + command + " " + pulseDir();
    return std::system(cmd.c_str());
}

inline pid_t daemonPid()
{
    std::ifstream in(pulseDir() + "/pulse/pid");
    long pid = 0;
    in >> pid;
    return static_cast<pid_t>(pid);
}

// Starts a program; its standard output comes back through the returned descriptor.
inline pid_t spawn(const std::vector<std::string>& argv, int* out)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    if (out)
        *out = fds[0];
    else
        close(fds[0]);
    return pid;
}

// Records the speakers' monitor (44100 Hz stereo s16le) with the arrival time of each piece.
class MonitorRecorder {
public:
    MonitorRecorder()
    {
        pid_ = spawn({"parec", "-d", "lexorin_speakers.monitor", "--raw", "--format=s16le", "--rate=44100",
                      "--channels=2", "--latency-msec=10"},
                     &fd_);
        reader_ = std::thread([this] { read(); });
    }
    ~MonitorRecorder() { stop(); }

    bool waitUntilRunning()
    {
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            if (bytes() > 8820)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    void stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (reader_.joinable())
            reader_.join();
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

    size_t bytes() const
    {
        std::lock_guard lock(mutex_);
        return data_.size();
    }
    std::vector<int16_t> samples() const
    {
        std::lock_guard lock(mutex_);
        std::vector<int16_t> s(data_.size() / 2);
        std::memcpy(s.data(), data_.data(), s.size() * 2);
        return s;
    }
    // When the byte at the given offset had arrived.
    Clock::time_point arrival(size_t byte) const
    {
        std::lock_guard lock(mutex_);
        for (const auto& [end, when] : arrivals_)
            if (end > byte)
                return when;
        return Clock::time_point::max();
    }

private:
    void read()
    {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0)
                return;
            std::lock_guard lock(mutex_);
            data_.insert(data_.end(), buf, buf + n);
            arrivals_.emplace_back(data_.size(), Clock::now());
        }
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::vector<char> data_;
    std::vector<std::pair<size_t, Clock::time_point>> arrivals_;
};

// Deterministic stereo noise, well away from full scale.
inline std::vector<int16_t> noise(size_t frames, uint32_t seed)
{
    std::vector<int16_t> s(frames * 2);
    uint32_t x = seed;
    for (auto& v : s) {
        x = x * 1664525u + 1013904223u;
        v = static_cast<int16_t>(static_cast<int32_t>(x >> 16) % 12000 - 6000);
    }
    return s;
}

// Normalised correlation of a against b (same length).
inline double correlation(const int16_t* a, const int16_t* b, size_t n)
{
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

// Where (in samples, frame aligned) the template first appears in the capture, searching
// from 'from'; -1 when it does not.
inline long findTemplate(const std::vector<int16_t>& capture, const int16_t* tmpl, size_t n, size_t from = 0)
{
    for (size_t pos = from; pos + n <= capture.size(); pos += 2)
        if (capture[pos] == tmpl[0] && capture[pos + 1] == tmpl[1] &&
            correlation(&capture[pos], tmpl, n) > 0.99)
            return static_cast<long>(pos);
    // Not bit exact (a server that resamples or mixes): the best correlation above the
    // threshold within a second around the first sound.
    size_t first = from;
    while (first < capture.size() && std::abs(capture[first]) < 200)
        ++first;
    first -= first % 2;
    const size_t lo = first > from + 88200 ? first - 88200 : from;
    double best = 0.99;
    long at = -1;
    for (size_t pos = lo; pos + n <= capture.size() && pos < first + 88200; pos += 2) {
        const double c = correlation(&capture[pos], tmpl, n);
        if (c > best) {
            best = c;
            at = static_cast<long>(pos);
        }
    }
    return at;
}

// Where the signal starts in the capture, aligned on a piece from its middle (the null
// sink's monitor can miss the first milliseconds after a stream starts: the sink rewinds
// to mix the new stream in at once, and the monitor's reader already has the old mix).
inline long align(const std::vector<int16_t>& capture, const std::vector<int16_t>& signal, size_t from = 0)
{
    size_t n = std::min<size_t>(2048, signal.size() / 4);
    n -= n % 2;
    size_t k = signal.size() / 2;
    k -= k % 2;
    const long at = findTemplate(capture, &signal[k], n, from + k);
    return at < 0 ? -1 : at - static_cast<long>(k);
}

// Samples at the start of an aligned signal that the capture does not hold exactly.
inline size_t leadingLoss(const std::vector<int16_t>& capture, long at, const std::vector<int16_t>& signal)
{
    size_t i = 0;
    while (i < signal.size() && at + i < capture.size() && capture[at + i] != signal[i])
        ++i;
    return i;
}

inline void pumpFor(std::chrono::milliseconds d)
{
    const auto end = Clock::now() + d;
    while (Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

template <class Cond> bool pumpUntil(Cond cond, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!cond()) {
        if (Clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace pulsetest
