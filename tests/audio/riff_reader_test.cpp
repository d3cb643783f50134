#include "audio/kaAudioStreams.h"
#include "audio/kaErrors.h"
#include "rtl/Stream.h"

#include "riff_wave_bytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <filesystem>
#include <random>
#include <type_traits>

using namespace riff_test;
using rtl::TSeekOrigin;

namespace {

const Bytes kAudio = Pattern(1000);

Bytes Fmt()
{
    return Chunk("fmt ", PcmFmt(2, 44100, 16));
}

Bytes Data(const Bytes& audio = kAudio)
{
    return Chunk("data", audio);
}

// The outcome of reading a file: "ok" or the error's message.
std::string Verdict(const Bytes& file)
{
    rtl::TMemoryStream stream(file.data(), file.size());
    try {
        TkaRIFFAudioReader reader(&stream);
        return "ok";
    } catch (const EACMAudioReadError& e) {
        return e.Message();
    }
}

// Reads the whole first track through a sub-stream.
Bytes TrackBytes(const Bytes& file)
{
    rtl::TMemoryStream stream(file.data(), file.size());
    TkaRIFFAudioReader reader(&stream);
    TkaSubStream* sub = reader.CreateTrackStream(0);
    Bytes out(static_cast<size_t>(sub->Size()));
    out.resize(static_cast<size_t>(sub->Read(out.data(), static_cast<int32_t>(out.size()))));
    return out;
}

const std::string kInvalid = "Invalid file format.";

} // namespace

TEST(RiffReader, ReadsTheRecordingExample)
{
    const Bytes file = Riff({Fmt(), Data()});
    ASSERT_EQ(file.size(), 1044u);
    rtl::TMemoryStream stream(file.data(), file.size());
    TkaRIFFAudioReader reader(&stream);
    const TkaWaveFormat* format = reader.GetFormat();
    EXPECT_EQ(format->FormatTag(), 1);
    EXPECT_EQ(format->Channels(), 2);
    EXPECT_EQ(format->SamplesPerSec(), 44100u);
    EXPECT_EQ(format->AvgBytesPerSec(), 176400u);
    EXPECT_EQ(format->BlockAlign(), 4);
    EXPECT_EQ(format->BitsPerSample(), 16);
    EXPECT_EQ(format->ExtraSize(), 0);
    EXPECT_EQ(reader.DataStart(), 44);
    EXPECT_EQ(reader.DataSize(), 1000);
    EXPECT_EQ(reader.TrackCount(), 1);
    EXPECT_EQ(reader.TrackSize(0), 1000);
    EXPECT_EQ(reader.TrackFormat(0), format);

    Bytes got(2000);
    EXPECT_EQ(reader.ReadTrack(0, got.data(), 2000), 1000);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 1000), kAudio);
    EXPECT_EQ(reader.ReadTrack(0, got.data(), 10), 10) << "always from the track's start";
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 10), Bytes(kAudio.begin(), kAudio.begin() + 10));
    EXPECT_EQ(reader.SeekTrack(0), 44);
    EXPECT_EQ(stream.Position(), 44);
}

TEST(RiffReader, ErrorClassesFormTheEngineTree)
{
    static_assert(std::is_base_of_v<EACMAudioStreamError, EACMAudioReadError>);
    static_assert(std::is_base_of_v<EACMError, EACMAudioStreamError>);
    const Bytes junk = {'R', 'I', 'F', 'X'};
    rtl::TMemoryStream stream(junk.data(), junk.size());
    EXPECT_THROW(TkaRIFFAudioReader reader(&stream), EACMAudioReadError);
}

