#include "core/downloader/download_worker.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "core/downloader/html_page_parser.h"
#include "core/downloader/page_charset.h"
#include "core/downloader/safe_file_name.h"
#include "core/library/book_formatter.h"
#include "core/net/md5.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

// A file name may have 255 bytes; the name also carries ".html".
constexpr size_t kMaxNameBytes = 240;

// A server's Retry-After is followed up to this many seconds; a longer wait
// (or a year) is cut to it.
constexpr long kMaxRetryWaitSeconds = 60;

using Clock = std::chrono::steady_clock;

// Sleeps until `until` unless the stop flag is raised first; false then.
bool PauseUntil(Clock::time_point until, const std::atomic<bool>* stop) {
    for (;;) {
        if (stop != nullptr && stop->load()) return false;
        const auto now = Clock::now();
        if (now >= until) return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(until - now, std::chrono::milliseconds(50)));
    }
}

// Whether another try may get what this one did not: the network or the
// server failed for now. A 4xx answer other than 429 will not change.
bool IsPassingFailure(int code, long status) {
    if (code == kFetchNotOpened || code == kFetchBrokenOff) return true;
    return code == kFetchHttpError && (status == 429 || status >= 500);
}

std::chrono::milliseconds RetryWait(const PageFetcher& fetcher, int baseMs, int attempt) {
    using std::chrono::milliseconds;
    if (fetcher.lastRetryAfter() > 0) {
        return milliseconds(std::min(fetcher.lastRetryAfter(), kMaxRetryWaitSeconds) * 1000);
    }
    long long wait = static_cast<long long>(baseMs) << std::min(attempt - 1, 16);
    return milliseconds(std::min(wait, kMaxRetryWaitSeconds * 1000LL));
}

// `toUtf8` converts GBK to UTF-8; a download holds one open for all its
// chapters, as opening a converter costs more than a name's conversion.
std::string FileNameFor(const std::string& title, CharsetConverter& toUtf8) {
    std::string name = MakeSafeFileName(title);
    if (!IsAscii(name)) {
        std::string gbk = std::move(name);
        toUtf8.Convert(gbk, name);
    }
    if (name.size() > kMaxNameBytes) {
        size_t n = kMaxNameBytes;
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
        name.resize(n);
    }
    return name;
}

// The chapter text in the reader's layout, with the line progress texts.
// The shared formatter reports its progress in bytes, and only on long
// texts; the line shown in between is estimated from the LF bytes passed,
// and the last text gives the exact number of lines formatted.
std::string FormatChapter(const std::string& text,
                          const std::function<void(const std::string&)>& status) {
    const std::string pattern = Gbk("格式化(%d/%d) %2d%%");
    long long total = 1;
    if (text.size() > 1) total += std::count(text.begin() + 1, text.end(), '\n');
    size_t counted = 0;
    long long passedLf = 0;
    auto show = [&](long long line) {
        status(Format(pattern.c_str(), static_cast<int>(line), static_cast<int>(total),
                      static_cast<int>(100 * line / total)));
    };
    std::string out = FormatBookText(text, [&](size_t done, size_t all) {
        if (done >= all || done > text.size()) return;
        passedLf += std::count(text.begin() + static_cast<long>(counted),
                               text.begin() + static_cast<long>(done), '\n');
        counted = done;
        show(passedLf + 1);
    });
    long long lines = std::count(out.begin(), out.end(), '\n');
    if (lines > 0) show(lines);
    return out;
}

// Writes a chapter file whole or not at all: under a temporary name first,
// renamed into place once complete, so a killed download never leaves a
// short chapter under its final name. Chapters are not flushed to disk one
// by one: a book has thousands, and a lost one is fetched again.
bool WriteChapterFile(const std::string& path, std::string_view data) {
    return WriteFileAtomically(path, data, WriteDurability::kProcessSafe);
}

// Passes reports on in the order a download that saved each chapter before
// fetching the next would make them. Fetched chapters are saved while the
// next ones are fetched, so from a chapter's Hold until its row report
// (Release) the reports made meanwhile are held back, to follow it.
class OrderedReports final {
public:
    using Report = std::function<void(DownloadObserver&)>;
    explicit OrderedReports(DownloadObserver& observer) : observer_(observer) {}

    void Make(const Report& report) {
        if (held_.empty())
            report(observer_);
        else
            held_.back().push_back(report);
    }
    // A chapter has gone to be saved: what comes now follows its row report.
    void Hold() { held_.emplace_back(); }
    // Makes `first`, the report of the chapter held longest, then what was
    // held behind it (up to the next chapter's Hold).
    void Release(const Report& first) {
        first(observer_);
        if (held_.empty()) return;
        for (const Report& r : held_.front()) r(observer_);
        held_.pop_front();
    }

private:
    DownloadObserver& observer_;
    std::deque<std::vector<Report>> held_;  // one a chapter being saved
};

