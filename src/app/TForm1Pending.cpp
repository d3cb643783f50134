// Handlers of the flows that are not built yet: the clip player, the lesson editor,
// the spelling test, the spoken spelling and the practice drill. The window binds
// them all now; each flow replaces its part of this file with its own source file
// (TForm1Clips.cpp, TForm1Editor.cpp, TForm1Test.cpp, TForm1Spelling.cpp,
// TForm1Practice.cpp) and deletes it here.

#include "app/TForm1.h"

#include <algorithm>
