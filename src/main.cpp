#include "app/ContentFolder.h"
#include "app/TApplication.h"
#include "app/TForm1.h"
#include "platform/ui/Dialogs.h"

#include <QTimer>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

bool AskedFor(int argc, char** argv, const char* option)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}

} // namespace

// The tutor keeps lessons and players in its content folder (see ContentFolder.h): the
// folder given with --content, its own folder when that holds the prompt clips, the
// folder chosen with "Lessons Folder...", else the user's data folder.
int main(int argc, char** argv)
{
    if (AskedFor(argc, argv, "--version")) {
        std::printf("lexorin %s\n", LEXORIN_VERSION);
        return 0;
    }
    if (AskedFor(argc, argv, "--help")) {
        std::printf("usage: lexorin [--content DIR] [--version]\n"
                    "A spelling tutor for children. See lexorin(1).\n");
        return 0;
    }
    app::TApplication application(argc, argv);
    const std::filesystem::path programDir = QCoreApplication::applicationDirPath().toStdString();
    app::ContentPlaces places;
    app::ContentChoice choice;
    try {
        places = app::PlacesFor(programDir, app::ContentArgument(argc, argv));
        choice = app::ChooseContentFolder(places);
    } catch (const app::EContentFolderError& refused) {
        std::fprintf(stderr, "lexorin: %s\n", refused.what());
        platform::ShowErrorBox(refused.what());
        return 2;
    }
    TForm1 window(choice.folder);
    window.ContentOrigin = choice.source;
    window.InstalledDataDir = places.installedData;
    window.SettingsFile = places.settingsFile;
    window.show();
    QTimer::singleShot(
        0, &window, [&window, &choice] { window.RunHandler([&] { window.ReportContentProblem(choice); }); });
    return QApplication::exec();
}
