#pragma once

// Element names of the player record.
//
// A word's element is named by WordToNodeName: "'" becomes "XXUUXX", " " becomes
// "XXRRXX", "-" becomes "XXUX", nothing else changes. Stored records rely on that
// rule, so it is kept exactly wherever it gives a valid XML name. Where it would
// not (a word beginning with a digit, holding a parenthesis, a comma, an ampersand,
// or an empty word), the name is escaped instead: "_." followed by the encoded name
// with every byte other than an ASCII letter, digit, "_" or "-" written as "." and
// two upper-case hex digits. Words and lesson names never hold a "." (a word is a
// file name up to its first ".", a lesson a folder name without one), so an escaped
// name never equals a name the plain rule gives, and two different names never
// escape alike.
//
// A lesson's element is named by the lesson itself where that is a valid XML name,
// escaped the same way otherwise; the empty lesson name stays empty (no lesson is
// chosen, and the record refuses it).

#include <string>
#include <string_view>

std::string WordToNodeName(std::string_view word);
std::string LessonToNodeName(std::string_view lesson);

// The escape on its own.
std::string EscapeNodeName(std::string_view name);
