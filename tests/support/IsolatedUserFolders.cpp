#include "support/IsolatedUserFolders.h"

#include <cstdlib>
#include <string>
#include <system_error>

IsolatedUserFolders::IsolatedUserFolders()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lexorin-user.XXXXXX";
    if (!mkdtemp(pattern.data()))
        std::abort(); // no temporary folder: no test could run safely
    root_ = pattern;
    std::filesystem::create_directories(root_ / "config");
    std::filesystem::create_directories(root_ / "data");
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
}

IsolatedUserFolders::~IsolatedUserFolders()
{
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}
