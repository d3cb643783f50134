#include "audio/kaAudioStreams.h"
#include "audio/kaErrors.h"
#include "rtl/Stream.h"

#include "riff_wave_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <numeric>

#include <unistd.h>

using namespace riff_test;
using rtl::TSeekOrigin;

namespace {

// The 44-byte header of a 1000-byte recording in the tutor's format, spelled out.
const Bytes kExampleHeader = {0x52, 0x49, 0x46, 0x46, 0x0C, 0x04, 0x00, 0x00, 0x57, 0x41, 0x56,
                              0x45, 0x66, 0x6D, 0x74, 0x20, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00,
                              0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1, 0x02, 0x00, 0x04,
                              0x00, 0x10, 0x00, 0x64, 0x61, 0x74, 0x61, 0xE8, 0x03, 0x00, 0x00};

std::unique_ptr<TkaRIFFAudioWriter> RecordingWriter(rtl::TStream& stream)
{
    auto writer = std::make_unique<TkaRIFFAudioWriter>(&stream);
    SetRecordingFormat(*writer->GetFormat());
    return writer;
}

// A stream that takes no bytes, as a full disk does.
class TFullStream : public rtl::TMemoryStream {
public:
    int32_t Write(const void*, int32_t) override { return 0; }
};

// A stream that takes only `budget` more bytes, then fails one write, as a disk that
// fills up and is then given room again.
class TFillingStream : public rtl::TMemoryStream {
public:
    explicit TFillingStream(int32_t budget) : budget_(budget) {}
    int32_t Write(const void* buffer, int32_t count) override
    {
        if (budget_ < 0 || count <= budget_) {
            budget_ -= budget_ < 0 ? 0 : count;
            return rtl::TMemoryStream::Write(buffer, count);
        }
        const int32_t taken = rtl::TMemoryStream::Write(buffer, budget_);
        budget_ = -1; // room again from now on
        return taken;
    }

private:
    int32_t budget_;
};

bool ReadsBack(const Bytes& file, int32_t& dataSize, Bytes& data)
{
    rtl::TMemoryStream stream(file.data(), file.size());
    try {
        TkaRIFFAudioReader reader(&stream);
        dataSize = reader.DataSize();
        data.assign(static_cast<size_t>(dataSize), 0);
        TkaSubStream* sub = reader.CreateTrackStream(0);
        data.resize(static_cast<size_t>(sub->Read(data.data(), dataSize)));
        return true;
    } catch (const EACMAudioReadError&) {
        return false;
    }
}

} // namespace

TEST(RiffWriter, RecordingOfThousandBytesIsTheExampleByteForByte)
{
    rtl::TMemoryStream stream;
    const Bytes audio = Pattern(1000);
    {
        auto writer = RecordingWriter(stream);
        writer->Write(audio.data(), 600);
        writer->Write(audio.data() + 600, 400);
        EXPECT_EQ(writer->BytesWritten(), 1000);
        EXPECT_EQ(writer->DataChunkPosition(), 36);
    }
    ASSERT_EQ(stream.Size(), 1044);
    EXPECT_EQ(Bytes(stream.Bytes().begin(), stream.Bytes().begin() + 44), kExampleHeader);
    EXPECT_EQ(Bytes(stream.Bytes().begin() + 44, stream.Bytes().end()), audio);
}

TEST(RiffWriter, CreatingWritesNothing)
{
    rtl::TMemoryStream stream;
    {
        auto writer = RecordingWriter(stream);
        EXPECT_EQ(writer->BytesWritten(), 0);
    }
    EXPECT_EQ(stream.Size(), 0);
    int32_t size = 0;
    Bytes data;
    EXPECT_FALSE(ReadsBack(stream.Bytes(), size, data)) << "an empty file is not a WAVE file";
}

TEST(RiffWriter, OnlyAnEmptyWriteLeavesTheHeaderWithZeroSizes)
{
    rtl::TMemoryStream stream;
    {
        auto writer = RecordingWriter(stream);
        writer->Write(nullptr, 0);
    }
    ASSERT_EQ(stream.Size(), 44);
    EXPECT_EQ(GetU32(stream.Bytes(), 4), 0u);
    EXPECT_EQ(GetU32(stream.Bytes(), 40), 0u);
    Bytes expected = kExampleHeader;
    std::fill(expected.begin() + 4, expected.begin() + 8, 0);
    std::fill(expected.begin() + 40, expected.end(), 0);
    EXPECT_EQ(stream.Bytes(), expected);
    int32_t size = 0;
    Bytes data;
    EXPECT_FALSE(ReadsBack(stream.Bytes(), size, data)) << "RIFF size 0 is rejected";
}

