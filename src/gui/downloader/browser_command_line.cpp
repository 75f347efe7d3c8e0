#include "gui/downloader/browser_command_line.h"

#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include <QApplication>

#include "core/downloader/command_line.h"
#include "gui/app/web_engine_setup.h"
#include "gui/downloader/browser_page_loader.h"

namespace quillon {

bool HasBrowserOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--browser") == 0) return true;
    }
    return false;
}

int RunBrowserCommandLine(int argc, char** argv) {
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (i == 0 || std::strcmp(argv[i], "--browser") != 0) args.push_back(argv[i]);
    }
    args.push_back(nullptr);
    // Nothing is shown: no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareWebEngine();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    BrowserPageLoader browser;
    const PageLoader loader = browser.MakeLoader();
    int rc = 1;
    // The command line blocks on each page; the pages load on this thread.
    std::thread run([&] {
        rc = RunCommandLine(static_cast<int>(args.size()) - 1, args.data(), stdout, stderr, loader);
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    run.join();
    return rc;
}

}  // namespace quillon
