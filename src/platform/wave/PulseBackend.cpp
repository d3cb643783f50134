// The desktop's sound server through libpulse's asynchronous API.
//
// One connection (a pa_threaded_mainloop and its context) serves every device; it is made
// again at the next open after the server went away. The mainloop's lock is every pulse
// device's lock: the service's calls take it, the mainloop thread holds it while it runs
// our callbacks. Nothing here waits on the server without a time limit.
//
// Output: the queued headers are cut into a byte stream written as the server asks for it.
// The server takes whole frames only, and headers need not hold whole frames (an eighth of a
// second of 44.1 kHz stereo is 5512.5 frames): a frame cut by a header's end waits for the
// next header's first bytes. Should the server run dry before they come, the frame is closed
// with silence, which then stands for those bytes (see OutputDevice::sentAhead).
// A header is done once the server's read position, less the sink's latency, has passed its
// end, so a header is reported when it has been heard, not when it was handed over. The
// stream keeps the server's pre-buffering: when it runs dry it stops and waits for data
// instead of running ahead, so a buffer written after a gap plays whole; whenever all we
// hold has been handed over we trigger playback, so a short last piece plays at once.
// A reset drops the stream; the next write makes a new one.
//
// Input: the server's fragments are cut into the queued headers, each reported when full.

#include "platform/wave/WaveBackend.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::wave {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kConnectTimeout = std::chrono::milliseconds(3000);
constexpr auto kStallTimeout = std::chrono::milliseconds(3000);
constexpr pa_usec_t kPollUsec = 5 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kTargetLatencyUsec = 50 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kFragmentUsec = 20 * PA_USEC_PER_MSEC;
// A frame cut short at the end of what we hold is closed with silence once the server has
// no more than this left to play before it.
constexpr pa_usec_t kCloseFrameUsec = 15 * PA_USEC_PER_MSEC;

MMRESULT mapError(int error)
{
    switch (error) {
    case PA_ERR_NOTSUPPORTED:
    case PA_ERR_INVALID:
        return WAVERR_BADFORMAT;
    case PA_ERR_BUSY:
        return MMSYSERR_ALLOCATED;
    case PA_ERR_NOENTITY:
        return MMSYSERR_BADDEVICEID;
    case PA_ERR_ACCESS:
    case PA_ERR_AUTHKEY:
        return MMSYSERR_NOTENABLED;
    default:
        return MMSYSERR_NODRIVER;
    }
}

bool toSampleSpec(const WAVEFORMATEX& f, pa_sample_spec& ss)
{
    if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT)
        ss.format = PA_SAMPLE_FLOAT32LE;
    else
        switch (f.wBitsPerSample) {
        case 8:
            ss.format = PA_SAMPLE_U8;
            break;
        case 16:
            ss.format = PA_SAMPLE_S16LE;
            break;
        case 24:
            ss.format = PA_SAMPLE_S24LE;
            break;
        case 32:
            ss.format = PA_SAMPLE_S32LE;
            break;
        default:
            return false;
        }
    ss.rate = f.nSamplesPerSec;
    ss.channels = static_cast<uint8_t>(f.nChannels);
    return pa_sample_spec_valid(&ss) != 0;
}

class PulseDevice;

// The shared connection to the server.
class Connection {
public:
    ~Connection()
    {
        if (loop_)
            pa_threaded_mainloop_stop(loop_);
        if (context_) {
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (loop_)
            pa_threaded_mainloop_free(loop_);
    }

    // A connected connection, or null with the reason in rc.
    static std::shared_ptr<Connection> get(MMRESULT& rc);

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }
    pa_mainloop_api* api() const { return pa_threaded_mainloop_get_api(loop_); }
    bool usable() const { return state_ == PA_CONTEXT_READY; } // with the lock held

    // With the lock held.
    void attach(PulseDevice* d) { devices_.push_back(d); }
    void detach(PulseDevice* d) { std::erase(devices_, d); }

private:
    MMRESULT connect();
    static void onState(pa_context* c, void* self);

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_context_state_t state_ = PA_CONTEXT_UNCONNECTED;
    std::vector<PulseDevice*> devices_;
};

