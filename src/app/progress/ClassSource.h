#pragma once

// Reading the whole class: every record in the players' folder ("*.xml", hidden ones too, as
// the player list takes them) with the history beside it. A player whose files cannot be read
// is kept with the reason, and the rest of the class is read all the same.

#include "app/progress/ClassReport.h"

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace app::progress {

// Told after each player read: how many are done of how many.
using ClassProgress = std::function<void(std::size_t done, std::size_t total)>;

// The players in list order. Reading stops early, with what was read, once `stop` is set.
std::vector<ClassMember> LoadClass(const std::filesystem::path& children,
                                   const std::map<std::string, std::vector<std::string>>& lessonWords,
                                   const ClassProgress& progress, const std::atomic<bool>& stop);

} // namespace app::progress