TEST(RiffWriter, NonPcmFormatWritesItsExtraBytes)
{
    rtl::TMemoryStream stream;
    {
        TkaRIFFAudioWriter writer(&stream);
        TkaWaveFormat* format = writer.GetFormat();
        format->SetFormatTag(0x11); // IMA ADPCM
        format->SetChannels(1);
        format->SetSamplesPerSec(8000);
        format->SetAvgBytesPerSec(4055);
        format->SetBlockAlign(256);
        format->SetBitsPerSample(4);
        format->SetExtraSize(2);
        format->Buffer()[18] = 0xF9;
        format->Buffer()[19] = 0x01;
        format->Buffer()[20] = 0x77; // beyond cbSize: not written
        const Bytes audio = Pattern(256);
        writer.Write(audio.data(), 256);
    }
    const Bytes& out = stream.Bytes();
    ASSERT_EQ(out.size(), 12u + 8 + 20 + 8 + 256);
    EXPECT_EQ(GetU32(out, 16), 20u);
    EXPECT_EQ(out[20], 0x11);
    EXPECT_EQ(out[36], 2) << "cbSize";
    EXPECT_EQ(out[38], 0xF9);
    EXPECT_EQ(out[39], 0x01);
    EXPECT_EQ(Bytes(out.begin() + 40, out.begin() + 44), Bytes({'d', 'a', 't', 'a'}));
    EXPECT_EQ(GetU32(out, 44), 256u);
    EXPECT_EQ(GetU32(out, 4), static_cast<uint32_t>(out.size() - 8));
}

TEST(RiffWriter, OversizedStoredExtraSizeWritesTheWholeBuffer)
{
    rtl::TMemoryStream stream;
    {
        TkaRIFFAudioWriter writer(&stream);
        TkaWaveFormat* format = writer.GetFormat();
        format->SetFormatTag(2);
        format->Buffer()[16] = 0x58; // cbSize 600, as a stored buffer may hold
        format->Buffer()[17] = 0x02;
        writer.Write("x", 1);
    }
    EXPECT_EQ(GetU32(stream.Bytes(), 16), 512u);
    EXPECT_EQ(stream.Size(), 12 + 8 + 512 + 8 + 1);
}

TEST(RiffWriter, StartsWhereTheStreamStands)
{
    rtl::TMemoryStream stream;
    const Bytes before = Pattern(100, 9);
    stream.Write(before.data(), 100);
    const Bytes audio = Pattern(1000);
    {
        auto writer = RecordingWriter(stream);
        EXPECT_EQ(writer->StartPosition(), 100);
        writer->Write(audio.data(), 1000);
    }
    const Bytes& out = stream.Bytes();
    ASSERT_EQ(out.size(), 1144u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 100), before);
    EXPECT_EQ(Bytes(out.begin() + 100, out.begin() + 144), kExampleHeader);
    EXPECT_EQ(GetU32(out, 104), 1144u - 108);

    stream.Seek(100, TSeekOrigin::soBeginning);
    TkaRIFFAudioReader reader(&stream);
    EXPECT_EQ(reader.DataStart(), 144);
    EXPECT_EQ(reader.DataSize(), 1000);
}

TEST(RiffWriter, ZeroFormatTagIsAnAssertionAndWritesNothing)
{
    rtl::TMemoryStream stream;
    TkaRIFFAudioWriter writer(&stream);
    writer.GetFormat()->SetFormatTag(0);
    try {
        writer.Write("abcd", 4);
        FAIL() << "no assertion";
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Message().rfind("Assertion failure", 0), 0u);
    }
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(writer.BytesWritten(), 0);
}

TEST(RiffWriter, SetFormatCopiesTheWholeFormat)
{
    rtl::TMemoryStream stream;
    TkaWaveFormat given;
    SetRecordingFormat(given);
    given.Buffer()[300] = 42;
    TkaRIFFAudioWriter writer(&stream);
    writer.SetFormat(&given);
    EXPECT_TRUE(writer.GetFormat()->IsEqual(given));
    EXPECT_NE(writer.GetFormat(), &given);
}

TEST(RiffWriter, FailingStreamRaisesAndCountsNothing)
{
    TFullStream stream;
    auto writer = RecordingWriter(stream);
    EXPECT_THROW(writer->Write("abcd", 4), rtl::EWriteError);
    EXPECT_EQ(writer->BytesWritten(), 0);
}

