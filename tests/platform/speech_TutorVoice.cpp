// The tutor's voice making a word's clip, the clip file with its mark, and the mark reader
// fed bytes from outside.

#include "platform/speech/TutorVoice.h"
#include "platform/speech/VoiceClipFile.h"
#include "platform/speech/VoiceShaping.h"

#include "support/TempFolderTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>

namespace {

using namespace platform::speech;

double PeakDbOf(const std::vector<int16_t>& frames, size_t from, size_t to)
{
    int peak = 0;
    for (size_t i = from; i < to && i < frames.size(); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(frames[i])));
    return peak ? 20 * std::log10(peak / 32768.0) : -200;
}

uint32_t U32At(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

TEST(TutorVoice, AWordIsSaidTwiceWithAPauseBetweenAtTheBundledLevelInStereo)
{
    const std::vector<int16_t> clip = SpeakWordClip("KITE");
    ASSERT_EQ(clip.size() % 2, 0u);
    const size_t frames = clip.size() / 2;
    // Two sayings of about half a second each and a 0.45 s pause.
    EXPECT_GT(frames, kClipRate * 1.2);
    EXPECT_LT(frames, kClipRate * 3.5);
    for (size_t i = 0; i < clip.size(); i += 2)
        ASSERT_EQ(clip[i], clip[i + 1]) << "both channels alike at frame " << i / 2;
    EXPECT_NEAR(PeakDbOf(clip, 0, clip.size()), -1.0, 0.1);
    // Sound in each half, silence in the middle, no click at either end.
    const size_t middle = clip.size() / 2;
    EXPECT_GT(PeakDbOf(clip, 0, middle - kClipRate / 2), -12);
    EXPECT_GT(PeakDbOf(clip, middle + kClipRate / 2, clip.size()), -12);
    EXPECT_LT(PeakDbOf(clip, middle - kClipRate / 10, middle + kClipRate / 10), -50);
    EXPECT_LT(std::abs(clip.front()) + std::abs(clip.back()), 200);
    // The same word in another letter case is said the same way (the voice's own noise aside).
    EXPECT_NEAR(static_cast<double>(SpeakWordClip("kite").size()), static_cast<double>(clip.size()),
                clip.size() * 0.08);
}

TEST(TutorVoice, SignsTheVoiceCannotSayAreAnErrorNotASilentClip)
{
    for (const char* word : {"'", "--", "'-'"})
        EXPECT_THROW(SpeakWordClip(word), ESpeechError) << word;
}

TEST(VoiceShaping, TrimKeepsFromTheFirstToTheLastLoudWindowAndEmptiesSilence)
{
    Samples samples(1000, 0.0f);
    std::fill(samples.begin() + 300, samples.begin() + 600, 0.5f);
    samples[100] = 0.9f; // a lone click shorter than the window
    TrimSilence(samples, 1000, -10, 0.01);
    // The sound, with at most a window's worth of the quiet on either side; the click is gone.
    EXPECT_GE(samples.size(), 300u);
    EXPECT_LE(samples.size(), 320u);
    EXPECT_EQ(std::count(samples.begin(), samples.end(), 0.5f), 300);
    EXPECT_EQ(std::count(samples.begin(), samples.end(), 0.9f), 0);
    Samples quiet(1000, 0.001f);
    TrimSilence(quiet, 1000, -10, 0.01);
    EXPECT_TRUE(quiet.empty());
}

// ---- The clip file and its mark -------------------------------------------------------------

class VoiceClipFileTest : public TempFolderTest {};

TEST_F(VoiceClipFileTest, AMarkedClipIsAWaveWithOneEvenInfoChunkBeforeTheDataThatItsSizesCover)
{
    const std::vector<int16_t> frames = {1, -1, 2, -2, 300, -300};
    const std::string bytes = MarkedClipBytes(frames);
    ASSERT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(U32At(bytes, 16), 16u);
    EXPECT_EQ(U32At(bytes, 24), 44100u);
    size_t at = 36;
    ASSERT_EQ(bytes.substr(at, 4), "LIST");
    const uint32_t listSize = U32At(bytes, at + 4);
    EXPECT_EQ(bytes.substr(at + 8, 8), "INFOISFT");
    const uint32_t textSize = U32At(bytes, at + 16);
    EXPECT_EQ(textSize % 2, 0u);
    EXPECT_EQ(listSize, 4 + 8 + textSize);
    EXPECT_EQ(std::string(bytes.c_str() + at + 20), kTutorVoiceMark);
    at += 8 + listSize;
    ASSERT_EQ(bytes.substr(at, 4), "data");
    EXPECT_EQ(U32At(bytes, at + 4), frames.size() * 2);
    EXPECT_EQ(0, std::memcmp(bytes.data() + at + 8, frames.data(), frames.size() * 2));
    EXPECT_TRUE(HasTutorVoiceMark(bytes));

    WriteMarkedClip(dir_ / "KITE.wav", frames);
    EXPECT_TRUE(IsTutorVoiceClip(dir_ / "KITE.wav"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1) << "no temporary file left";
    EXPECT_FALSE(IsTutorVoiceClip(dir_ / "MISSING.wav"));
    EXPECT_FALSE(IsTutorVoiceClip(dir_)); // a folder
}

TEST_F(VoiceClipFileTest, OnlyTheMarkWithinTheFirstFourKilobytesAndBeforeTheDataCounts)
{
    const std::string marked = MarkedClipBytes({0, 0});
    const size_t list = 36, data = marked.find("data");
    const std::string listChunk = marked.substr(list, data - list);
    const std::string head = marked.substr(0, list), tail = marked.substr(data);

    // Another software's name, or the mark in another chunk type, is no mark.
    std::string other = marked;
    other[list + 20] = 'X';
    EXPECT_FALSE(HasTutorVoiceMark(other));
    std::string notInfo = marked;
    std::memcpy(notInfo.data() + list + 8, "adtl", 4);
    EXPECT_FALSE(HasTutorVoiceMark(notInfo));
    // After the data chunk: a recording that merely ends in those bytes.
    EXPECT_FALSE(HasTutorVoiceMark(head + tail + listChunk));
    // Pushed past 4 KiB by a large chunk before it.
    std::string padding = "JUNK";
    const uint32_t big = 4096;
    padding.append(reinterpret_cast<const char*>(&big), 4);
    padding.append(big, '\0');
    EXPECT_FALSE(HasTutorVoiceMark(head + padding + listChunk + tail));
    // A small chunk before it is skipped over, odd sizes with their pad byte.
    std::string odd = "JUNK";
    const uint32_t three = 3;
    odd.append(reinterpret_cast<const char*>(&three), 4);
    odd.append("abc\0", 4);
    EXPECT_TRUE(HasTutorVoiceMark(head + odd + listChunk + tail));
}

TEST_F(VoiceClipFileTest, HostileBytesAreNeverAMarkAndNeverReadPastTheirEnd)
{
    const std::string marked = MarkedClipBytes({0, 0});
    // Every cut of a marked file before the end of its mark is no mark.
    const size_t markEnd = marked.find("data");
    for (size_t cut = 0; cut < markEnd; ++cut)
        EXPECT_FALSE(HasTutorVoiceMark(std::string_view(marked).substr(0, cut))) << cut;
    // Sizes that run past the end, or would wrap when added, at each size field.
    for (const size_t field : {4u, 16u, 40u, 52u}) {
        for (const uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF8u, 0x80000000u, 4095u}) {
            std::string bad = marked;
            std::memcpy(bad.data() + field, &size, 4);
            (void)HasTutorVoiceMark(bad); // must simply return; the sanitizers watch the reads
        }
    }
    // Random bytes behind a valid start, many times over.
    std::mt19937 random(1234);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = marked.substr(0, 12);
        bytes.resize(12 + random() % 200);
        for (size_t i = 12; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(random());
        if (round % 2)
            std::memcpy(bytes.data() + 12, "LIST", std::min<size_t>(4, bytes.size() - 12));
        EXPECT_FALSE(HasTutorVoiceMark(bytes));
    }
    std::ofstream(dir_ / "huge.wav", std::ios::binary) << std::string(100000, 'R');
    EXPECT_FALSE(IsTutorVoiceClip(dir_ / "huge.wav"));
}

} // namespace