// Passes a fetch's progress on. `first` runs before each report: the
// download makes the row reports of the chapters saved meanwhile there, so
// a long fetch's progress is not held back behind a save long finished.
class StatusForwarder final : public FetchObserver {
public:
    StatusForwarder(OrderedReports& reports, std::function<void()> first)
        : reports_(reports), first_(std::move(first)) {}
    void OnFetchProgress(const std::string& text) override {
        first_();
        reports_.Make([text](DownloadObserver& o) { o.OnStatus(text); });
    }

private:
    OrderedReports& reports_;
    std::function<void()> first_;
};

// One fetched chapter, to be saved.
struct SaveTask {
    size_t row = 0;
    bool html = false, txt = false, format = false;
    std::string page, htmlPath, txtPath;
    std::string contentType;  // of the answer, for a page that names no charset
};

// What saving a chapter came to, for the row report.
struct SaveResult {
    size_t row = 0;
    bool allWritten = true;
    std::string saved;                  // the files written, three spaces apart
    std::string htmlPath, txtPath;      // of the task
    std::vector<std::string> statuses;  // "格式化txt内容" and the line counts
    std::string page;                   // the page's buffer, to fetch into again
};

SaveResult SaveChapter(SaveTask& task, HtmlPageParser& parser) {
    SaveResult result;
    result.row = task.row;
    result.htmlPath = task.htmlPath;
    result.txtPath = task.txtPath;
    if (task.html) {
        // The raw page, before the conversion edits it in place.
        if (WriteChapterFile(task.htmlPath, task.page))
            result.saved = task.htmlPath;
        else
            result.allWritten = false;
    }
    if (task.txt) {
        ApplyHeaderCharset(task.page, task.contentType);
        std::string text = parser.HtmlToText(task.page);
        if (task.format) {
            result.statuses.push_back(Gbk("格式化txt内容"));
            text = FormatChapter(text, [&result](const std::string& s) { result.statuses.push_back(s); });
        }
        if (WriteChapterFile(task.txtPath, text)) {
            if (!result.saved.empty()) result.saved += "   ";
            result.saved += task.txtPath;
        } else {
            result.allWritten = false;
        }
    }
    result.page = std::move(task.page);
    return result;
}

// Converts and writes fetched chapters on a thread of its own, while the
// download fetches the next ones: turning a page into text and creating its
// two files take about as long as fetching it from a near server, and on
// one thread the two would add up. When that thread falls far behind, the
// download's thread saves the chapter itself rather than wait, so both
// work and no more than 16 pages (8 MiB) wait at a time. The download's thread
// makes every report, from the results taken here in the order the
// chapters came, so observers still hear one thread, row after row; a row
// reads "下载完成" only once its files are written.
class ChapterSaver final {
public:
    ChapterSaver() { thread_ = std::thread([this] { Run(); }); }
    ~ChapterSaver() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ChapterSaver(const ChapterSaver&) = delete;
    ChapterSaver& operator=(const ChapterSaver&) = delete;

    void Push(SaveTask task) {
        std::unique_lock lock(mutex_);
        const size_t number = pushed_++;
        if (queued_.empty() ||
            (queued_.size() < kMostQueued && queuedBytes_ + task.page.size() <= kMostQueuedBytes)) {
            queuedBytes_ += task.page.size();
            queued_.emplace_back(number, std::move(task));
            lock.unlock();
            changed_.notify_all();
            return;
        }
        lock.unlock();
        SaveResult result = SaveChapter(task, parser_);
        lock.lock();
        saved_.emplace(number, std::move(result));
    }
    // The chapters saved since the last call, in the order they were pushed
    // (one saved early waits for those before it).
    std::vector<SaveResult> TakeSaved() {
        std::vector<SaveResult> out;
        std::lock_guard lock(mutex_);
        for (auto it = saved_.begin(); it != saved_.end() && it->first == taken_; ++taken_) {
            out.push_back(std::move(it->second));
            it = saved_.erase(it);
        }
        return out;
    }
    void WaitUntilIdle() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queued_.empty() && !busy_; });
    }

