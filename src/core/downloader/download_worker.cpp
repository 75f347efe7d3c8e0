#include "core/downloader/download_worker.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

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

// A file name may have 255 bytes; the name also carries ".html" and, while it
// is written, the temporary ".tmp" of the atomic write.
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
std::string FormatChapter(const std::string& text, const std::function<void(const std::string&)>& status) {
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

// Writes a chapter file whole or not at all. A new file is written unnamed
// and then linked in under its name, which costs no more than creating it;
// the usual write-then-rename costs a second, slower change of the folder
// (three times the plain create on an ext4 disk). Replacing a file that
// exists, or a file system without unnamed files, takes the rename path.
bool WriteChapterFile(const std::string& path, std::string_view data) {
    size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) return WriteFileAtomically(path, data);
    size_t written = 0;
    while (written < data.size()) {
        ssize_t n = write(fd, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    bool linked = false;
    if (written == data.size()) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        linked = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }
    close(fd);
    // An existing file (EEXIST), a missing /proc or a short write: the
    // rename path decides, and fails where the folder cannot take the file.
    return linked || WriteFileAtomically(path, data);
}

// Passes reports on in the order a run on one thread would make them. While
// a chapter is being saved on the writer thread its formatting texts, "...."
// and row report are still to come, so the fetch thread's reports for the
// next chapter are held back and follow them. Every report is made under one
// lock: the observer sees one call at a time, in that order, from either
// thread.
class OrderedReports final {
public:
    using Report = std::function<void(DownloadObserver&)>;
    explicit OrderedReports(DownloadObserver& observer) : observer_(observer) {}

    void Make(const Report& report) {
        std::lock_guard lock(mutex_);
        if (holding_)
            held_.push_back(report);
        else
            report(observer_);
    }
    // A report of the chapter being saved: it comes before everything held.
    void MakeFirst(const Report& report) {
        std::lock_guard lock(mutex_);
        report(observer_);
    }
    void Hold() {
        std::lock_guard lock(mutex_);
        holding_ = true;
    }
    // Makes `first`, then everything held since Hold, and stops holding.
    void Release(const Report& first) {
        std::lock_guard lock(mutex_);
        first(observer_);
        for (const Report& r : held_) r(observer_);
        held_.clear();
        holding_ = false;
    }

private:
    DownloadObserver& observer_;
    std::mutex mutex_;
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

// Converts and writes chapters on a thread of its own, one at a time, so
// that saving one chapter overlaps fetching the next: on a disk, creating a
// file can cost more than fetching a page from a near server, and turning a
// page into text costs about as much. Submit waits while the previous
// chapter is still being saved, so at most one chapter waits in memory.
class ChapterWriter final {
public:
    explicit ChapterWriter(OrderedReports& reports) : reports_(reports), thread_([this] { Run(); }) {}
    ~ChapterWriter() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    void Submit(SaveTask task) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !task_; });
        // From here until the chapter's row report, the fetch thread's
        // reports belong after it.
        reports_.Hold();
        task_ = std::make_unique<SaveTask>(std::move(task));
        changed_.notify_all();
    }
    // Waits until every submitted chapter is written and reported.
    void Drain() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !task_; });
    }
    int saved() const { return saved_; }
    int failed() const { return failed_; }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return quit_ || task_; });
            if (!task_) return;
            SaveTask& task = *task_;
            lock.unlock();
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
            lock.lock();
            ++(allWritten ? saved_ : failed_);
            task_.reset();
            changed_.notify_all();
        }
    }

    OrderedReports& reports_;
    HtmlPageParser parser_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::unique_ptr<SaveTask> task_;
    bool quit_ = false;
    int saved_ = 0, failed_ = 0;  // guarded by mutex_; read after Drain
    std::thread thread_;  // last: starts once the rest is set up
};

}  // namespace

std::string RowDoneText() { return Gbk("下载完成"); }
std::string RowFailedText() { return Gbk("下载失败"); }
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
    summary.total = static_cast<int>(
        std::count_if(job.rows.begin(), job.rows.end(), [](const DownloadRow& r) { return r.checked; }));
    observer.OnCount(Format(countFormat.c_str(), summary.total, 0));

    OrderedReports reports(observer);
    auto status = [&reports](const std::string& text) {
        reports.Make([text](DownloadObserver& o) { o.OnStatus(text); });
    };
    PageFetcher fetcher(stop);
    fetcher.SetOptions(job.fetchOptions);
    StatusForwarder forwarder(reports);
    std::string page;
    int done = 0;
    int notFetched = 0;
    {
        ChapterWriter writer(reports);
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

            int code = fetcher.Fetch(row.title, row.url, page, &forwarder);
            if (code == kFetchAbandoned) {
                summary.stopped = true;
                break;
            }
            if (IsFetchFailure(code)) {
                ++notFetched;
                reports.Make([i](DownloadObserver& o) { o.OnRowDone(i, RowFailedText(), std::string()); });
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
            writer.Submit(std::move(task));
        }
        // A stop lets the chapter being written finish: it is whole.
        writer.Drain();
        summary.saved = writer.saved();
        summary.failed = notFetched + writer.failed();
    }
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
