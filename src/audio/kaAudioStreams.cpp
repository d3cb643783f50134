#include "audio/kaAudioStreams.h"

#include "rtl/Exception.h"

#include <algorithm>

TkaAbstractAudioStream::TkaAbstractAudioStream(rtl::TStream* stream)
{
    RTL_ASSERT(stream != nullptr);
    stream_ = stream;
    format_ = std::make_unique<TkaWaveFormat>();
}

TkaAbstractAudioStream::~TkaAbstractAudioStream() = default;

void TkaAbstractAudioStream::SetFormat(const TkaWaveFormat* format)
{
    format_->Assign(format);
}

TkaWaveFormat* TkaAbstractAudioStream::GetFormat()
{
    return format_.get();
}

TkaAbstractAudioWriter::TkaAbstractAudioWriter(rtl::TStream* stream) : TkaAbstractAudioStream(stream)
{
    startPosition_ = stream->Position();
}

namespace {

// Runs one step of a write. When it fails, the stream goes back to where the step began,
// so the next write covers the part that got through (a header cut short, half a block)
// instead of following it.
template <class Step> void StartOverOnFailure(rtl::TStream& stream, int64_t start, Step step)
{
    try {
        step();
    } catch (...) {
        try {
            stream.Seek(start, rtl::TSeekOrigin::soBeginning);
        } catch (...) {
            // The step's own error is the one to report.
        }
        throw;
    }
}

} // namespace

void TkaAbstractAudioWriter::Write(const void* buffer, int32_t count)
{
    RTL_ASSERT(count >= 0);
    rtl::TStream& stream = *Stream();
    const bool first = !headerWritten_;
    if (first) {
        StartOverOnFailure(stream, startPosition_, [this] { WriteHeader(); });
        headerWritten_ = true;
    }
    StartOverOnFailure(stream, stream.Position(), [&] { WriteData(buffer, count); });
    bytesWritten_ += count;
    if (count > 0)
        StartOverOnFailure(stream, stream.Position(), [this] { AfterWrite(); });
    if (first)
        AfterFirstWrite();
}

TkaAbstractAudioReader::TkaAbstractAudioReader(rtl::TStream* stream) : TkaAbstractAudioStream(stream) {}

TkaAbstractAudioReader::~TkaAbstractAudioReader()
{
    // Taken out of the list before it dies, so its destroy event finds nothing to remove.
    while (!subStreams_.empty()) {
        std::unique_ptr<TkaSubStream> last = std::move(subStreams_.back());
        subStreams_.pop_back();
    }
}

TkaWaveFormat* TkaAbstractAudioReader::GetFormat()
{
    return TrackFormat(currentTrack_);
}

TkaWaveFormat* TkaAbstractAudioReader::TrackFormat(int32_t)
{
    return Format();
}

void TkaAbstractAudioReader::LastTrack()
{
    SelectTrack(TrackCount() - 1);
    eof_ = true;
}

void TkaAbstractAudioReader::NextTrack()
{
    if (currentTrack_ == TrackCount() - 1)
        eof_ = true;
    else
        SelectTrack(currentTrack_ + 1);
}

void TkaAbstractAudioReader::SelectTrack(int32_t index)
{
    SeekTrack(index);
    currentTrack_ = index;
}

TkaSubStream* TkaAbstractAudioReader::CreateTrackStream(int32_t index)
{
    SelectTrack(index);
    const int64_t start = Stream()->Position();
    RTL_ASSERT(start >= 0 && start <= INT32_MAX);
    auto subStream =
        std::make_unique<TkaSubStream>(Stream(), static_cast<int32_t>(start), TrackSize(currentTrack_));
    subStream->OnDestroy = [this](TkaSubStream* sender) { SubStreamDestroyed(sender); };
    subStreams_.push_back(std::move(subStream));
    return subStreams_.back().get();
}

void TkaAbstractAudioReader::SubStreamDestroyed(TkaSubStream* subStream)
{
    // Deleted by its user: forget it without deleting it again.
    auto it = std::find_if(subStreams_.begin(), subStreams_.end(),
                           [subStream](const auto& owned) { return owned.get() == subStream; });
    if (it == subStreams_.end())
        return;
    it->release();
    subStreams_.erase(it);
}