private:
    // Room for the saving thread to fall behind by a few chapters without
    // the download's thread having to save: with less the two took turns
    // more than they worked side by side. The bytes bound keeps a run of
    // huge pages from piling up in memory.
    static constexpr size_t kMostQueued = 16;
    static constexpr size_t kMostQueuedBytes = 8u << 20;

    void Run() {
        HtmlPageParser parser;
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return closing_ || !queued_.empty(); });
            if (queued_.empty()) return;
            auto [number, task] = std::move(queued_.front());
            queued_.pop_front();
            queuedBytes_ -= task.page.size();
            busy_ = true;
            lock.unlock();
            SaveResult result = SaveChapter(task, parser);
            lock.lock();
            saved_.emplace(number, std::move(result));
            busy_ = false;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<size_t, SaveTask>> queued_;  // numbered as pushed
    std::map<size_t, SaveResult> saved_;
    size_t pushed_ = 0, taken_ = 0;
    size_t queuedBytes_ = 0;
    bool busy_ = false, closing_ = false;
    HtmlPageParser parser_;  // the pushing thread's
    std::thread thread_;
};

}  // namespace

std::string RowDoneText() { return Gbk("下载完成"); }
std::string RowFailedText() { return Gbk("下载失败"); }
std::string PageTooLargeText() { return Gbk("页面过大"); }
std::string SaveFailedText() { return Gbk("保存失败"); }
std::string ExistingText() { return Gbk("已存在"); }

std::string ChapterFileName(const std::string& title) {
    CharsetConverter toUtf8("CP936", "UTF-8", kUtf8Replacement);
    return FileNameFor(title, toUtf8);
}

std::string BookFolderOf(const DownloadJob& job) {
    std::string folder = job.settings.saveFolder;
    if (folder.size() < 2) folder = DownloaderSettings::DefaultSaveFolder();
    if (folder.back() != '/') folder.push_back('/');
    return folder + Md5Hex(job.address) + "/";
}

std::string FinalStatusText(const DownloadSummary& summary) {
    if (summary.stopped) return Gbk("终止下载");
    if (summary.failed == 0) return Gbk("下载完成");
    return Format(Gbk("下载完成，%d 个网址失败").c_str(), summary.failed);
}

