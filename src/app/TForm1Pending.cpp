// Handlers of the flows that are not built yet: the clip player, the lesson editor,
// the spelling test, the spoken spelling and the practice drill. The window binds
// them all now; each flow replaces its part of this file with its own source file
// (TForm1Clips.cpp, TForm1Editor.cpp, TForm1Test.cpp, TForm1Spelling.cpp,
// TForm1Practice.cpp) and deletes it here.

#include "app/TForm1.h"

#include <algorithm>

// ---- Lesson editor (moves to TForm1Editor.cpp) ---------------------------------------

void TForm1::btnAddLessonClick(QObject* /*Sender*/) {}
void TForm1::cbLessionsChange(QObject* /*Sender*/) {}
void TForm1::edSpellingwordChange(QObject* /*Sender*/) {}
void TForm1::edSpellingwordExit(QObject* /*Sender*/) {}
void TForm1::edSpellingwordKeyPress(QObject* /*Sender*/, QChar& /*Key*/) {}
void TForm1::btnRecordClick(QObject* /*Sender*/) {}
void TForm1::btnPlayClick(QObject* /*Sender*/) {}
void TForm1::btnStopClick(QObject* /*Sender*/) {}
void TForm1::ListBox1Click(QObject* /*Sender*/) {}
void TForm1::ListBox1DblClick(QObject* /*Sender*/) {}
void TForm1::PopupMenuPopup(QObject* /*Sender*/) {}

// ---- Spelling test (moves to TForm1Test.cpp) -----------------------------------------

void TForm1::btnStartTestClick(QObject* /*Sender*/) {}

// The run's target: the smallest even number above the lowest correct count, counts
// of 2000 and more counting as 2000. Needed now by OpenPlayerRecord.
std::int32_t TForm1::ComputeDrawCeiling()
{
    std::int32_t lowest = 2000;
    for (const auto& record : Words)
        lowest = std::min(lowest, record->Correct);
    return (lowest / 2) * 2 + 2;
}

void TForm1::DrawNextWord() {}
void TForm1::btnSayClick(QObject* /*Sender*/) {}
void TForm1::btnCheckItClick(QObject* /*Sender*/) {}
void TForm1::Edit2KeyPress(QObject* /*Sender*/, QChar& /*Key*/) {}
void TForm1::btnPracticeClick(QObject* /*Sender*/) {}

// ---- Spoken spelling (moves to TForm1Spelling.cpp) -----------------------------------

void TForm1::SpellOutWord() {}
void TForm1::SpellLetters() {}

// ---- Practice drill (moves to TForm1Practice.cpp) ------------------------------------

void TForm1::btnStartPracticeClick(QObject* /*Sender*/) {}
void TForm1::NextPracticeWord(bool /*silent*/) {}
void TForm1::ShowPracticeWord() {}
void TForm1::SayItAgainClick(QObject* /*Sender*/) {}
void TForm1::FocusPracticeBox() {}
void TForm1::btnNextClick(QObject* /*Sender*/) {}
void TForm1::edWord1KeyPress(QObject* /*Sender*/, QChar& /*Key*/) {}
void TForm1::edWord1KeyDown(QObject* /*Sender*/, int& /*Key*/, Qt::KeyboardModifiers /*Shift*/) {}
void TForm1::btnForwardClick(QObject* /*Sender*/) {}
void TForm1::btnForwardKeyPress(QObject* /*Sender*/, QChar& /*Key*/) {}
void TForm1::btnReturnToTestClick(QObject* /*Sender*/) {}
void TForm1::btnReturnToTestKeyPress(QObject* /*Sender*/, QChar& /*Key*/) {}
