// fetchwell: the downloader. A first argument beginning with "--" runs the
// command line; anything else is for the window.
#include <cstring>

#include <QApplication>

#include "core/downloader/command_line.h"
#include "core/platform/program_folder.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/ui_fonts.h"
#include "gui/app/web_engine_setup.h"
#include "gui/downloader/browser_command_line.h"
#include "gui/downloader/fetchwell_exit.h"
#include "gui/downloader/fetchwell_window.h"

int main(int argc, char** argv) {
    // Before anything asks for the program folder: the downloader has its own.
    quillon::SetProgramHomeVariable("FETCHWELL_HOME");
    if (quillon::HasBrowserOption(argc, argv)) return quillon::RunBrowserCommandLine(argc, argv);
    if (argc > 1 && std::strncmp(argv[1], "--", 2) == 0) return quillon::RunCommandLine(argc, argv);
    quillon::PrepareWebEngine();
    QApplication app(argc, argv);
    quillon::RegisterFontSubstitutions();
    quillon::SetMessageTitle(QStringLiteral("Fetchwell"));
    quillon::EnterProgramFolder();
    int rc = 0;
    {
        quillon::FetchwellWindow window;
        window.show();
        rc = app.exec();
    }
    quillon::RunFetchwellExit();
    return rc;
}
