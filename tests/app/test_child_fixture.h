#pragma once

// The child's side of the window on a temporary content folder: a lesson of word clips,
// prompt and letter clips that each have a length of their own (so what the virtual
// device played tells which clips played, in which order), a player record, and the
// steps a child takes.

#include "AppTestFixture.h"

#include "platform/wave/VirtualAudio.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class ChildTest : public FormTest {
protected:
    void SetUp() override
    {
        platform::wave::VirtualAudio::instance().reset();
        platform::wave::VirtualAudio::instance().setSpeed(0);
        FormTest::SetUp();
        form_->ClipWaitPassSleep = std::chrono::milliseconds(1);
        form_->RightAnswerPause = std::chrono::milliseconds(0);
        form_->FixedRandomSeed = 20261208u;
        for (const char* prompt : {"Correct", "IsSpelled", "tryagain", "LESSON", "PRACTICECOMPLETE"})
            AddClip(std::string("Alpha/") + prompt + ".wav", prompt);
        for (char c = 'A'; c <= 'Z'; ++c)
            AddClip(std::string("Alpha/") + c + ".wav", std::string(1, c));
    }

    // A mono 22050 Hz 16-bit WAVE file of `frames` frames of a tone.
    static std::string ToneWave(uint32_t frames)
    {
        const uint32_t rate = 22050;
        const uint32_t dataSize = frames * 2;
        std::string out;
        auto u32 = [&](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
        auto u16 = [&](uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); };
        out += "RIFF";
        u32(36 + dataSize);
        out += "WAVEfmt ";
        u32(16);
        u16(1);
        u16(1);
        u32(rate);
        u32(rate * 2);
        u16(2);
        u16(16);
        out += "data";
        u32(dataSize);
        for (uint32_t i = 0; i < frames; ++i)
            u16(static_cast<uint16_t>(static_cast<int16_t>(6000 * std::sin(i * 2 * M_PI * 330 / rate))));
        return out;
    }

    // Writes a clip whose length names it in what the device plays.
    void AddClip(const std::string& relative, const std::string& name)
    {
        const uint32_t frames = 1000 + 7 * static_cast<uint32_t>(names_.size());
        names_[frames] = name;
        WriteFile(relative, ToneWave(frames));
    }

    void MakeLesson(const std::string& lesson, const std::vector<std::string>& words)
    {
        MakeFolder(lesson);
        for (const auto& word : words)
            AddClip(lesson + "/" + word + ".wav", "word:" + word);
    }

    // What the device played since the last call, by clip name.
    std::vector<std::string> Heard()
    {
        std::vector<std::string> heard;
        const auto played = platform::wave::VirtualAudio::instance().played();
        for (std::size_t i = seen_; i < played.size(); ++i) {
            const auto& clip = played[i];
            const uint64_t frames = clip.format.nBlockAlign ? clip.byteCount / clip.format.nBlockAlign : 0;
            const auto found = names_.find(static_cast<uint32_t>(frames));
            heard.push_back(found == names_.end() ? "?" + std::to_string(frames) : found->second);
        }
        seen_ = played.size();
        return heard;
    }

    void WritePlayer(const std::string& player, const std::string& xml)
    {
        WriteFile("Children/" + player + ".xml", xml);
    }

    // Shows the window and chooses the only lesson and the first player.
    void ChooseLessonAndPlayer()
    {
        Show();
        Choose(form_->ComboBox2, 0);
        ASSERT_FALSE(form_->ComboBox2->currentText().isEmpty());
        Choose(form_->ComboBox3, 0);
        ASSERT_TRUE(form_->btnStartTest->isEnabled());
        // The lists' pop-ups took the activation: the window takes it back, so the
        // keyboard focus is where the child would type.
        form_->ComboBox3->hidePopup();
        QTest::qWait(20);
        QApplication::setActiveWindow(form_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        Heard();
    }

    void StartTest()
    {
        ChooseLessonAndPlayer();
        QTest::mouseClick(form_->btnStartTest, Qt::LeftButton);
    }

    void StartPractice()
    {
        ChooseLessonAndPlayer();
        QTest::mouseClick(form_->btnStartPractice, Qt::LeftButton);
    }

    // Types an answer into the answer box and presses Enter, as a child does.
    void Answer(const QString& text, Qt::Key enter = Qt::Key_Return)
    {
        form_->Edit2->clear();
        QTest::keyClicks(form_->Edit2, text);
        QTest::keyClick(form_->Edit2, enter);
    }

    std::string Current() const { return form_->CurrentWord ? form_->CurrentWord->Word : std::string(); }

    // Copies the shown word into the three practice boxes and returns to the test.
    void DrillAndReturn()
    {
        const QString word = form_->lblPracticeWord->text();
        for (QLineEdit* box : {form_->edWord1, form_->edWord2, form_->edWord3}) {
            QTest::keyClicks(box, word);
            QTest::keyClick(box, Qt::Key_Return);
        }
        ASSERT_TRUE(form_->btnReturnToTest->isEnabled());
        QTest::keyClick(form_->btnReturnToTest, Qt::Key_Return);
    }

    QWidget* Page() const { return form_->PageControl1->currentWidget(); }

    std::map<uint32_t, std::string> names_;
    std::size_t seen_ = 0;
};
