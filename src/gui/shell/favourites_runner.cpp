#include "gui/shell/favourites_runner.h"

#include <QPointer>

#include "gui/net/favourites_dialog.h"
#include "gui/shell/main_frame.h"

namespace quillon {

void RegisterFavouritesDialog() {
    CMainFrame::SetFavouritesRunner([](CMainFrame* frame) {
        QPointer<CMainFrame> target(frame);
        RunFavouritesDialog(frame, [target](const QString& url) {
            if (target) target->OpenTab(url, true);
        });
    });
}

}  // namespace quillon
