#include "platform/ui/Shell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
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

// A folder of stand-in freedesktop tools: xdg-mime answers with `program` for every type and
// xdg-open notes the file it was asked to open. PATH points only there for the test's scope.
class FakeDesktop {
public:
    explicit FakeDesktop(const std::string& program)
        : dir_(fs::temp_directory_path() / ("lexorin-fake-desktop-" + std::to_string(::getpid())))
    {
        fs::create_directories(dir_);
        Script("xdg-mime", "echo \"$*\" >> '" + (dir_ / "queries").string() + "'\necho '" + program + "'\n");
        Script("xdg-open", "echo \"$1\" >> '" + (dir_ / "opened").string() + "'\n");
        const char* path = std::getenv("PATH");
        oldPath_ = path ? path : "";
        ::setenv("PATH", dir_.c_str(), 1);
    }
    ~FakeDesktop()
    {
        ::setenv("PATH", oldPath_.c_str(), 1);
        fs::remove_all(dir_);
    }
    FakeDesktop(const FakeDesktop&) = delete;
    FakeDesktop& operator=(const FakeDesktop&) = delete;

    fs::path Dir() const { return dir_; }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(dir_ / name);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void RemoveTool(const std::string& name) const { fs::remove(dir_ / name); }

private:
    void Script(const std::string& name, const std::string& body) const
    {
        std::ofstream(dir_ / name) << "#!/bin/sh\n" << body;
        fs::permissions(dir_ / name, fs::perms::owner_all);
    }

    fs::path dir_;
    std::string oldPath_;
};

fs::path WriteHelp(const fs::path& dir)
{
    const fs::path help = dir / "LexorinHelp.mht";
    std::ofstream(help) << "MIME-Version: 1.0\r\nContent-Type: text/html\r\n\r\n<p>Help</p>\r\n";
    return help;
}

TEST(ShellOpenTest, AFileTypeWithNoProgramOnTheDesktopIsRefusedWithoutOpening)
{
    platform::SetShellOpenHandler({});
    FakeDesktop desktop("");
    const fs::path help = WriteHelp(desktop.Dir());
    EXPECT_FALSE(platform::ShellOpen(help));
    // The archive's own type and the type it refines were both asked about.
    const std::string queries = desktop.Read("queries");
    EXPECT_NE(queries.find("query default application/x-mimearchive"), std::string::npos) << queries;
    EXPECT_NE(queries.find("query default multipart/related"), std::string::npos) << queries;
    EXPECT_EQ(desktop.Read("opened"), "");
}

TEST(ShellOpenTest, WithoutTheFreedesktopToolsNothingCanBeOpened)
{
    platform::SetShellOpenHandler({});
    FakeDesktop desktop("browser.desktop");
    desktop.RemoveTool("xdg-mime");
    EXPECT_FALSE(platform::ShellOpen(WriteHelp(desktop.Dir())));
    EXPECT_EQ(desktop.Read("opened"), "");
}

TEST(ShellOpenTest, AFileTypeWithAProgramIsHandedToTheDesktop)
{
    platform::SetShellOpenHandler({});
    FakeDesktop desktop("archive-viewer.desktop");
    const fs::path help = WriteHelp(desktop.Dir());
    EXPECT_TRUE(platform::ShellOpen(help));
    // xdg-open runs detached; give it a moment to note the file.
    for (int i = 0; i < 100 && desktop.Read("opened").empty(); ++i)
        ::usleep(20000);
    EXPECT_EQ(desktop.Read("opened"), help.string() + "\n");
}
