// Playing and recording clips: the window's glue between WAVE files and the audio
// engine. One clip at a time; its objects live in the Clip* fields exactly while
// AudioMode is 1 (recording) or 2 (playing). A recording goes into a take that
// replaces its clip when it ends (TakeFiles).

#include "app/TForm1.h"

#include "app/RunThenAlways.h"
#include "audio/kaAudioControls.h"
#include "audio/kaAudioConvertor.h"
#include "audio/kaAudioIO.h"
#include "audio/kaAudioStreams.h"
#include "platform/Trace.h"
#include "rtl/Exception.h"
#include "rtl/Stream.h"

#include <QCloseEvent>
#include <QCoreApplication>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

const char kTakeNotWritten[] =
    "The recording could not be saved: the disk is full or is no longer there.\n"
    "The word keeps the recording it had. Make room on the disk or put it back, then record again.";

} // namespace

void TForm1::PlayClipAndWait(const std::string& path)
{
    // Without a sound output a clip is skipped as a missing one is.
    if (Closing || !ContentFileExists(path) || !SoundOutput.ReadyForClip())
        return;
    QCoreApplication::processEvents();
    if (Closing)
        return;
    const uint64_t clip = StartPlayback(path);
    ClipWaitPasses = 0;
    while (AudioMode == 2 && ClipSerial == clip && !Closing) {
        QCoreApplication::processEvents();
        if (++ClipWaitPasses > kClipWaitPassLimit) {
            if (AudioMode == 2 && ClipSerial == clip)
                StopPlayback();
            return;
        }
        std::this_thread::sleep_for(ClipWaitPassSleep);
    }
}

uint64_t TForm1::StartPlayback(const std::string& path)
{
    StopAnyClip(true);
    if (platform::TraceOn())
        platform::Trace("clip " + path);
    ClipFile = std::make_unique<rtl::TFileStream>(ContentFile(path), rtl::TFileMode::fmOpenRead);
    try {
        ClipReader = TkaRIFFAudioReader::Create(ClipFile.get());
        kaAudioOut1->Format()->SuggestPCM(*ClipReader->GetFormat());
        PlayConvert->SetFormatIn(*ClipReader->GetFormat());
        PlayConvert->SetFormatOut(*kaAudioOut1->Format());
        PlayConvert->Open();
        ClipData = ClipReader->CreateTrackStream(0);
        kaAudioControlSource->SetAudioSource(kaAudioOut1);
        kaAudioOut1->Open();
        const uint64_t clip = ++ClipSerial;
        for (int i = 0; i <= kaAudioOut1->BufferCount() && ClipData; ++i)
            FeedNextChunk();
        if (ClipData) {
            AudioMode = 2;
            // A clip stopped to make way for this one left the controls idle.
            RefreshEditorButtons();
            EndClipWhenSilent();
        }
        return clip;
    } catch (...) {
        StopPlaybackAfter(std::current_exception());
    }
}

// A clip that cannot go on stops, and the error that stopped it is the one reported. An
// output that has gone away is said once, in plain words; the clips after it are skipped
// until it answers again.
void TForm1::StopPlaybackAfter(const std::exception_ptr& error)
{
    try {
        StopPlayback();
    } catch (...) {
    }
    try {
        std::rethrow_exception(error);
    } catch (const EACMAudioOutError&) {
        if (!SoundOutput.Probe())
            throw rtl::Exception(app::kNoSoundOutput);
        throw;
    }
}

// An eighth of a second of the clip's own format, and never less than one block: a header
// whose average rate is below 8, or far below the truth, would otherwise give empty or
// crumb-sized chunks. Linear PCM states its real rate in its sample rate and block size.
int64_t TForm1::ClipChunkSize() const
{
    const TkaWaveFormat& format = PlayConvert->FormatIn();
    int64_t perSecond = format.AvgBytesPerSec();
    if (format.FormatTag() == WAVE_FORMAT_PCM || format.FormatTag() == WAVE_FORMAT_IEEE_FLOAT)
        perSecond = std::max(perSecond, int64_t{format.SamplesPerSec()} * format.BlockAlign());
    return std::max<int64_t>(perSecond >> 3, std::max<int64_t>(format.BlockAlign(), 1));
}

