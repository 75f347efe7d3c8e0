#include "core/downloader/download_worker.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

#include "core/downloader/html_page_parser.h"
#include "core/downloader/safe_file_name.h"
#include "core/library/book_formatter.h"
#include "core/net/md5.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

// A file name may have 255 bytes; the name also carries ".html".
constexpr size_t kMaxNameBytes = 240;

std::string FileNameFor(const std::string& title) {
    std::string name = GbkToUtf8(MakeSafeFileName(title));
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
// fetching the next would make them. A fetched chapter is saved while the
// next one is being fetched, so from Hold until the saved chapter's row
// report the reports of the next fetch are held back and follow it.
class OrderedReports final {
public:
    using Report = std::function<void(DownloadObserver&)>;
    explicit OrderedReports(DownloadObserver& observer) : observer_(observer) {}

    void Make(const Report& report) {
        if (holding_)
            held_.push_back(report);
        else
            report(observer_);
    }
    // A report of the chapter being saved: it comes before everything held.
    void MakeFirst(const Report& report) { report(observer_); }
    void Hold() { holding_ = true; }
    // Makes `first`, then everything held since Hold, and stops holding.
    void Release(const Report& first) {
        first(observer_);
        for (const Report& r : held_) r(observer_);
        held_.clear();
        holding_ = false;
    }

private:
    DownloadObserver& observer_;
    bool holding_ = false;
    std::vector<Report> held_;
};

class StatusForwarder final : public FetchObserver {
public:
    explicit StatusForwarder(OrderedReports& reports) : reports_(reports) {}
    void OnFetchProgress(const std::string& text) override {
        reports_.Make([text](DownloadObserver& o) { o.OnStatus(text); });
    }

private:
    OrderedReports& reports_;
};

// One fetched chapter, to be saved.
struct SaveTask {
    size_t row = 0;
    bool html = false, txt = false, format = false;
    std::string page, htmlPath, txtPath;
};

// Converts and writes fetched chapters. The download hands it each chapter
// to save while the request for the next chapter waits for its answer, on
// the same thread: turning a page into text and creating its files then
// costs no time of its own whenever the network is slower than they are,
// and no second thread has to be woken for every chapter.
class ChapterSaver final {
public:
    explicit ChapterSaver(OrderedReports& reports) : reports_(reports) {}

    // Saves `task` and makes its row report (after its own texts, before
    // everything held since the chapter was fetched).
    void Save(SaveTask& task) {
        std::string saved;
        bool allWritten = true;
        if (task.html) {
            // The raw page, before the conversion edits it in place.
            if (WriteChapterFile(task.htmlPath, task.page))
                saved = task.htmlPath;
            else
                allWritten = false;
        }
        if (task.txt) {
            auto status = [this](const std::string& text) {
                reports_.MakeFirst([text](DownloadObserver& o) { o.OnStatus(text); });
            };
            std::string text = parser_.HtmlToText(task.page);
            if (task.format) {
                status(Gbk("格式化txt内容"));
                text = FormatChapter(text, status);
            }
            if (WriteChapterFile(task.txtPath, text)) {
                if (!saved.empty()) saved += "   ";
                saved += task.txtPath;
            } else {
                allWritten = false;
            }
        }
        const size_t row = task.row;
        reports_.Release([&](DownloadObserver& o) {
            o.OnStatus("....");
            o.OnRowDone(row, allWritten ? RowDoneText() : SaveFailedText(), saved);
        });
        ++(allWritten ? saved_ : failed_);
    }
    int saved() const { return saved_; }
    int failed() const { return failed_; }

private:
    OrderedReports& reports_;
    HtmlPageParser parser_;
    int saved_ = 0, failed_ = 0;
};

}  // namespace

std::string RowDoneText() { return Gbk("下载完成"); }
std::string RowFailedText() { return Gbk("下载失败"); }
std::string PageTooLargeText() { return Gbk("页面过大"); }
std::string SaveFailedText() { return Gbk("保存失败"); }

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

    std::string folder = settings.saveFolder;
    if (folder.size() < 2) folder = DownloaderSettings::DefaultSaveFolder();
    if (folder.back() != '/') folder.push_back('/');
    folder += Md5Hex(job.address);
    folder.push_back('/');
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
    fetcher.SetOptions(job.fetchOptions);
    StatusForwarder forwarder(reports);
    ChapterSaver saver(reports);
    // The chapter fetched last, saved during the next fetch (or at the end).
    std::optional<SaveTask> pending;
    std::string page, spare;  // the next page is fetched into the saved one's buffer
    auto savePending = [&] {
        if (!pending) return;
        saver.Save(*pending);
        spare = std::move(pending->page);
        pending.reset();
    };
    int done = 0;
    int notFetched = 0;
    for (size_t i = 0; i < job.rows.size(); ++i) {
        const DownloadRow& row = job.rows[i];
        if (!row.checked) continue;
        if (stopped()) {
            summary.stopped = true;
            break;
        }
        ++done;
        const std::string count = Format(countFormat.c_str(), summary.total, done);
        reports.Make([count](DownloadObserver& o) { o.OnCount(count); });

        int code = fetcher.Fetch(row.title, row.url, page, &forwarder, savePending);
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

        status(Gbk("保存数据...."));
        SaveTask task;
        task.row = i;
        const std::string name = FileNameFor(row.title);
        task.html = settings.SavesHtml();
        task.txt = settings.SavesTxt();
        task.format = settings.FormatsTxt();
        if (task.html) task.htmlPath = folder + "html/" + name + ".html";
        if (task.txt) task.txtPath = folder + "txt/" + name + ".txt";
        task.page = std::move(page);
        page = std::move(spare);
        // From here until this chapter's row report, the next fetch's
        // reports belong after it.
        reports.Hold();
        pending = std::move(task);
    }
    // A stop lets the fetched chapter be saved: it is whole.
    savePending();
    summary.saved = saver.saved();
    summary.failed = notFetched + saver.failed();
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
