#include "gui/shell/reading_panel.h"

#include <QPointer>

#include "gui/aids/scroll_display.h"
#include "gui/app/text_convert.h"
#include "gui/reader/reading_page.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/panel_factories.h"

namespace quillon {

void RegisterReadingPanel() {
    SetReadingPanelFactory([](BrowserPage* host) {
        auto* page = new ReadingPage(host);
        QPointer<CMainFrame> frame = host->frame();
        page->SetFullScreenQuery([frame] { return frame && frame->IsFullScreen(); });
        QObject::connect(page, &ReadingPage::fullScreenRequested, page, [frame](bool enter) {
            if (!frame) return;
            if (enter)
                frame->EnterFullScreen();
            else
                frame->LeaveFullScreen();
        });
        QObject::connect(page, &ReadingPage::scrollDisplayRequested, page, [page, frame] {
            if (frame) StartScrollDisplay(*page, *frame);
        });

        ReadingPanelBinding binding;
        binding.widget = page;
        binding.adHeight = page->adHeight();
        binding.topUrl = FromGbk(page->topUrl());
        QPointer<ReadingPage> guard = page;
        binding.load = [guard](std::shared_ptr<const BookText> text, const std::string& path,
                               const std::string& name) {
            if (!guard) return;
            guard->SetText(std::move(text));
            guard->SetBookPath(path);
            guard->SetBookName(name);
            guard->LoadBookmarks();
            guard->UpdateGeometry();
        };
        return binding;
    });
}

}  // namespace quillon