DownloadSummary RunDownload(const DownloadJob& job, DownloadObserver& observer,
                            const std::atomic<bool>* stop) {
    DownloadSummary summary;
    const DownloaderSettings& settings = job.settings;
    auto stopped = [stop] { return stop != nullptr && stop->load(); };

    const DownloadPreferences& preferences = job.preferences;
    const std::string folder = BookFolderOf(job);
    summary.bookFolder = folder;
    observer.OnSaveFolder(folder);

    // "1.txt" only marks the last folder of the path; no such file is made.
    if (settings.SavesTxt()) EnsureFolders(folder + "txt/1.txt");
    if (settings.SavesHtml()) EnsureFolders(folder + "html/1.txt");

    const std::string countFormat = " %d/%d";
    summary.total = static_cast<int>(std::count_if(job.rows.begin(), job.rows.end(),
                                                   [](const DownloadRow& r) { return r.checked; }));
    observer.OnCount(Format(countFormat.c_str(), summary.total, 0));

    OrderedReports reports(observer);
    auto status = [&reports](const std::string& text) {
        reports.Make([text](DownloadObserver& o) { o.OnStatus(text); });
    };
    PageFetcher fetcher(stop);
    FetchOptions fetchOptions = job.fetchOptions;
    if (!preferences.userAgent.empty()) fetchOptions.userAgent = preferences.userAgent;
    fetcher.SetOptions(fetchOptions);
    ChapterSaver saver;
    std::vector<std::string> spares;  // buffers of saved pages, fetched into again
    int saved = 0, saveFailed = 0;
    // The texts of every chapter, converted once.
    CharsetConverter toUtf8("CP936", "UTF-8", kUtf8Replacement);
    const std::string savingText = Gbk("保存数据...."), doneText = RowDoneText(),
                      saveFailedText = SaveFailedText();
    // Makes the row reports of the chapters saved so far.
    auto reportSaved = [&] {
        for (SaveResult& r : saver.TakeSaved()) {
            ++(r.allWritten ? saved : saveFailed);
            reports.Release([&](DownloadObserver& o) {
                for (const std::string& s : r.statuses) o.OnStatus(s);
                o.OnStatus("....");
                if (r.allWritten) o.OnRowFiles(r.row, r.htmlPath, r.txtPath);
                o.OnRowDone(r.row, r.allWritten ? doneText : saveFailedText, r.saved);
            });
            spares.push_back(std::move(r.page));
        }
    };
    StatusForwarder forwarder(reports, reportSaved);
    // Before a pause: the rows fetched so far read what became of them.
    auto reportAllSaved = [&] {
        saver.WaitUntilIdle();
        reportSaved();
    };
    int done = 0;
    int notFetched = 0;
    const std::string retryFormat = Gbk("重试 %d/%d ...");
    std::optional<Clock::time_point> lastRequestEnd;
    for (size_t i = 0; i < job.rows.size(); ++i) {
        const DownloadRow& row = job.rows[i];
        if (!row.checked) continue;
        reportSaved();
        if (stopped()) {
            summary.stopped = true;
            break;
        }
        ++done;
        const std::string count = Format(countFormat.c_str(), summary.total, done);
        reports.Make([count](DownloadObserver& o) { o.OnCount(count); });

        const std::string name = FileNameFor(row.title, toUtf8);
        const std::string htmlPath = folder + "html/" + name + ".html";
        const std::string txtPath = folder + "txt/" + name + ".txt";
        if (preferences.missingOnly && (!settings.SavesHtml() || FileExists(htmlPath)) &&
            (!settings.SavesTxt() || FileExists(txtPath))) {
            const std::string html = settings.SavesHtml() ? htmlPath : "";
            const std::string txt = settings.SavesTxt() ? txtPath : "";
            const std::string present = html + (html.empty() || txt.empty() ? "" : "   ") + txt;
            reports.Make([i, html, txt, present](DownloadObserver& o) {
                o.OnRowFiles(i, html, txt);
                o.OnRowDone(i, ExistingText(), present);
            });
            ++summary.existing;
            continue;
        }
        // An anchor that names no address will not have one on another try:
        // no request, no pause, no back-off.
        if (row.url.empty()) {
            ++notFetched;
            reports.Make([i](DownloadObserver& o) { o.OnRowDone(i, RowFailedText(), std::string()); });
            continue;
        }

        std::string page;
        if (!spares.empty()) {
            page = std::move(spares.back());
            spares.pop_back();
        }
        int code = kFetchDone;
        for (int attempt = 0;; ++attempt) {
            if (lastRequestEnd && preferences.delayMs > 0) {
                reportAllSaved();
                if (!PauseUntil(*lastRequestEnd + std::chrono::milliseconds(preferences.delayMs), stop)) {
                    code = kFetchAbandoned;
                    break;
                }
            }
            if (job.pageLoader) {
                code = job.pageLoader(row.url, page, stop);
            } else {
                code = fetcher.Fetch(row.title, row.url, page, &forwarder, reportSaved);
            }
            lastRequestEnd = Clock::now();
            if (code == kFetchAbandoned || !IsFetchFailure(code) || attempt >= preferences.retries ||
                !IsPassingFailure(code, fetcher.lastStatus())) {
                break;
            }
            const std::string state = Format(retryFormat.c_str(), attempt + 1, preferences.retries);
            reports.Make([i, state](DownloadObserver& o) { o.OnRowState(i, state); });
            reportAllSaved();
            const auto wait = RetryWait(fetcher, preferences.retryBaseMs, attempt + 1);
            if (!PauseUntil(Clock::now() + wait, stop)) {
                code = kFetchAbandoned;
                break;
            }
        }
        if (code == kFetchAbandoned) {
            summary.stopped = true;
            break;
        }
        if (IsFetchFailure(code)) {
            ++notFetched;
            std::string text = code == kFetchTooLarge ? PageTooLargeText() : RowFailedText();
            reports.Make([i, text](DownloadObserver& o) { o.OnRowDone(i, text, std::string()); });
            continue;
        }

        status(savingText);
        SaveTask task;
        task.row = i;
        task.html = settings.SavesHtml();
        task.txt = settings.SavesTxt();
        task.format = settings.FormatsTxt();
        if (!job.pageLoader) task.contentType = fetcher.lastContentType();
        if (task.html) task.htmlPath = htmlPath;
        if (task.txt) task.txtPath = txtPath;
        task.page = std::move(page);
        saver.Push(std::move(task));
        // From here until this chapter's row report, what is reported
        // belongs after it.
        reports.Hold();
    }
    // A stop lets the chapters fetched be saved: they are whole.
    reportAllSaved();
    summary.saved = saved;
    summary.failed = notFetched + saveFailed;
    observer.OnStatus(FinalStatusText(summary));
    observer.OnFinished(summary);
    return summary;
}

DownloadWorker::~DownloadWorker() {
    Stop();
    Wait();
}

bool DownloadWorker::Start(DownloadJob job) {
    if (running_) return false;
    Wait();
    stop_ = false;
    running_ = true;
    thread_ = std::thread([this, job = std::move(job)] {
        RunDownload(job, observer_, &stop_);
        running_ = false;
    });
    return true;
}

void DownloadWorker::Wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace quillon