// A write that fails half-way is written over by the next one: a header cut short does
// not get a second header after it, and half a block does not shift the audio after it.
TEST(RiffWriter, FailedWriteIsWrittenOverByTheNext)
{
    const Bytes audio = Pattern(1000);
    for (const int32_t budget : {0, 6, 30, 43, 44 + 101}) {
        TFillingStream stream(budget);
        {
            auto writer = RecordingWriter(stream);
            EXPECT_THROW(writer->Write(audio.data(), 600), rtl::EWriteError) << budget;
            EXPECT_EQ(writer->BytesWritten(), 0) << budget;
            writer->Write(audio.data() + 600, 400);
            EXPECT_EQ(writer->BytesWritten(), 400);
        }
        const Bytes& file = stream.Bytes();
        ASSERT_GE(file.size(), 444u) << budget;
        EXPECT_EQ(Bytes(file.begin() + 4, file.begin() + 8), Bytes({0xB4, 0x01, 0, 0})) << "RIFF size 436";
        EXPECT_EQ(
            std::search(file.begin() + 1, file.end(), kExampleHeader.begin(), kExampleHeader.begin() + 4),
            file.end())
            << "one header only, budget " << budget;
        int32_t size = 0;
        Bytes data;
        ASSERT_TRUE(ReadsBack(file, size, data)) << budget;
        EXPECT_EQ(size, 400) << budget;
        EXPECT_EQ(data, Bytes(audio.begin() + 600, audio.end())) << budget;
    }
}

// Both sizes are true after every block: a copy taken at any moment after the first
// block reads back as a WAVE file holding everything written so far.
TEST(RiffWriter, EveryCopyTakenWhileRecordingIsAValidFile)
{
    rtl::TMemoryStream stream;
    const Bytes audio = Pattern(22054 * 4 + 17);
    const size_t blocks[] = {22054, 1, 0, 22053, 22054, 22054, 17};
    auto writer = RecordingWriter(stream);
    size_t written = 0;
    for (size_t block : blocks) {
        writer->Write(audio.data() + written, static_cast<int32_t>(block));
        written += block;
        EXPECT_EQ(stream.Position(), stream.Size()) << "the writer goes on at the end";
        int32_t size = 0;
        Bytes data;
        ASSERT_TRUE(ReadsBack(stream.Bytes(), size, data)) << "after " << written << " bytes";
        EXPECT_EQ(static_cast<size_t>(size), written);
        EXPECT_EQ(data, Bytes(audio.begin(), audio.begin() + static_cast<ptrdiff_t>(written)));
        EXPECT_EQ(GetU32(stream.Bytes(), 4), stream.Size() - 8);
    }
    ASSERT_EQ(written, audio.size());
}

// The same on a real file, copied on disk while the writer still holds it open; and
// copies cut off at arbitrary lengths (a crash in the middle of a block) still read back
// with the bytes that are there.
TEST(RiffWriter, FileCopiedDuringRecordingReadsBack)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("riff_writer_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path path = dir / "word.wav";
    const Bytes audio = Pattern(5 * 22054, 5);
    {
        rtl::TFileStream file(path, rtl::TFileMode::fmCreate);
        auto writer = RecordingWriter(file);
        for (int i = 0; i < 5; ++i) {
            writer->Write(audio.data() + i * 22054, 22054);
            const fs::path copy = dir / ("copy" + std::to_string(i) + ".wav");
            fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
            rtl::TMemoryStream copied;
            copied.LoadFromFile(copy);
            int32_t size = 0;
            Bytes data;
            ASSERT_TRUE(ReadsBack(copied.Bytes(), size, data)) << "copy after block " << i;
            EXPECT_EQ(size, (i + 1) * 22054);
            EXPECT_EQ(data, Bytes(audio.begin(), audio.begin() + (i + 1) * 22054));

            // The crash came while the next block was partly on disk.
            if (i < 4) {
                Bytes cut = copied.Bytes();
                const auto next = audio.begin() + (i + 1) * 22054;
                cut.insert(cut.end(), next, next + 999);
                ASSERT_TRUE(ReadsBack(cut, size, data));
                EXPECT_EQ(size, (i + 1) * 22054) << "the declared size still holds";
            }
        }
    }
    rtl::TMemoryStream final;
    final.LoadFromFile(path);
    int32_t size = 0;
    Bytes data;
    ASSERT_TRUE(ReadsBack(final.Bytes(), size, data));
    EXPECT_EQ(data, audio);
    fs::remove_all(dir);
}

TEST(RiffWriter, CutOffAtAnyLengthAfterTheHeaderReadsWhatIsThere)
{
    rtl::TMemoryStream stream;
    const Bytes audio = Pattern(300);
    {
        auto writer = RecordingWriter(stream);
        writer->Write(audio.data(), 300);
    }
    for (size_t length = 0; length <= stream.Bytes().size(); ++length) {
        const Bytes cut(stream.Bytes().begin(), stream.Bytes().begin() + static_cast<ptrdiff_t>(length));
        int32_t size = 0;
        Bytes data;
        const bool ok = ReadsBack(cut, size, data);
        ASSERT_EQ(ok, length >= 44) << "length " << length;
        if (ok) {
            ASSERT_EQ(static_cast<size_t>(size), length - 44);
            ASSERT_EQ(data, Bytes(audio.begin(), audio.begin() + static_cast<ptrdiff_t>(length - 44)));
        }
    }
}
