#pragma once

// Points XDG_CONFIG_HOME and XDG_DATA_HOME at a fresh temporary folder for the life of
// the object, so no choice saved on the machine (a lessons folder, a setting) changes a
// test, and no test leaves one behind. Test mains make one before anything else runs.

#include <filesystem>

class IsolatedUserFolders {
public:
    IsolatedUserFolders();
    ~IsolatedUserFolders();
    IsolatedUserFolders(const IsolatedUserFolders&) = delete;
    IsolatedUserFolders& operator=(const IsolatedUserFolders&) = delete;

private:
    std::filesystem::path root_;
};
