#pragma once

#include <functional>

#include <QObject>
#include <QString>
#include <QUrl>

#include "core/downloader/page_fetcher.h"

class QWebEnginePage;
class QWebEngineProfile;

namespace quillon {

// Gets pages the way a browser shows them, for sites that build their
// chapter lists or texts with scripts: an off-screen page loads the address,
// and once it has finished loading and its document has not changed for a
// short while, its HTML is taken. A page that does not settle within the
// time-out fails.
//
// The loader lives on the interface thread; MakeLoader hands the download
// and analysis workers a PageLoader that asks it from their threads.
class BrowserPageLoader final : public QObject {
    Q_OBJECT
public:
    struct Timing {
        // No change of the document for this long. An off-screen page runs
        // its repeating timers about once a second whatever it is told, so
        // the wait is longer than that.
        int settleMs = 1200;
        int timeoutMs = 30000;   // from the start of the load
        int pollMs = 100;
    };

    explicit BrowserPageLoader(QObject* parent = nullptr);
    ~BrowserPageLoader() override;

    void SetTiming(const Timing& timing) { timing_ = timing; }
    // The User-Agent of the pages; empty keeps the browser's own.
    void SetUserAgent(const QString& agent);

    // Loads `url` and calls `done` on this thread with the settled HTML, or
    // with ok false when it failed to load or did not settle in time.
    void Load(const QUrl& url, std::function<void(bool ok, const QString& html)> done);

    // Waits for `page` (already loading or loaded, such as the window's web
    // pane) to settle, then calls `done` with its HTML.
    static void Capture(QWebEnginePage* page, const Timing& timing,
                        std::function<void(bool ok, const QString& html)> done);

    // For worker threads: blocks until the page is loaded here (or the stop
    // flag rises) and gives its HTML as UTF-8 declaring UTF-8.
    PageLoader MakeLoader();

    // HTML from a browser in the form the page analysis and conversion take:
    // UTF-8 bytes that name UTF-8 before any charset the document names.
    static std::string ForAnalysis(const QString& html);

private:
    QWebEngineProfile* profile_ = nullptr;
    Timing timing_;
};

}  // namespace quillon
