// The window's clips on the real sound server: the welcome clip played at start-up arrives
// at the speakers' monitor, and a word recorded in the lesson editor while a known file is fed
// into the microphone holds that file's audio.

#include "app/TForm1.h"
#include "platform/ui/Dialogs.h"
#include "pulse_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace {

using namespace pulsetest;

// Match of an aligned signal: normalised cross-correlation above this.
constexpr double kThreshold = 0.99;
// Samples at a stream's start that the null sink's monitor may miss (see the device tests).
constexpr size_t kMonitorStartLoss = 2 * 882;

void WriteWave(const std::filesystem::path& file, const std::vector<int16_t>& stereo)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const auto bytes = static_cast<uint32_t>(stereo.size() * 2);
    out.write("RIFF", 4);
    put32(36 + bytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(2);
    put32(44100);
    put32(176400);
    put16(4);
    put16(16);
    out.write("data", 4);
    put32(bytes);
    out.write(reinterpret_cast<const char*>(stereo.data()), bytes);
}

// The 16-bit samples of a canonical 44-byte-header WAVE file.
std::vector<int16_t> ReadSamples(const std::filesystem::path& file, uint16_t* channels, uint32_t* rate)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 44)
        return {};
    std::memcpy(channels, bytes.data() + 22, 2);
    std::memcpy(rate, bytes.data() + 24, 4);
    uint32_t size = 0;
    std::memcpy(&size, bytes.data() + 40, 4);
    size = std::min<uint32_t>(size, static_cast<uint32_t>(bytes.size() - 44));
    std::vector<int16_t> samples(size / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return samples;
}

class AppClipsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp_.isValid());
        dir_ = std::filesystem::path(temp_.path().toStdString());
    }
    void ShowWindow()
    {
        form_ = std::make_unique<TForm1>(dir_);
        form_->show(); // the welcome clip starts once the window has been painted
        QApplication::setActiveWindow(form_.get());
    }

    QTemporaryDir temp_;
    std::filesystem::path dir_;
    std::unique_ptr<TForm1> form_;
    platform::ScopedDialogResponder boxes_{[](const platform::DialogRequest& request) {
        ADD_FAILURE() << "unexpected box: " << request.text;
        return platform::DialogAnswer{};
    }};
};

TEST_F(AppClipsTest, TheWelcomeClipArrivesWholeAtTheSpeakersMonitor)
{
    const auto signal = noise(44100, 5); // one second
    WriteWave(dir_ / "Alpha" / "Welcome.wav", signal);
    MonitorRecorder monitor;
    ASSERT_TRUE(monitor.waitUntilRunning());
    ShowWindow();
    ASSERT_TRUE(pumpUntil([&] { return form_->AudioMode == 2; }, std::chrono::seconds(5)));
    ASSERT_TRUE(pumpUntil([&] { return form_->AudioMode == 0; }, std::chrono::seconds(10)))
        << "the clip did not end by its played events";
    pumpFor(std::chrono::milliseconds(300));
    monitor.stop();

    const auto capture = monitor.samples();
    const long at = align(capture, signal);
    ASSERT_GE(at, 0) << "the welcome clip never reached the monitor";
    ASSERT_LE(static_cast<size_t>(at) + signal.size(), capture.size()) << "the clip's end is missing";
    const size_t lost = leadingLoss(capture, at, signal);
    EXPECT_LE(lost, kMonitorStartLoss);
    const double c =
        correlation(&capture[static_cast<size_t>(at) + lost], &signal[lost], signal.size() - lost);
    std::cout << "[ figures  ] welcome clip correlation at the monitor " << c << ", " << lost / 2
              << " frames missed at its start\n";
    EXPECT_GT(c, kThreshold);
}

TEST_F(AppClipsTest, AWordRecordedWhileTheMicrophoneIsFedHoldsTheFedAudio)
{
    const auto signal = noise(2 * 44100, 17); // two seconds
    const std::filesystem::path fed = dir_ / "fed.wav";
    WriteWave(fed, signal);
    std::filesystem::create_directories(dir_ / "Week_3");
    ShowWindow();
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    form_->cbLessionsDropDown(form_->cbLessions);
    ASSERT_EQ(form_->cbLessions->count(), 1);
    form_->cbLessions->setCurrentIndex(0);
    form_->cbLessionsChange(form_->cbLessions);
    form_->edSpellingword->setText("NOISE");
    ASSERT_TRUE(form_->btnRecord->isEnabled());

    form_->btnRecordClick(form_->btnRecord);
    ASSERT_EQ(form_->AudioMode, 1);
    pumpFor(std::chrono::milliseconds(200));
    const pid_t feeder = spawn({"paplay", "-d", "lexorin_mic_feed", fed.string()}, nullptr);
    ASSERT_TRUE(
        pumpUntil([&] { return waitpid(feeder, nullptr, WNOHANG) == feeder; }, std::chrono::seconds(20)));
    pumpFor(std::chrono::milliseconds(500));
    form_->btnStopClick(form_->btnStop);
    ASSERT_EQ(form_->AudioMode, 0);
    EXPECT_EQ(form_->ListBox1->count(), 1);

    uint16_t channels = 0;
    uint32_t rate = 0;
    const auto recorded = ReadSamples(dir_ / "Week_3" / "NOISE.wav", &channels, &rate);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, 44100u);
    const long at = align(recorded, signal);
    ASSERT_GE(at, 0) << "the fed file was not recorded";
    ASSERT_LE(static_cast<size_t>(at) + signal.size(), recorded.size());
    const double c = correlation(&recorded[static_cast<size_t>(at)], signal.data(), signal.size());
    std::cout << "[ figures  ] recorded word correlation with the fed file " << c << "\n";
    EXPECT_GT(c, kThreshold);
}

} // namespace