TEST(RiffReader, ChunkIdentifiersMatchInAnyCaseAndOrder)
{
    EXPECT_EQ(Verdict(Riff({Chunk("FMT ", PcmFmt(1, 8000, 8)), Chunk("DATA", kAudio)})), "ok");
    EXPECT_EQ(Verdict(Riff({Chunk("fMt ", PcmFmt(1, 8000, 8)), Chunk("dAtA", kAudio)})), "ok");
    EXPECT_EQ(Verdict(Riff({Data(), Fmt()})), "ok");
    EXPECT_EQ(TrackBytes(Riff({Data(), Fmt()})), kAudio);
    EXPECT_EQ(Verdict(Riff({Fmt(), Chunk("LIST", Pattern(26)), Data()})), "ok");
    EXPECT_EQ(Verdict(Riff({Chunk("fact", {4, 0, 0, 0}), Data(), Chunk("LIST", Pattern(4)), Fmt()})), "ok");
    EXPECT_EQ(Verdict(Riff({Chunk("fmt_", PcmFmt(1, 8000, 8)), Data()})), kInvalid);
}

TEST(RiffReader, RiffAndWaveMustBeExact)
{
    EXPECT_EQ(Verdict(Riff({Fmt(), Data()}, -1, "riff")), kInvalid);
    EXPECT_EQ(Verdict(Riff({Fmt(), Data()}, -1, "RIFF", "wave")), kInvalid);
    EXPECT_EQ(Verdict(Riff({Fmt(), Data()}, -1, "RIFX")), kInvalid);
    EXPECT_EQ(Verdict(Riff({Fmt(), Data()}, -1, "RIFF", "AVI ")), kInvalid);
    EXPECT_EQ(Verdict(Riff({Fmt(), Data()}, 0)), kInvalid) << "RIFF size 0: a writer never completed";
    EXPECT_EQ(Verdict(Riff({Fmt(), Data()}, 5)), "ok") << "the RIFF size is not used otherwise";
    EXPECT_EQ(Verdict(Riff({Fmt(), Data()}, 0xFFFFFFFF)), "ok");
}

TEST(RiffReader, MissingChunksAreRejected)
{
    EXPECT_EQ(Verdict({}), kInvalid);
    EXPECT_EQ(Verdict(Riff({})), kInvalid);
    EXPECT_EQ(Verdict(Riff({Fmt()})), kInvalid);
    EXPECT_EQ(Verdict(Riff({Data()})), kInvalid);
    EXPECT_EQ(Verdict(Riff({Fmt(), Chunk("LIST", Pattern(10))})), kInvalid);
}

TEST(RiffReader, FmtChunkOfAtMost512Bytes)
{
    Bytes body = PcmFmt(2, 44100, 16);
    body.resize(512, 0x33);
    {
        const Bytes file = Riff({Chunk("fmt ", body), Data()});
        rtl::TMemoryStream stream(file.data(), file.size());
        TkaRIFFAudioReader reader(&stream);
        EXPECT_EQ(Bytes(reader.GetFormat()->Buffer(), reader.GetFormat()->Buffer() + 512), body);
    }
    body.push_back(0x33);
    EXPECT_EQ(Verdict(Riff({Chunk("fmt ", body), Data()})), kInvalid);
    EXPECT_EQ(Verdict(Riff({Data(), Chunk("fmt ", body)})), kInvalid);
}

TEST(RiffReader, ShortFmtChunkKeepsTheDefaultsBeyondIt)
{
    Bytes body = PcmFmt(1, 8000, 16);
    body.resize(14); // an old WAVEFORMAT without wBitsPerSample
    const Bytes file = Riff({Chunk("fmt ", body), Data()});
    rtl::TMemoryStream stream(file.data(), file.size());
    TkaRIFFAudioReader reader(&stream);
    EXPECT_EQ(reader.GetFormat()->Channels(), 1);
    EXPECT_EQ(reader.GetFormat()->SamplesPerSec(), 8000u);
    EXPECT_EQ(reader.GetFormat()->BitsPerSample(), 8) << "the default";
    EXPECT_EQ(reader.GetFormat()->ExtraSize(), 0);
}

