#include "platform/ui/Shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

TEST(ShellOpenTest, HandlerSeesEveryRequestAndGivesTheAnswer)
{
    std::vector<fs::path> opened;
    {
        platform::ScopedShellOpenHandler scoped([&](const fs::path& p) {
            opened.push_back(p);
            return p.filename() == "LexorinHelp.mht";
        });
        EXPECT_TRUE(platform::ShellOpen("/exe/LexorinHelp.mht"));
        EXPECT_FALSE(platform::ShellOpen("/exe/other.txt"));
    }
    EXPECT_EQ(opened, (std::vector<fs::path>{"/exe/LexorinHelp.mht", "/exe/other.txt"}));
}

TEST(ShellOpenTest, AFailingHandlerIsANo)
{
    platform::ScopedShellOpenHandler scoped(
        [](const fs::path&) -> bool { throw std::runtime_error("no desktop"); });
    EXPECT_FALSE(platform::ShellOpen("/exe/LexorinHelp.mht"));
}

TEST(ShellOpenTest, MissingFileIsNotPassedToTheDesktop)
{
    platform::SetShellOpenHandler({});
    const fs::path missing =
        fs::temp_directory_path() / ("lexorin-no-help-" + std::to_string(::getpid())) / "LexorinHelp.mht";
    EXPECT_FALSE(platform::ShellOpen(missing));
    EXPECT_FALSE(platform::ShellOpen(missing.parent_path()));
}
