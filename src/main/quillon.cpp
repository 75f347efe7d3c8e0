#include <QApplication>

#include "gui/app/application.h"
#include "gui/app/plain_main_window.h"
#include "gui/app/web_engine_setup.h"

int main(int argc, char** argv) {
    quillon::PrepareWebEngine();
    QApplication app(argc, argv);
    quillon::StartApplication();
    int rc = 0;
    {
        quillon::PlainMainWindow window;
        window.show();
        rc = app.exec();
    }
    quillon::ExitApplication();
    return rc;
}
