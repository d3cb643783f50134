#include "app/SettingsFile.h"

#include "platform/xml/AtomicFile.h"

#include <fstream>
#include <sstream>

namespace app {

ReadSettings ReadSettingsFile(const std::filesystem::path& file)
{
    ReadSettings read;
    std::error_code error;
    if (!std::filesystem::exists(file, error))
        return read;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        read.damaged = true;
        return read;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        const std::size_t equals = line.find('=');
        if (equals == 0 || equals == std::string::npos) {
            read.damaged = true;
            continue;
        }
        read.values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    if (in.bad())
        read = {{}, true};
    return read;
}

void WriteSettingsFile(const std::filesystem::path& file, const SettingsValues& values)
{
    std::ostringstream text;
    for (const auto& [key, value] : values)
        text << key << '=' << value << '\n';
    platform::WriteFileAtomically(file, text.str());
}

} // namespace app