TEST(RiffReader, OddSizedChunksWithOrWithoutTheirPadByte)
{
    // Without the pad (the tutor's own files and older ones): the next chunk follows at once.
    EXPECT_EQ(Verdict(Riff({Chunk("LIST", Pattern(3)), Fmt(), Data()})), "ok");
    const Bytes odd = Pattern(999);
    EXPECT_EQ(TrackBytes(Riff({Fmt(), Chunk("data", odd)})), odd);
    EXPECT_EQ(TrackBytes(Riff({Chunk("data", odd), Fmt()})), odd);

    // With the pad, as common writers store a LIST/INFO, iXML or ID3 chunk: before the
    // fmt chunk, before the data chunk, and after an odd data chunk.
    for (const std::string id : {"LIST", "iXML", "id3 "}) {
        const Bytes tag = PaddedChunk(id, Pattern(27, 'A'));
        for (const Bytes& file :
             {Riff({tag, Fmt(), Data()}), Riff({Fmt(), tag, Data()}), Riff({tag, Fmt(), tag, Data(odd)}),
              Riff({PaddedChunk("data", odd), tag, Fmt()})}) {
            rtl::TMemoryStream stream(file.data(), file.size());
            TkaRIFFAudioReader reader(&stream);
            EXPECT_EQ(reader.GetFormat()->SamplesPerSec(), 44100u) << id;
            EXPECT_EQ(reader.GetFormat()->BitsPerSample(), 16) << id;
            const Bytes audio = TrackBytes(file);
            EXPECT_TRUE(audio == kAudio || audio == odd) << id << " " << audio.size();
        }
    }
    // A padded tag before a data chunk of unknown length, as a streaming writer leaves it.
    EXPECT_EQ(TrackBytes(Riff({Fmt(), PaddedChunk("LIST", Pattern(5)), Chunk("data", kAudio, 0xFFFFFFFF)})),
              kAudio);
    // Unpadded files whose next chunk does not look like one stay read as they stand: the
    // byte after is taken only for a printable identifier with a size inside the file.
    const Bytes unprintable = Chunk(std::string("\x01\x02\x03\x04"), Bytes(6, 0));
    EXPECT_EQ(TrackBytes(Riff({Chunk("LIST", Pattern(3)), unprintable, Fmt(), Data()})), kAudio);
    Bytes huge(32, 0);
    huge[0] = 0x7F; // read from one byte on, the size would be 0x7F000000
    const Bytes oversized = Chunk(std::string("\x01") + "bcd", huge);
    EXPECT_EQ(TrackBytes(Riff({Chunk("LIST", Pattern(3)), oversized, Fmt(), Data()})), kAudio);
}

TEST(RiffReader, HugeChunkSizesEndTheScanInsteadOfSeekingBack)
{
    // As signed values these would move back; 0xFFFFFFF8 would land on the same header again.
    for (const uint32_t huge : {0x80000000u, 0xFFFFFFF8u, 0xFFFFFFF4u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Verdict(Riff({Chunk("LIST", Pattern(8), huge), Fmt(), Data()})), kInvalid) << huge;
        EXPECT_EQ(Verdict(Riff({Chunk("data", kAudio, huge), Fmt()})), kInvalid) << huge;
        EXPECT_EQ(Verdict(Riff({Fmt(), Chunk("fmt ", Pattern(16), huge), Data()})), kInvalid) << huge;
        EXPECT_EQ(Verdict(Riff({Fmt(), Data(), Chunk("LIST", Pattern(8), huge)})), "ok") << huge;
        // A data chunk of unknown length (as streaming writers leave it) holds the rest.
        EXPECT_EQ(TrackBytes(Riff({Fmt(), Chunk("data", kAudio, huge)})), kAudio) << huge;
    }
}