// Polls cond (with the mainloop lock held) until it holds or the time is up.
template <class Cond> bool waitUntil(pa_threaded_mainloop* loop, Cond cond)
{
    const auto deadline = Clock::now() + kConnectTimeout;
    for (;;) {
        pa_threaded_mainloop_lock(loop);
        const bool done = cond();
        pa_threaded_mainloop_unlock(loop);
        if (done)
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// What both directions share: the stream, the poll timer and the watchdog.
class PulseDevice {
public:
    virtual ~PulseDevice() = default;
    virtual void connectionLost() = 0;
};

std::mutex& connectionMutex()
{
    static std::mutex m;
    return m;
}

std::shared_ptr<Connection> Connection::get(MMRESULT& rc)
{
    static std::shared_ptr<Connection> current;
    std::lock_guard guard(connectionMutex());
    if (current) {
        pa_threaded_mainloop_lock(current->loop_);
        const bool ok = current->usable();
        pa_threaded_mainloop_unlock(current->loop_);
        if (ok)
            return current;
        current.reset(); // the server went away; devices still open keep theirs
    }
    auto c = std::make_shared<Connection>();
    rc = c->connect();
    if (rc != MMSYSERR_NOERROR)
        return nullptr;
    current = c;
    return c;
}

MMRESULT Connection::connect()
{
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return MMSYSERR_NOMEM;
    context_ = pa_context_new(api(), "Lexorin");
    if (!context_)
        return MMSYSERR_NOMEM;
    pa_context_set_state_callback(context_, &Connection::onState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return MMSYSERR_NODRIVER;
    if (pa_threaded_mainloop_start(loop_) < 0)
        return MMSYSERR_NOMEM;
    const bool settled =
        waitUntil(loop_, [this] { return state_ == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state_); });
    if (!settled || state_ != PA_CONTEXT_READY)
        return MMSYSERR_NODRIVER;
    return MMSYSERR_NOERROR;
}

void Connection::onState(pa_context* c, void* self)
{
    auto* conn = static_cast<Connection*>(self);
    conn->state_ = pa_context_get_state(c);
    if (!PA_CONTEXT_IS_GOOD(conn->state_)) {
        const auto devices = conn->devices_;
        for (PulseDevice* d : devices)
            d->connectionLost();
    }
}

// A stream of one direction with its poll timer; Base is OutputDevice or InputDevice.
template <class Base> class PulseStream : public Base, public PulseDevice {
public:
    PulseStream(const WAVEFORMATEX& f, std::shared_ptr<NotifyChannel> channel,
                std::shared_ptr<Connection> conn, bool output)
        : Base(f, std::move(channel), output), conn_(std::move(conn))
    {
        toSampleSpec(f, spec_);
        pa_channel_map_init_extend(&map_, spec_.channels, PA_CHANNEL_MAP_WAVEEX);
        pa_threaded_mainloop_lock(conn_->loop());
        conn_->attach(this);
        pa_threaded_mainloop_unlock(conn_->loop());
    }
    ~PulseStream() override
    {
        pa_threaded_mainloop_lock(conn_->loop());
        teardown();
        conn_->detach(this);
        pa_threaded_mainloop_unlock(conn_->loop());
    }

    void lock() override { pa_threaded_mainloop_lock(conn_->loop()); }
    void unlock() override { pa_threaded_mainloop_unlock(conn_->loop()); }

    // Opens the first stream and waits until the server took or refused it.
    MMRESULT open()
    {
        pa_threaded_mainloop_lock(conn_->loop());
        const MMRESULT rc = makeStream();
        pa_threaded_mainloop_unlock(conn_->loop());
        if (rc)
            return rc;
        const bool settled = waitUntil(
            conn_->loop(), [this] { return !stream_ || pa_stream_get_state(stream_) != PA_STREAM_CREATING; });
        pa_threaded_mainloop_lock(conn_->loop());
        MMRESULT result = MMSYSERR_NOERROR;
        if (!settled)
            result = MMSYSERR_NODRIVER;
        else if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY)
            result = mapError(pa_context_errno(conn_->context()));
        if (result == MMSYSERR_NOERROR && this->lost_)
            result = MMSYSERR_NODRIVER;
        if (result)
            teardown();
        pa_threaded_mainloop_unlock(conn_->loop());
        return result;
    }

    void connectionLost() override
    {
        if (!this->lost_) {
            teardown();
            this->markLost();
        }
    }

protected:
    virtual pa_stream* connectStream() = 0; // creates and connects stream_'s successor
    virtual void poll() = 0;                // every kPollUsec while armed

    MMRESULT makeStream()
    {
        if (!conn_->usable())
            return MMSYSERR_NODRIVER;
        stream_ = connectStream();
        if (!stream_)
            return mapError(pa_context_errno(conn_->context()));
        return MMSYSERR_NOERROR;
    }

    static void onStreamState(pa_stream* s, void* self)
    {
        auto* me = static_cast<PulseStream*>(self);
        const pa_stream_state_t st = pa_stream_get_state(s);
        if (st == PA_STREAM_READY)
            me->streamReady();
        else if ((st == PA_STREAM_FAILED || st == PA_STREAM_TERMINATED) && s == me->stream_)
            me->connectionLost();
    }
    virtual void streamReady() {}

    bool ready() const { return stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY; }

    void teardown()
    {
        disarm();
        if (timingOp_) {
            pa_operation_cancel(timingOp_);
            pa_operation_unref(timingOp_);
            timingOp_ = nullptr;
        }
        if (stream_) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
            pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
            pa_stream_set_read_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
            stream_ = nullptr;
        }
    }

    void cork(bool on)
    {
        if (ready())
            if (pa_operation* o = pa_stream_cork(stream_, on ? 1 : 0, nullptr, nullptr))
                pa_operation_unref(o);
    }

    // The poll timer runs while the device has work.
    void arm()
    {
        if (!timer_)
            timer_ = pa_context_rttime_new(conn_->context(), pa_rtclock_now() + kPollUsec, &onTimer, this);
    }
    void disarm()
    {
        if (timer_) {
            conn_->api()->time_free(timer_);
            timer_ = nullptr;
        }
    }
    static void onTimer(pa_mainloop_api*, pa_time_event* e, const struct timeval*, void* self)
    {
        auto* me = static_cast<PulseStream*>(self);
        me->poll();
        if (me->timer_ == e)
            pa_context_rttime_restart(me->conn_->context(), e, pa_rtclock_now() + kPollUsec);
    }

    // The watchdog: progress() on every sign of life; stalled() once none came for too long.
    void progress() { lastProgress_ = Clock::now(); }
    bool stalled() const { return Clock::now() - lastProgress_ > kStallTimeout; }

    std::shared_ptr<Connection> conn_;
    pa_sample_spec spec_{};
    pa_channel_map map_{};
    pa_stream* stream_ = nullptr;
    pa_time_event* timer_ = nullptr;
    pa_operation* timingOp_ = nullptr;
    Clock::time_point lastProgress_ = Clock::now();
};