void TForm1::FeedNextChunk()
{
    // Feeding goes on until the output has been given something or the data is used up:
    // a chunk the convertor keeps to itself brings no played event to feed the next one.
    const auto outputHolds = [this] { return kaAudioOut1->QueuedBuffers() + kaAudioOut1->PendingCount(); };
    const int held = outputHolds();
    bool read = true;
    do {
        read = PushChunk();
    } while (read && outputHolds() == held && ClipData->Position() < ClipData->Size());
    // A clip shorter than the output's pre-buffer would never start it: once the data
    // is exhausted, whatever the output holds back is released to play.
    if (ClipData->Position() >= ClipData->Size())
        kaAudioOut1->Flush();
}

bool TForm1::PushChunk()
{
    int64_t n = ClipChunkSize();
    const int64_t remaining = ClipData->Size() - ClipData->Position();
    if (2 * n > remaining)
        n = remaining;
    std::vector<uint8_t> chunk(static_cast<size_t>(n));
    const int32_t got = ClipData->Read(chunk.data(), static_cast<int32_t>(n));
    PlayConvert->Convert(chunk.data(), got);
    // Data that stops short ends the clip there, as the end of its data would: the file was
    // cut or replaced under it, or the disk or share reports a read error (ESTALE on NFS when
    // another computer replaced the clip). Only this clip ends; the flow that plays it goes on.
    if (got < n)
        ClipData->Seek(0, rtl::TSeekOrigin::soEnd);
    return got > 0;
}

void TForm1::kaAudioOut1AudioPlayed(rtl::TComponent* /*Sender*/, const void* /*AudioData*/,
                                    int32_t /*AudioDataSize*/)
{
    if (AudioMode != 2 || !ClipData)
        return;
    if (ClipData->Position() >= ClipData->Size()) {
        EndClipWhenSilent();
        return;
    }
    try {
        FeedNextChunk();
    } catch (...) {
        // Its data does not convert, or its device has gone: the clip ends now.
        StopPlaybackAfter(std::current_exception());
        return;
    }
    EndClipWhenSilent(); // data that stopped short may have left nothing to play
}

// Ends the clip once its data is exhausted and the output neither plays nor holds
// anything, so a clip whose audio the convertor keeps pending ends at once too.
void TForm1::EndClipWhenSilent()
{
    if (ClipData && ClipData->Position() >= ClipData->Size() && kaAudioOut1->QueuedBuffers() == 0 &&
        kaAudioOut1->PendingCount() == 0)
        StopPlayback();
}

void TForm1::StopPlayback()
{
    RunThenAlways(
        [this] {
            RunThenAlways(
                [this] {
                    kaAudioOut1->SetActive(false);
                    PlayConvert->SetActive(false);
                },
                [this] { FreeClipObjects(); });
        },
        [this] {
            AudioMode = 0;
            if (!ReplacingClip)
                RefreshEditorButtons();
        });
}

void TForm1::FreeClipObjects()
{
    delete ClipData; // the reader forgets a sub-stream freed before it
    ClipData = nullptr;
    ClipReader.reset();
    ClipWriter.reset(); // completes the WAVE header while the file is still open
    ClipFile.reset();
}

void TForm1::StartRecording(const std::string& path)
{
    StopAnyClip(true);
    // The recording goes into a take beside the clip; the clip itself is left alone
    // until Stop has found sound in the take.
    const std::filesystem::path lesson = ContentFile(path).parent_path();
    RemoveStaleTakes(lesson);
    kaAudioIn1->Format()->SuggestPCM(RecordConvert->FormatOut());
    kaAudioIn1->SetBufferSize(kaAudioIn1->Format()->AvgBytesPerSec() / 8 + 4);
    try {
        RecordConvert->SetFormatIn(*kaAudioIn1->Format());
        RecordConvert->Open();
        const std::filesystem::path take = NewTakePath(lesson);
        ClipFile = std::make_unique<rtl::TFileStream>(take, rtl::TFileMode::fmCreate);
        TakeFile = take;
        TakeClipPath = path;
        ClipWriter = TkaRIFFAudioWriter::Create(ClipFile.get());
        ClipWriter->SetFormat(&RecordConvert->FormatOut());
        kaAudioControlSource->SetAudioSource(kaAudioIn1);
        kaAudioIn1->Open();
        ++ClipSerial;
        AudioMode = 1;
        // A clip stopped to make way for this recording left the controls idle.
        RefreshEditorButtons();
    } catch (...) {
        EndRecording(TakeEnd::Quietly); // the error that stopped it is the one to show
        throw;
    }
}

