#pragma once

// The window on its temporary content folder with the virtual sound device at full speed,
// shown, with the clip waits and the new-lesson pause shortened.

#include "AppTestFixture.h"
#include "clips_wave.h"

#include "platform/wave/VirtualAudio.h"

#include <QCoreApplication>

#include <functional>
#include <thread>

class ClipFormTest : public FormTest {
protected:
    using VirtualAudio = platform::wave::VirtualAudio;
    using Direction = platform::wave::Direction;

    void SetUp() override
    {
        VirtualAudio::instance().reset();
        VirtualAudio::instance().setSpeed(0);
        FormTest::SetUp();
        UsePrivateTrash();
        form_->ClipWaitPassSleep = std::chrono::milliseconds(1);
        form_->NewLessonSettle = std::chrono::milliseconds(0);
        CountRecordedBytes();
    }

    // Counts the converted recorded audio the window's handler has written.
    void CountRecordedBytes()
    {
        auto handler = form_->RecordConvert->OnAudioConverted;
        form_->RecordConvert->OnAudioConverted = [this, handler](rtl::TComponent* sender, const void* data,
                                                                 int32_t size, bool& abort) {
            handler(sender, data, size, abort);
            recorded_ += static_cast<uint64_t>(size);
        };
    }

    void TearDown() override
    {
        FormTest::TearDown();
        VirtualAudio::instance().reset();
    }

    // Shows the window (FormShow) and opens the editor page.
    void ShowEditor()
    {
        Show();
        form_->PageControl1->setCurrentWidget(form_->TabSheet2);
        QCoreApplication::processEvents();
    }

    // Chooses a lesson in the editor's list with the mouse and keyboard (the folder is made).
    void ChooseLesson(const std::string& name)
    {
        MakeFolder(name);
        DropDown(form_->cbLessions);
        const int index = form_->cbLessions->findText(QString::fromStdString(name));
        ASSERT_GE(index, 0) << name;
        Choose(form_->cbLessions, index);
        ASSERT_EQ(form_->cbLessions->currentText().toStdString(), name);
        Reactivate();
    }

    // The drop-down's popups leave the window inactive once their events are handled: make
    // it the active window again, as the user's next click would.
    void Reactivate()
    {
        QCoreApplication::processEvents();
        QApplication::setActiveWindow(form_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }

    // Types a word into the empty word box.
    void TypeWord(const QString& word)
    {
        form_->edSpellingword->setFocus();
        form_->edSpellingword->clear();
        QTest::keyClicks(form_->edSpellingword, word);
    }

    // Handles events until `done` holds, at most `passes` passes of at least a millisecond
    // each (true when it held). The device threads may lag behind on a loaded machine.
    static bool PumpUntil(const std::function<bool()>& done, int passes = 20000)
    {
        for (int i = 0; i < passes; ++i) {
            if (done())
                return true;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }

    // Records until at least `bytes` more have been written to the clip.
    bool PumpRecorded(uint64_t bytes)
    {
        const uint64_t start = recorded_;
        return PumpUntil([&] { return recorded_ - start >= bytes; });
    }
    uint64_t recorded_ = 0;

    uint64_t PlayedBytes() const
    {
        uint64_t total = 0;
        for (const auto& clip : VirtualAudio::instance().played())
            total += clip.byteCount;
        return total;
    }

    std::vector<std::string> Errors() const { return BoxTexts(platform::DialogKind::Error); }

    QPoint ItemCentre(int row) const
    {
        return form_->ListBox1->visualItemRect(form_->ListBox1->item(row)).center();
    }
    void ClickItem(int row)
    {
        QTest::mouseClick(form_->ListBox1->viewport(), Qt::LeftButton, {}, ItemCentre(row));
    }
    // A double click as the mouse makes it: a click, then the second press as a double click.
    void DoubleClickItem(int row)
    {
        ClickItem(row);
        QTest::mouseDClick(form_->ListBox1->viewport(), Qt::LeftButton, {}, ItemCentre(row));
    }
};
