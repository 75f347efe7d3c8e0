// fetchwell-gui: the downloader's window. `fetchwell` without arguments
// starts it, so the reader's download button opens it too.
#include <cstdio>

#include <QApplication>

#include "core/platform/program_folder.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
#include "gui/app/ui_fonts.h"
#include "gui/app/web_engine_setup.h"
#include "gui/downloader/browser_command_line.h"
#include "gui/downloader/fetchwell_exit.h"
#include "gui/downloader/fetchwell_window.h"

int main(int argc, char** argv) {
    // Before anything asks for the program folder: the downloader has its own.
    quillon::SetProgramHomeVariable("FETCHWELL_HOME", "fetchwell/");
    if (quillon::HasBrowserOption(argc, argv)) {
        std::string error;
        if (!quillon::PrepareProgramFolder(error)) {
            std::fprintf(stderr, "fetchwell: %s\n", error.c_str());
            return 1;
        }
        return quillon::RunBrowserCommandLine(argc, argv);
    }
    quillon::PrepareWebEngine();
    QApplication app(argc, argv);
    quillon::RegisterFontSubstitutions();
    quillon::SetMessageTitle(QStringLiteral("Fetchwell"));
    std::string error;
    if (!quillon::PrepareProgramFolder(error)) {
        std::fprintf(stderr, "fetchwell: %s\n", error.c_str());
        quillon::QtMessenger().Inform(
            quillon::ToGbk(QStringLiteral("程序文件夹无法使用，设置无法保存，程序将退出。\n\n%1")
                               .arg(quillon::FromUtf8(error))),
            quillon::MessageKind::Warning);
        return 1;
    }
    quillon::EnterProgramFolder();
    int rc = 0;
    {
        quillon::FetchwellWindow window;
        window.show();
        rc = app.exec();
    }
#if QUILLON_SELF_UPDATE
    quillon::RunFetchwellExit();
#endif
    return rc;
}
