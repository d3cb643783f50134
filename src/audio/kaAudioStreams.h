#pragma once

// kaAudioStreams: reading and writing audio through byte streams, and the RIFF WAVE
// reader and writer. Readers and writers work on a stream the caller opens and owns;
// they never open, close or free it.

#include "audio/kaCommon.h"
#include "audio/kaWaveFormat.h"
#include "rtl/Stream.h"

#include <cstdint>
#include <memory>
#include <vector>

// Base of readers and writers: the stream they work on and the audio format.
class TkaAbstractAudioStream {
public:
    // Stream must exist; it is not owned.
    explicit TkaAbstractAudioStream(rtl::TStream* stream);
    virtual ~TkaAbstractAudioStream();
    TkaAbstractAudioStream(const TkaAbstractAudioStream&) = delete;
    TkaAbstractAudioStream& operator=(const TkaAbstractAudioStream&) = delete;

    // Copies the given format's contents into this object's format.
    virtual void SetFormat(const TkaWaveFormat* format);
    virtual TkaWaveFormat* GetFormat();

    rtl::TStream* Stream() const { return stream_; }

protected:
    TkaWaveFormat* Format() const { return format_.get(); }

private:
    std::unique_ptr<TkaWaveFormat> format_;
    rtl::TStream* stream_ = nullptr;
};

// Base of writers: counts the audio written and writes the header before the first block.
class TkaAbstractAudioWriter : public TkaAbstractAudioStream {
public:
    // Records the stream's position as the start of the file; writes nothing.
    explicit TkaAbstractAudioWriter(rtl::TStream* stream);

    // Appends count audio bytes; the first call writes the header first, whatever count.
    // A call that fails leaves the stream where its failing step began: the next call
    // writes the header (or its block) over what got through, never after it.
    void Write(const void* buffer, int32_t count);

    int64_t BytesWritten() const { return bytesWritten_; }
    int64_t StartPosition() const { return startPosition_; }

protected:
    // Completes the file. Descendants whose file needs completing call it from their
    // own destructor when BytesWritten > 0.
    virtual void Finish() {}
    virtual void AfterFirstWrite() {}
    virtual void WriteHeader() {}
    virtual void WriteData(const void* buffer, int32_t count) = 0;
    // Runs after every Write whose bytes reached the stream.
    virtual void AfterWrite() {}

private:
    int64_t bytesWritten_ = 0;
    int64_t startPosition_ = 0;
    bool headerWritten_ = false;
};

// Writes a RIFF WAVE file: "RIFF", its size, "WAVE", a fmt chunk and one data chunk.
// Both size fields are kept true after every block, so a file cut off at any moment
// after its first block of audio is still a valid WAVE file holding everything written.
class TkaRIFFAudioWriter : public TkaAbstractAudioWriter {
public:
    explicit TkaRIFFAudioWriter(rtl::TStream* stream);
    // Completes the file if any audio was written. The stream must still be open.
    ~TkaRIFFAudioWriter() override;

    static std::unique_ptr<TkaRIFFAudioWriter> Create(rtl::TStream* stream)
    {
        return std::make_unique<TkaRIFFAudioWriter>(stream);
    }

    int64_t DataChunkPosition() const { return dataChunkPosition_; }

protected:
    void Finish() override;
    void WriteHeader() override;
    void WriteData(const void* buffer, int32_t count) override;
    void AfterWrite() override;

private:
    // Writes both size fields for the file as it now ends, and returns to its end.
    void PatchSizes();

    int64_t dataChunkPosition_ = 0;
};

// Base of readers: the source as one or more tracks, each with its own format and size,
// and the sub-streams handed out over them.
class TkaAbstractAudioReader : public TkaAbstractAudioStream {
public:
    explicit TkaAbstractAudioReader(rtl::TStream* stream);
    // Frees every sub-stream still alive, last first; the stream is left alone.
    ~TkaAbstractAudioReader() override;

    TkaWaveFormat* GetFormat() override;

    virtual int32_t TrackCount() = 0;
    virtual TkaWaveFormat* TrackFormat(int32_t index);
    virtual int32_t TrackSize(int32_t index) = 0;
    // Puts the stream on the track's first data byte and returns that position.
    virtual int64_t SeekTrack(int32_t index) = 0;
    // Reads the track's data from its beginning: at most count bytes; returns the count read.
    virtual int32_t ReadTrack(int32_t index, void* buffer, int32_t count) = 0;
    virtual void LastTrack();
    virtual void NextTrack();

    void SelectTrack(int32_t index);
    // A window over the track's data. The reader owns it; the caller may delete it
    // earlier, and the reader then forgets it.
    TkaSubStream* CreateTrackStream(int32_t index);

    int32_t CurrentTrack() const { return currentTrack_; }
    bool Eof() const { return eof_; }
    int32_t SubStreamCount() const { return static_cast<int32_t>(subStreams_.size()); }

private:
    void SubStreamDestroyed(TkaSubStream* subStream);

    std::vector<std::unique_ptr<TkaSubStream>> subStreams_;
    int32_t currentTrack_ = 0;
    bool eof_ = false;
};

// Reads a RIFF WAVE file: one track, the data chunk, in the fmt chunk's format.
class TkaRIFFAudioReader : public TkaAbstractAudioReader {
public:
    // Parses the header and chunk list from the stream's position; raises
    // EACMAudioReadError "Invalid file format." when the file is not acceptable.
    explicit TkaRIFFAudioReader(rtl::TStream* stream);

    static std::unique_ptr<TkaRIFFAudioReader> Create(rtl::TStream* stream)
    {
        return std::make_unique<TkaRIFFAudioReader>(stream);
    }

    int32_t TrackCount() override { return 1; }
    int32_t TrackSize(int32_t index) override;
    int64_t SeekTrack(int32_t index) override;
    int32_t ReadTrack(int32_t index, void* buffer, int32_t count) override;

    int32_t DataStart() const { return dataStart_; }
    int32_t DataSize() const { return dataSize_; }

private:
    void Parse();

    int32_t dataStart_ = 0;
    int32_t dataSize_ = 0;
};
