#include "core/downloader/download_worker.h"

#include <algorithm>

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

class StatusForwarder final : public FetchObserver {
public:
    explicit StatusForwarder(DownloadObserver& observer) : observer_(observer) {}
    void OnFetchProgress(const std::string& text) override { observer_.OnStatus(text); }

private:
    DownloadObserver& observer_;
};

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
std::string FormatChapter(const std::string& text, DownloadObserver& observer) {
    const std::string pattern = Gbk("格式化(%d/%d) %2d%%");
    long long total = 1;
    if (text.size() > 1) total += std::count(text.begin() + 1, text.end(), '\n');
    size_t counted = 0;
    long long passedLf = 0;
    auto show = [&](long long line) {
        observer.OnStatus(Format(pattern.c_str(), static_cast<int>(line), static_cast<int>(total),
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

    PageFetcher fetcher(stop);
    fetcher.SetOptions(job.fetchOptions);
    StatusForwarder forwarder(observer);
    HtmlPageParser parser;
    std::string page;
    int done = 0;
    for (size_t i = 0; i < job.rows.size(); ++i) {
        const DownloadRow& row = job.rows[i];
        if (!row.checked) continue;
        if (stopped()) {
            summary.stopped = true;
            break;
        }
        ++done;
        observer.OnCount(Format(countFormat.c_str(), summary.total, done));

        int code = fetcher.Fetch(row.title, row.url, page, &forwarder);
        if (code == kFetchAbandoned) {
            summary.stopped = true;
            break;
        }
        if (IsFetchFailure(code)) {
            ++summary.failed;
            observer.OnRowDone(i, RowFailedText(), std::string());
            continue;
        }

        observer.OnStatus(Gbk("保存数据...."));
        const std::string name = FileNameFor(row.title);
        std::string saved;
        bool allWritten = true;
        if (settings.SavesHtml()) {
            std::string path = folder + "html/" + name + ".html";
            if (WriteFileAtomically(path, page)) {
                saved = path;
            } else {
                allWritten = false;
            }
        }
        if (settings.SavesTxt()) {
            std::string path = folder + "txt/" + name + ".txt";
            std::string text = parser.HtmlToText(page);
            if (settings.FormatsTxt()) {
                observer.OnStatus(Gbk("格式化txt内容"));
                text = FormatChapter(text, observer);
            }
            if (WriteFileAtomically(path, text)) {
                if (!saved.empty()) saved += "   ";
                saved += path;
            } else {
                allWritten = false;
            }
        }
        observer.OnStatus("....");
        if (allWritten) {
            ++summary.saved;
            observer.OnRowDone(i, RowDoneText(), saved);
        } else {
            ++summary.failed;
            observer.OnRowDone(i, SaveFailedText(), saved);
        }
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
