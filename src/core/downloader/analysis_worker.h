#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "core/downloader/html_page_parser.h"
#include "core/downloader/page_fetcher.h"

namespace quillon {

// What an analysis run tells its window. Every call comes on the worker
// thread; texts are GBK. The window turns them into queued signals.
class AnalysisObserver {
public:
    virtual ~AnalysisObserver() = default;
    // The status field: fetch progress, then "下载完成" or "下载失败".
    virtual void OnStatus(const std::string& text) { (void)text; }
    // Every anchor of the page in document order; each becomes an unchecked
    // row ("0000" in column 0, title in column 2, address in column 3).
    virtual void OnLinks(const LinkList& links) { (void)links; }
    // The count field: "共 %d".
    virtual void OnCount(const std::string& text) { (void)text; }
    // The text of the page's <title> (GBK, markup and blanks cut), "" when
    // it has none; comes before OnLinks. It names a merged book.
    virtual void OnTitle(const std::string& title) { (void)title; }
    // The run is over; `fetchResult` is the FetchResult of the contents page.
    virtual void OnFinished(int fetchResult) { (void)fetchResult; }
};

// One analysis run, synchronously: fetches `address` (GBK), lists its links.
// A page that could not be fetched (unreachable, HTTP error, broken off)
// lists nothing and shows "下载失败" rather than the links of an error page
// or of half a contents page. Returns the fetch's FetchResult; when the run
// was stopped, the observer hears nothing after the fetch.
// `loader`, when set, gets the page instead of PageFetcher.
int AnalyseAddress(const std::string& address, LinkList& links, AnalysisObserver& observer,
                   const std::atomic<bool>* stop = nullptr, const FetchOptions& options = {},
                   const PageLoader& loader = {});

// The text of the first <title> element of a page (markup removed, ASCII
// blanks and line breaks trimmed and folded to one space), "" when none.
std::string PageTitle(std::string_view page);

// An analysis run on its own thread. Several may run at once (each press of
// the button starts one); destroying one stops it and waits for it.
class AnalysisWorker final {
public:
    explicit AnalysisWorker(AnalysisObserver& observer) : observer_(observer) {}
    ~AnalysisWorker();
    AnalysisWorker(const AnalysisWorker&) = delete;
    AnalysisWorker& operator=(const AnalysisWorker&) = delete;

    // False when a run of this worker is still going.
    bool Start(const std::string& address, const FetchOptions& options = {},
               PageLoader loader = {});
    // Asks the run to end; it does within a second, sending no more rows.
    void Stop() { stop_ = true; }
    void Wait();
    bool IsRunning() const { return running_; }

private:
    AnalysisObserver& observer_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::thread thread_;
};

}  // namespace quillon