void TForm1::RecordConvertAudioConverted(rtl::TComponent* /*Sender*/, const void* AudioData,
                                         int32_t AudioDataSize, bool& /*Abort*/)
{
    if (!ClipWriter)
        return;
    try {
        ClipWriter->Write(AudioData, AudioDataSize);
    } catch (...) {
        EndUnwritableTake();
    }
}

// A take that cannot be written (the disk is full, or went away with its USB stick) ends at
// its first failed write, as one whose microphone went away ends: the devices close, the
// take is dropped whatever it holds, and the clip stays. The failed write is the one thing
// said; it leaves through the input's buffer report, which the closed input no longer owns.
void TForm1::EndUnwritableTake()
{
    try {
        EndRecording(TakeEnd::Unwritten);
    } catch (...) {
        // A device that also fails to close says nothing the parent can act on.
    }
    if (edSpellingword->isEnabled())
        edSpellingword->setFocus(Qt::OtherFocusReason);
    throw rtl::Exception(kTakeNotWritten);
}

// The input closes by itself when its device has gone (a microphone unplugged or frozen):
// the recording then ends as Stop ends it, keeping everything up to the last block.
// StopRecording closes the recording convertor before the input, so its own close is not
// taken for that.
void TForm1::kaAudioIn1AfterClose(rtl::TComponent* /*Sender*/)
{
    if (AudioMode != 1 || !RecordConvert->Active())
        return;
    MicrophoneLost = true;
    RunThenAlways([this] { btnStopClick(btnStop); }, [this] { MicrophoneLost = false; });
}

void TForm1::StopRecording()
{
    EndRecording(Closing || MicrophoneLost ? TakeEnd::Quietly : TakeEnd::Stopped);
}

// Whatever the devices say on closing, the take is judged with what it holds; a device
// error is the one error shown. The editor's buttons follow on every path.
void TForm1::EndRecording(TakeEnd how)
{
    std::exception_ptr error;
    try {
        RunThenAlways(
            [this] {
                RecordConvert->SetActive(false);
                kaAudioIn1->Close();
            },
            [this] { FreeClipObjects(); });
    } catch (...) {
        error = std::current_exception();
    }
    AudioMode = 0;
    try {
        CommitRecordedTake(error && how == TakeEnd::Stopped ? TakeEnd::Quietly : how);
    } catch (...) {
        if (!error)
            error = std::current_exception();
    }
    if (!ReplacingClip)
        RefreshEditorButtons();
    if (error)
        std::rethrow_exception(error);
}

void TForm1::CommitRecordedTake(TakeEnd how)
{
    if (TakeFile.empty())
        return;
    const std::filesystem::path take = std::exchange(TakeFile, {});
    const std::string clip = std::exchange(TakeClipPath, {});
    if (how == TakeEnd::Unwritten) {
        std::error_code ignored;
        std::filesystem::remove(take, ignored);
        return;
    }
    const TakeOutcome outcome = CommitTake(take, ContentFile(clip));
    ShowTakeHint(outcome.hint);
    if (!outcome.kept && how == TakeEnd::Stopped)
        throw rtl::Exception("Nothing was heard from the microphone. Check that it is plugged in and not "
                             "muted, then record again.");
}

// Only one clip sounds or records at a time: a new clip, and an action on the clip's file,
// stop the old one first. That stop is no error of the action: a take that heard nothing
// is dropped without a word (only Stop says so). For a new clip the controls stay as its
// flow set them (a greeting cut short unlocks nothing); otherwise, and whenever the stop
// fails, they are refreshed here, so no caller has to.
void TForm1::StopAnyClip(bool forNewClip)
{
    const bool outer = std::exchange(ReplacingClip, forNewClip);
    try {
        if (TakeRuns())
            EndRecording(TakeEnd::Quietly);
        else if (ClipReader || ClipFile)
            StopPlayback();
    } catch (...) {
        ReplacingClip = outer;
        RefreshEditorButtons();
        throw;
    }
    ReplacingClip = outer;
    if (!forNewClip)
        RefreshEditorButtons();
}

// Closing the window ends the tutor: a recording is completed, a clip stops, and every
// wait returns, so nothing speaks on without a window.
void TForm1::closeEvent(QCloseEvent* event)
{
    Closing = true;
    RunHandler([this] { StopAnyClip(); });
    QWidget::closeEvent(event);
}