class PulseOutput final : public PulseStream<OutputDevice> {
public:
    PulseOutput(const WAVEFORMATEX& f, std::shared_ptr<NotifyChannel> channel,
                std::shared_ptr<Connection> conn)
        : PulseStream(f, std::move(channel), std::move(conn), true)
    {
    }

    MMRESULT write(WAVEHDR* h) override
    {
        const bool wasIdle = !hasQueued();
        const MMRESULT rc = OutputDevice::write(h);
        if (rc)
            return rc;
        if (wasIdle)
            progress();
        if (!stream_) {
            if (makeStream() != MMSYSERR_NOERROR) {
                markLost();
                return MMSYSERR_NOERROR; // the header came back as done; later calls fail
            }
        }
        pump();
        arm();
        return MMSYSERR_NOERROR;
    }
    MMRESULT pause() override
    {
        paused_ = true;
        cork(true);
        return MMSYSERR_NOERROR;
    }
    MMRESULT restart() override
    {
        paused_ = false;
        progress();
        cork(false);
        return MMSYSERR_NOERROR;
    }
    MMRESULT reset() override
    {
        teardown(); // stops at once; the next write starts a new stream
        returnAllAndRestart();
        played_ = readPos_ = 0;
        return MMSYSERR_NOERROR;
    }
    void shutdown() override { teardown(); }

private:
    pa_stream* connectStream() override
    {
        pa_stream* s = pa_stream_new(conn_->context(), "Lexorin playback", &spec_, &map_);
        if (!s)
            return nullptr;
        pa_buffer_attr attr;
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kTargetLatencyUsec, &spec_));
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(-1);
        pa_stream_set_state_callback(s, &onStreamState, static_cast<PulseStream*>(this));
        pa_stream_set_write_callback(s, &onWritable, this);
        pa_stream_set_underflow_callback(s, &onUnderflow, this);
        auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_NOT_MONOTONIC |
                                                    (paused_ ? PA_STREAM_START_CORKED : 0));
        if (pa_stream_connect_playback(s, nullptr, &attr, flags, nullptr, nullptr) < 0) {
            pa_stream_unref(s);
            return nullptr;
        }
        return s;
    }

    void streamReady() override
    {
        cork(paused_); // paused or restarted while the stream was being made
        pump();
    }

    static void onWritable(pa_stream*, size_t, void* self) { static_cast<PulseOutput*>(self)->pump(); }

    // The server ran dry: nothing more may come, so a frame cut short must play now.
    static void onUnderflow(pa_stream* s, void* self)
    {
        auto* me = static_cast<PulseOutput*>(self);
        if (s == me->stream_)
            me->pump(true);
    }

    size_t frameSize() const { return pa_frame_size(&spec_); }

    // Hands the server as many whole frames as it asks for; closeFrame also hands over the
    // bytes of a last, unfinished frame, made whole with silence. Starts playback once all
    // we hold is there.
    void pump(bool closeFrame = false)
    {
        if (!ready() || unsent() == 0)
            return;
        const size_t frame = frameSize();
        size_t room = pa_stream_writable_size(stream_);
        if (room == static_cast<size_t>(-1))
            return;
        room -= room % frame;
        const uint64_t before = unsent();
        const uint64_t whole = before - before % frame;
        if (whole > 0 && room > 0)
            writeFrames(static_cast<size_t>(std::min<uint64_t>(whole, room)), 0);
        else if (whole == 0 && closeFrame) // a single frame is taken at any time
            writeFrames(frame, frame - static_cast<size_t>(before));
        if (!this->lost_ && unsent() < before && unsent() < frame)
            if (pa_operation* o = pa_stream_trigger(stream_, nullptr, nullptr))
                pa_operation_unref(o);
    }

    // Writes n bytes: the next n - filler bytes of the headers, then filler bytes of silence.
    // The bytes go straight into the server's shared memory, joined across headers.
    void writeFrames(size_t n, size_t filler)
    {
        void* buf = nullptr;
        size_t len = n;
        if (pa_stream_begin_write(stream_, &buf, &len) < 0 || !buf)
            return fail();
        if (len < n) { // the memory came in a smaller piece: what fits now, the rest later
            len -= len % frameSize();
            if (len == 0 || filler) {
                pa_stream_cancel_write(stream_);
                return;
            }
            n = len;
        }
        auto* out = static_cast<char*>(buf);
        send(n - filler, [&out](const char* p, size_t k) {
            std::memcpy(out, p, k);
            out += k;
        });
        fillSilence(out, filler);
        if (pa_stream_write(stream_, buf, n, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return fail();
        sentAhead(filler);
    }

    void fillSilence(char* p, size_t n) const { std::memset(p, spec_.format == PA_SAMPLE_U8 ? 0x80 : 0, n); }

    // The server refused data it had asked for: the device cannot go on.
    void fail()
    {
        teardown();
        markLost();
    }

    void poll() override
    {
        if (!hasQueued()) {
            disarm();
            return;
        }
        if (paused_) {
            progress();
            return;
        }
        if (stalled()) {
            teardown();
            markLost();
            return;
        }
        catchUp();
        if (ready() && !timingOp_)
            timingOp_ = pa_stream_update_timing_info(stream_, &onTiming, this);
    }

    static void onTiming(pa_stream* s, int success, void* self)
    {
        auto* me = static_cast<PulseOutput*>(self);
        if (me->timingOp_) {
            pa_operation_unref(me->timingOp_);
            me->timingOp_ = nullptr;
        }
        if (!success || s != me->stream_)
            return;
        const pa_timing_info* ti = pa_stream_get_timing_info(s);
        if (!ti || ti->read_index_corrupt)
            return;
        // Read by the sink, less what still sits in the sink: heard. The sink never runs
        // empty (it plays silence after our data), so a position the sink has read is also
        // taken as heard once the sink's latency measured then has passed.
        const auto now = Clock::now();
        const auto sinkDelay = std::chrono::microseconds(ti->sink_usec);
        const uint64_t read = ti->read_index > 0 ? static_cast<uint64_t>(ti->read_index) : 0;
        const uint64_t inSink = pa_usec_to_bytes(ti->sink_usec, &me->spec_);
        const uint64_t heard = read > inSink ? read - inSink : 0;
        if (read > me->readPos_) {
            me->readPos_ = read;
            me->readHeardAt_ = now + sinkDelay;
            me->progress();
        } else if (read == me->readPos_ && now + sinkDelay < me->readHeardAt_) {
            me->readHeardAt_ = now + sinkDelay;
        }
        if (heard > me->played_)
            me->played_ = heard;
        me->catchUp();
        // Close a frame cut short at the end once the server is about to run out before it.
        const int64_t left = ti->write_index - ti->read_index;
        me->pump(!ti->write_index_corrupt &&
                 left <= static_cast<int64_t>(pa_usec_to_bytes(kCloseFrameUsec, &me->spec_)));
    }

    // Reports what has been heard by now.
    void catchUp()
    {
        if (Clock::now() >= readHeardAt_ && readPos_ > played_)
            played_ = readPos_;
        completeUpTo(played_);
    }

    uint64_t played_ = 0;             // stream position heard
    uint64_t readPos_ = 0;            // stream position the sink has read
    Clock::time_point readHeardAt_{}; // when readPos_ will have been heard
    bool paused_ = false;
};

class PulseInput final : public PulseStream<InputDevice> {
public:
    PulseInput(const WAVEFORMATEX& f, std::shared_ptr<NotifyChannel> channel,
               std::shared_ptr<Connection> conn)
        : PulseStream(f, std::move(channel), std::move(conn), false)
    {
    }

    MMRESULT start() override
    {
        started_ = true; // a stream made now starts uncorked
        if (!stream_ && makeStream() != MMSYSERR_NOERROR) {
            started_ = false;
            markLost();
            return MMSYSERR_NODRIVER;
        }
        progress();
        cork(false);
        arm();
        return MMSYSERR_NOERROR;
    }
    MMRESULT stop() override
    {
        started_ = false;
        cork(true);
        finishPartial();
        return MMSYSERR_NOERROR;
    }
    MMRESULT reset() override
    {
        started_ = false;
        teardown(); // drops what the server still holds; start() makes a new stream
        finishAll();
        return MMSYSERR_NOERROR;
    }
    void shutdown() override { teardown(); }

private:
    pa_stream* connectStream() override
    {
        pa_stream* s = pa_stream_new(conn_->context(), "Lexorin recording", &spec_, &map_);
        if (!s)
            return nullptr;
        pa_buffer_attr attr;
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragmentUsec, &spec_));
        attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
        pa_stream_set_state_callback(s, &onStreamState, static_cast<PulseStream*>(this));
        pa_stream_set_read_callback(s, &onReadable, this);
        auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                    (started_ ? 0 : PA_STREAM_START_CORKED));
        if (pa_stream_connect_record(s, nullptr, &attr, flags) < 0) {
            pa_stream_unref(s);
            return nullptr;
        }
        return s;
    }

    void streamReady() override { cork(!started_); }

    static void onReadable(pa_stream* s, size_t, void* self)
    {
        auto* me = static_cast<PulseInput*>(self);
        while (s == me->stream_ && pa_stream_readable_size(s) > 0) {
            const void* data = nullptr;
            size_t n = 0;
            if (pa_stream_peek(s, &data, &n) < 0 || n == 0)
                break;
            if (me->started_) {
                me->progress();
                me->deliver(data, n); // null data is a hole: silence
            }
            pa_stream_drop(s);
        }
    }

    void poll() override
    {
        if (!started_ || !hasQueued()) {
            progress();
            return;
        }
        if (stalled()) {
            teardown();
            markLost();
        }
    }

    bool started_ = false;
};

