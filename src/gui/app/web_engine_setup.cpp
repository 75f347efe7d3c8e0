#include "gui/app/web_engine_setup.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QtGlobal>

#include "gui/app/ui_fonts.h"

namespace quillon {

void PrepareWebEngine() {
    InstallSongFontAliases();
    if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace quillon
