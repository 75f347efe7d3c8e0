#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/downloader/download_preferences.h"
#include "core/downloader/downloader_settings.h"
#include "core/downloader/page_fetcher.h"

namespace quillon {

// One row of the link list as the download sees it.
struct DownloadRow {
    bool checked = false;  // column 0 reads "是"
    std::string title;     // column 2, GBK
    std::string url;       // column 3
    // What a download of this list made of the row, for the finished book
    // (the download itself does not read them): the files its chapter was
    // saved to or found at (UTF-8, "" for none), or that it failed. A
    // chapter whose title is markup only is named by the time of saving,
    // a name nothing can make again later.
    std::string htmlFile{}, txtFile{};
    bool failed = false;
};

struct DownloadJob {
    // The text of the address field when the download was started (GBK); its
    // MD5 names the book folder.
    std::string address;
    std::vector<DownloadRow> rows;
    // A copy taken at the start, so the settings dialog can change the
    // program's settings while the worker runs.
    DownloaderSettings settings;
    FetchOptions fetchOptions;
    // Delay, retries and resuming; the plain single pass unless the caller
    // loads the user's preferences.
    DownloadPreferences preferences = DownloadPreferences::Plain();
    // When set, chapters are loaded by it instead of PageFetcher.
    PageLoader pageLoader;
};

struct DownloadSummary {
    int total = 0;   // checked rows
    int saved = 0;   // rows whose files were all written
    int failed = 0;  // rows not fetched or not written
    int existing = 0;  // rows skipped because their files were already there
    bool stopped = false;
    std::string bookFolder;  // S/<MD5>/, UTF-8
};

// What a download run tells its window. The calls come one at a time, from
// the run's thread, in the order of the rows. Texts are GBK unless they are
// paths, which are UTF-8 like every path of the system.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    // The status field: fetch progress, "保存数据....", "格式化txt内容",
    // "格式化(k/N) p%", "....", and the final text.
    virtual void OnStatus(const std::string& text) { (void)text; }
    // The count field: " done/total".
    virtual void OnCount(const std::string& text) { (void)text; }
    // The "保存位置" field: the book folder (UTF-8).
    virtual void OnSaveFolder(const std::string& folder) { (void)folder; }
    // Row `row` (index into the job's rows) is finished: `state` is
    // "下载完成", "下载失败" or "保存失败" (GBK) for column 1; `saved` lists the
    // files written, separated by three spaces (UTF-8), for column 4.
    virtual void OnRowDone(size_t row, const std::string& state, const std::string& saved) {
        (void)row, (void)state, (void)saved;
    }
    // Comes just before OnRowDone of a row whose chapter is on disk, saved
    // now or found there: the files (UTF-8, "" for a kind not saved).
    virtual void OnRowFiles(size_t row, const std::string& htmlFile, const std::string& txtFile) {
        (void)row, (void)htmlFile, (void)txtFile;
    }
    // Row `row` waits before another try: `state` is "重试 k/N ..." (GBK).
    virtual void OnRowState(size_t row, const std::string& state) { (void)row, (void)state; }
    virtual void OnFinished(const DownloadSummary& summary) { (void)summary; }
};

// The row states.
std::string RowDoneText();     // "下载完成"
std::string RowFailedText();   // "下载失败"
std::string PageTooLargeText(); // "页面过大": over the size cap of a page
std::string SaveFailedText();  // "保存失败"
std::string ExistingText();    // "已存在"

// The book folder of a job: S/<Md5Hex(address)>/ (UTF-8, ending in '/').
std::string BookFolderOf(const DownloadJob& job);
// The file name (no extension, UTF-8) a chapter of this title is saved as.
std::string ChapterFileName(const std::string& title);

// The final status: "终止下载" when stopped, "下载完成" when every row was
// saved, else "下载完成，N 个网址失败".
std::string FinalStatusText(const DownloadSummary& summary);

// Downloads the checked rows of `job` one after another, synchronously.
//  - Files: S/<Md5Hex(address)>/html/<name>.html (the page as fetched) and
//    .../txt/<name>.txt (its text, formatted on request), S being the save
//    folder with a '/' appended, <name> MakeSafeFileName(title) in UTF-8.
//  - A row that could not be fetched (no address, no connection, HTTP
//    status >= 400, broken transfer) gets no files and reads "下载失败".
//  - Files are written whole or not at all; a row cut short by the stop flag
//    writes nothing and gets no state.
//  - The preferences add a pause between requests, further tries of a
//    request that failed for a passing reason (no connection, time-out, 429,
//    5xx) after a back-off or the server's Retry-After (a row without an
//    address fails at once), and the skipping of chapters whose files exist
//    ("已存在"). The stop flag ends any wait within a tenth of a second.
DownloadSummary RunDownload(const DownloadJob& job, DownloadObserver& observer,
                            const std::atomic<bool>* stop = nullptr);

// RunDownload on its own thread; one run at a time.
class DownloadWorker final {
public:
    explicit DownloadWorker(DownloadObserver& observer) : observer_(observer) {}
    ~DownloadWorker();
    DownloadWorker(const DownloadWorker&) = delete;
    DownloadWorker& operator=(const DownloadWorker&) = delete;

    // False when a run is still going.
    bool Start(DownloadJob job);
    // Asks the run to stop; the fetch in progress is abandoned within a second
    // and the run ends with OnFinished (summary.stopped set).
    void Stop() { stop_ = true; }
    void Wait();
    bool IsRunning() const { return running_; }

private:
    DownloadObserver& observer_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::thread thread_;
};

}  // namespace quillon
