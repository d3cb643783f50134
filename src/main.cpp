#include "app/TApplication.h"
#include "app/TForm1.h"

#include <filesystem>

// The tutor has no command line and no settings: it is given the folder it runs
// from, which holds the lessons, the prompt clips and the player records.
int main(int argc, char** argv)
{
    app::TApplication app(argc, argv);
    const std::filesystem::path exeDir = QCoreApplication::applicationDirPath().toStdString();
    TForm1 window(exeDir);
    window.show();
    return QApplication::exec();
}
