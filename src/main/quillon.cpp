#include <QApplication>

#include "gui/aids/scroll_display.h"
#include "gui/aids/speech_registration.h"
#include "gui/aids/word_lookup.h"
#include "gui/app/application.h"
#include "gui/app/web_engine_setup.h"
#include "gui/library/bookshelf_panel.h"
#include "gui/shell/book_search_panel.h"
#include "gui/shell/favourites_runner.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/reading_panel.h"
#include "gui/shell/update_starter.h"

int main(int argc, char** argv) {
    quillon::PrepareWebEngine();
    QApplication app(argc, argv);
    quillon::StartApplication();
    quillon::RegisterBookshelfPanel();
    quillon::RegisterReadingPanel();
    quillon::RegisterBookSearchPanel();
    quillon::RegisterSpeechReading();
    quillon::RegisterScrollDisplay();
    quillon::RegisterWordLookup();
    quillon::RegisterFavouritesDialog();
    quillon::CMainFrame::SetUpdateWorkerStarter(quillon::StartUpdateThread);
    int rc = 0;
    {
        // The frame saves its placement when destroyed, before the exit
        // clean-up below runs.
        quillon::CMainFrame frame;
        frame.show();
        rc = app.exec();
    }
    quillon::ExitApplication();
    return rc;
}
