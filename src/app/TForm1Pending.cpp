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