class PulseBackendImpl final : public Backend {
public:
    uint32_t outputCount() override { return 1; }
    uint32_t inputCount() override { return 1; }
    // A device answers when the sound server does.
    MMRESULT queryOutput() override { return serverAnswers(); }
    MMRESULT queryInput() override { return serverAnswers(); }

    MMRESULT openOutput(const WAVEFORMATEX& format, std::shared_ptr<NotifyChannel> channel,
                        std::shared_ptr<OutputDevice>& device) override
    {
        return open<PulseOutput>(format, std::move(channel), device);
    }
    MMRESULT openInput(const WAVEFORMATEX& format, std::shared_ptr<NotifyChannel> channel,
                       std::shared_ptr<InputDevice>& device) override
    {
        return open<PulseInput>(format, std::move(channel), device);
    }

private:
    static MMRESULT serverAnswers()
    {
        MMRESULT rc = MMSYSERR_NOERROR;
        Connection::get(rc);
        return rc;
    }

    template <class Device, class Out>
    MMRESULT open(const WAVEFORMATEX& format, std::shared_ptr<NotifyChannel> channel, Out& device)
    {
        pa_sample_spec ss;
        if (!toSampleSpec(format, ss))
            return WAVERR_BADFORMAT;
        MMRESULT rc = MMSYSERR_NOERROR;
        auto conn = Connection::get(rc);
        if (!conn)
            return rc;
        auto d = std::make_shared<Device>(format, std::move(channel), std::move(conn));
        if ((rc = d->open()))
            return rc;
        device = std::move(d);
        return MMSYSERR_NOERROR;
    }
};

} // namespace

Backend& PulseBackend()
{
    static PulseBackendImpl b;
    return b;
}

} // namespace platform::wave