TEST(RiffReader, DataRunningPastTheEndHoldsWhatTheFileHolds)
{
    const Bytes file = Riff({Fmt(), Chunk("data", Bytes(kAudio.begin(), kAudio.begin() + 500), 1000)});
    rtl::TMemoryStream stream(file.data(), file.size());
    TkaRIFFAudioReader reader(&stream);
    EXPECT_EQ(reader.DataSize(), 500);
    EXPECT_EQ(TrackBytes(file), Bytes(kAudio.begin(), kAudio.begin() + 500));
}

TEST(RiffReader, EmptyDataChunkAtTheEndGivesAnEmptyTrack)
{
    const Bytes file = Riff({Fmt(), Chunk("data", {})});
    rtl::TMemoryStream stream(file.data(), file.size());
    TkaRIFFAudioReader reader(&stream);
    TkaSubStream* sub = reader.CreateTrackStream(0);
    uint8_t b = 0;
    EXPECT_EQ(sub->Size(), 0);
    EXPECT_EQ(sub->Read(&b, 1), 0);
}

// Every prefix of a file: a header or fmt body cut short is ignored, never read past.
TEST(RiffReader, TruncatedAtEveryLength)
{
    const Bytes plain = Riff({Fmt(), Data()});
    for (size_t n = 0; n <= plain.size(); ++n) {
        const Bytes cut(plain.begin(), plain.begin() + static_cast<ptrdiff_t>(n));
        ASSERT_EQ(Verdict(cut), n >= 44 ? "ok" : kInvalid) << n;
        if (n >= 44) {
            ASSERT_EQ(TrackBytes(cut),
                      Bytes(kAudio.begin(), kAudio.begin() + static_cast<ptrdiff_t>(n - 44)));
        }
    }
    // Data first: nothing is acceptable until the whole fmt body is there.
    const Bytes reversed = Riff({Chunk("LIST", Pattern(5)), Data(Pattern(100)), Fmt()});
    for (size_t n = 0; n <= reversed.size(); ++n) {
        const Bytes cut(reversed.begin(), reversed.begin() + static_cast<ptrdiff_t>(n));
        ASSERT_EQ(Verdict(cut), n == reversed.size() ? "ok" : kInvalid) << n;
    }
}

TEST(RiffReader, ReadsFromTheStreamsPosition)
{
    Bytes file = Pattern(37);
    const Bytes wave = Riff({Fmt(), Data()});
    file.insert(file.end(), wave.begin(), wave.end());
    rtl::TMemoryStream stream(file.data(), file.size());
    stream.Seek(37, TSeekOrigin::soBeginning);
    TkaRIFFAudioReader reader(&stream);
    EXPECT_EQ(reader.DataStart(), 37 + 44);
    EXPECT_EQ(TrackBytes(wave), kAudio);
}

TEST(RiffReader, ReadsARealFile)
{
    const Bytes wave = Riff({Chunk("LIST", Pattern(31)), Data(), Fmt()});
    const auto path = std::filesystem::temp_directory_path() / "riff_reader_real_file.wav";
    rtl::TMemoryStream(wave.data(), wave.size()).SaveToFile(path);
    {
        rtl::TFileStream file(path, rtl::TFileMode::fmOpenRead);
        TkaRIFFAudioReader reader(&file);
        TkaSubStream* sub = reader.CreateTrackStream(0);
        Bytes got(1000);
        EXPECT_EQ(sub->Read(got.data(), 1000), 1000);
        EXPECT_EQ(got, kAudio);
    }
    std::filesystem::remove(path);
}

TEST(RiffReader, TrackSelection)
{
    const Bytes file = Riff({Fmt(), Data()});
    rtl::TMemoryStream stream(file.data(), file.size());
    TkaRIFFAudioReader reader(&stream);
    EXPECT_EQ(reader.CurrentTrack(), 0);
    EXPECT_FALSE(reader.Eof());
    stream.Seek(0, TSeekOrigin::soBeginning);
    reader.SelectTrack(0);
    EXPECT_EQ(stream.Position(), 44);
    reader.NextTrack();
    EXPECT_TRUE(reader.Eof());
    EXPECT_EQ(reader.CurrentTrack(), 0);

    stream.Seek(0, TSeekOrigin::soBeginning);
    TkaRIFFAudioReader other(&stream);
    stream.Seek(3, TSeekOrigin::soBeginning);
    other.LastTrack();
    EXPECT_TRUE(other.Eof());
    EXPECT_EQ(other.CurrentTrack(), 0);
    EXPECT_EQ(stream.Position(), 44);
}

