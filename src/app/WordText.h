#pragma once

// The text of a word as the editor, the test and the drill read it: blanks around a
// word are no part of it, and only the letters a to z change case.

#include <string>
#include <string_view>

// `text` without its leading and trailing blanks (spaces, tabs, line breaks); blanks
// inside are kept.
std::string_view TrimBlanks(std::string_view text);

// A word typed into the editor as it names its clip: trimmed, then a to z upper-cased.
std::string EditorWord(std::string_view typed);
