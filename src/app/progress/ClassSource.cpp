#include "app/progress/ClassSource.h"

#include "platform/fs/Files.h"

#include <exception>

namespace app::progress {

namespace {

// The player a record file stands for, as the player list shows it: the name up to its first ".".
std::string PlayerOf(const std::string& fileName)
{
    return fileName.substr(0, fileName.find('.'));
}

ClassMember ReadMember(const std::filesystem::path& record, std::string player,
                       const std::map<std::string, std::vector<std::string>>& lessonWords)
{
    ClassMember member;
    member.player = std::move(player);
    try {
        member.source = LoadProgressSource(member.player, record, lessonWords);
    } catch (const std::exception& error) {
        member.problem = std::string("The record could not be read: ") + error.what();
        return member;
    }
    const History& history = member.source->history;
    if (history.unreadable)
        member.problem = "The history could not be read.";
    else if (history.skippedLines == 1)
        member.problem = "1 damaged line of the history was skipped.";
    else if (history.skippedLines > 1)
        member.problem = std::to_string(history.skippedLines) + " damaged lines of the history were skipped.";
    return member;
}

} // namespace

std::vector<ClassMember> LoadClass(const std::filesystem::path& children,
                                   const std::map<std::string, std::vector<std::string>>& lessonWords,
                                   const ClassProgress& progress, const std::atomic<bool>& stop)
{
    std::vector<platform::DirEntry> records = platform::ListFolder(children, "*.xml");
    std::erase_if(records, [](const platform::DirEntry& entry) { return entry.directory; });
    std::vector<ClassMember> members;
    members.reserve(records.size());
    for (const platform::DirEntry& entry : records) {
        if (stop)
            break;
        members.push_back(ReadMember(children / entry.name, PlayerOf(entry.name), lessonWords));
        if (progress)
            progress(members.size(), records.size());
    }
    return members;
}

} // namespace app::progress