TEST(RiffReader, OwnsItsSubStreamsUntilTheirUsersFreeThem)
{
    const Bytes file = Riff({Fmt(), Data()});
    rtl::TMemoryStream stream(file.data(), file.size());
    int destroyed = 0;
    auto counting = [&destroyed](TkaSubStream* sub) {
        auto reader_handler = sub->OnDestroy;
        sub->OnDestroy = [&destroyed, reader_handler](TkaSubStream* s) {
            ++destroyed;
            reader_handler(s);
        };
    };
    {
        auto reader = std::make_unique<TkaRIFFAudioReader>(&stream);
        TkaSubStream* a = reader->CreateTrackStream(0);
        TkaSubStream* b = reader->CreateTrackStream(0);
        TkaSubStream* c = reader->CreateTrackStream(0);
        counting(a);
        counting(b);
        counting(c);
        EXPECT_EQ(reader->SubStreamCount(), 3);

        // Two windows over one stream read independently.
        Bytes x(10);
        Bytes y(10);
        a->Seek(500, TSeekOrigin::soBeginning);
        b->Read(y.data(), 10);
        a->Read(x.data(), 10);
        EXPECT_EQ(x, Bytes(kAudio.begin() + 500, kAudio.begin() + 510));
        EXPECT_EQ(y, Bytes(kAudio.begin(), kAudio.begin() + 10));

        delete b; // the user frees one early
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(reader->SubStreamCount(), 2);
        reader.reset(); // frees only what remains
        EXPECT_EQ(destroyed, 3);
    }
    EXPECT_EQ(stream.Size(), 1044) << "the stream is not the reader's";
}

TEST(RiffReader, NullStreamIsAnAssertion)
{
    try {
        TkaRIFFAudioReader reader(nullptr);
        FAIL();
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Message().rfind("Assertion failure", 0), 0u);
    }
}

// Garbage after a valid start: accepted or "Invalid file format.", nothing else, and any
// accepted track lies inside the file.
TEST(RiffReader, GarbageChunksGetOnlyTheFormatError)
{
    std::mt19937 random(20261208);
    const std::vector<std::string> ids = {"fmt ", "FMT ", "data", "DATA", "LIST", "junk"};
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<Bytes> chunks;
        const int count = static_cast<int>(random() % 5);
        for (int i = 0; i < count; ++i) {
            Bytes body(random() % 40);
            for (auto& b : body)
                b = static_cast<uint8_t>(random());
            const int64_t declared = random() % 3 == 0 ? static_cast<int64_t>(random()) : -1;
            chunks.push_back(Chunk(ids[random() % ids.size()], body, declared));
        }
        Bytes file = Riff(chunks);
        file.resize(file.size() - std::min<size_t>(file.size(), random() % 8));
        rtl::TMemoryStream stream(file.data(), file.size());
        try {
            TkaRIFFAudioReader reader(&stream);
            ++accepted;
            ASSERT_LE(int64_t{reader.DataStart()} + reader.DataSize(), static_cast<int64_t>(file.size()));
            TkaSubStream* sub = reader.CreateTrackStream(0);
            Bytes all(static_cast<size_t>(sub->Size()));
            ASSERT_EQ(sub->Read(all.data(), static_cast<int32_t>(all.size())), reader.DataSize());
        } catch (const EACMAudioReadError& e) {
            ASSERT_EQ(e.Message(), kInvalid);
        }
    }
    EXPECT_GT(accepted, 10);
}
