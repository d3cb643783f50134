#include "rtl/Stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

using namespace rtl;

namespace {

std::filesystem::path TempFile(const char* name)
{
    auto dir = std::filesystem::temp_directory_path() / ("rtl_stream_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir / name;
}

} // namespace

TEST(MemoryStream, ReadWriteSeekFromEveryOrigin)
{
    TMemoryStream s;
    EXPECT_EQ(s.Write("abcdef", 6), 6);
    EXPECT_EQ(s.Position(), 6);
    EXPECT_EQ(s.Size(), 6);
    EXPECT_EQ(s.Seek(-2, TSeekOrigin::soEnd), 4);
    char two[3] = {};
    EXPECT_EQ(s.Read(two, 5), 2); // only what is left
    EXPECT_STREQ(two, "ef");
    EXPECT_EQ(s.Seek(1, TSeekOrigin::soBeginning), 1);
    EXPECT_EQ(s.Seek(2, TSeekOrigin::soCurrent), 3);
    EXPECT_EQ(s.Seek(-10, TSeekOrigin::soCurrent), -1); // before the start is refused
    EXPECT_EQ(s.Position(), 3);
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros)
{
    TMemoryStream s;
    s.Seek(4, TSeekOrigin::soBeginning);
    s.WriteBuffer("x", 1);
    ASSERT_EQ(s.Size(), 5);
    EXPECT_EQ(s.Bytes()[0], 0);
    EXPECT_EQ(s.Bytes()[4], 'x');
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
}

TEST(MemoryStream, ReadBufferRaisesWhenShort)
{
    TMemoryStream s("ab", 2);
    char buf[4];
    EXPECT_THROW(s.ReadBuffer(buf, 3), EReadError);
    s.SetPosition(0);
    EXPECT_NO_THROW(s.ReadBuffer(buf, 2));
    EXPECT_NO_THROW(s.ReadBuffer(buf, 0));
}

TEST(FileStream, CreateTruncatesAndOpenReadsBack)
{
    const auto path = TempFile("a.bin");
    {
        std::ofstream(path) << "old content that is longer";
    }
    {
        TFileStream out(path, TFileMode::fmCreate);
        out.WriteBuffer("RIFF", 4);
        out.Seek(0, TSeekOrigin::soBeginning);
        out.WriteBuffer("W", 1);
        out.Flush(true);
    }
    TFileStream in(path, TFileMode::fmOpenRead);
    EXPECT_EQ(in.Size(), 4);
    char buf[5] = {};
    EXPECT_EQ(in.Read(buf, 4), 4);
    EXPECT_STREQ(buf, "WIFF");
    EXPECT_EQ(in.Write("z", 1), 0); // read-only
}

TEST(FileStream, MissingFileAndUnwritableFolderRaise)
{
    EXPECT_THROW(TFileStream("/nonexistent/x.wav", TFileMode::fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream("/nonexistent/x.wav", TFileMode::fmCreate), EFCreateError);
    try {
        TFileStream("/nonexistent/y.wav", TFileMode::fmOpenRead);
    } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/y.wav"), std::string::npos);
    }
}

TEST(FileStream, SetSizeAndCopyFrom)
{
    const auto path = TempFile("b.bin");
    TMemoryStream source("0123456789", 10);
    TFileStream out(path, TFileMode::fmCreate);
    source.SetPosition(3);
    EXPECT_EQ(out.CopyFrom(source, 4), 4);
    EXPECT_EQ(out.Size(), 4);
    EXPECT_EQ(out.CopyFrom(source, 0), 10); // 0 copies all of it from the start
    EXPECT_EQ(out.Size(), 14);
    out.SetSize(2);
    EXPECT_EQ(out.Size(), 2);
    EXPECT_THROW(out.CopyFrom(source, 99), EReadError);
}

// The WAVE writer patches its header between blocks and readers and writers take turns
// on one file: every byte must land where it was written, and asking where the stream
// stands must move nothing.
TEST(FileStream, TurnsBetweenReadingWritingAndPatchingKeepEveryByteInPlace)
{
    const auto path = TempFile("c.bin");
    {
        TFileStream s(path, TFileMode::fmCreate);
        s.WriteBuffer("0123456789", 10);
        s.WriteBufferAt(2, "AB", 2);
        EXPECT_EQ(s.Position(), 10);
        s.WriteBuffer("xy", 2);
        s.SetPosition(0);
        char got[5] = {};
        s.ReadBuffer(got, 4);
        EXPECT_STREQ(got, "01AB");
        s.WriteBuffer("CD", 2); // straight after a read
        s.ReadBuffer(got, 2);   // straight after a write
        EXPECT_EQ(std::string(got, 2), "67");
        EXPECT_EQ(s.Position(), 8);
        EXPECT_EQ(s.Size(), 12);
        EXPECT_EQ(s.Position(), 8);
    }
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "01ABCD6789xy");
    TFileStream readOnly(path, TFileMode::fmOpenRead);
    EXPECT_THROW(readOnly.WriteBufferAt(0, "z", 1), EWriteError);
}
