// The downloader's hot paths against baselines on the same bytes:
//   BM_ScanForLt      one memchr pass for '<' (the least any parser must do)
//   BM_HtmlToText     a 200 KB chapter page and a contents page of 5,000 links
//   BM_ExtractLinks   the same two pages
//   BM_FetchOnly      PageFetcher alone on 1,000 chapters of 20 KB
//   BM_DownloadAll    the whole download of those 1,000 chapters (fetch,
//                     convert, write .html and .txt; each chapter is saved
//                     while the next one is fetched)
//   BM_MergeBook      2,000 saved chapters of 20 KB into one book (read,
//                     join with headings, write), plain and formatted,
//                     against BM_ConcatChapters (the same files joined
//                     as they are)
// from a cpp-httplib server on 127.0.0.1. The ratios are printed at the end,
// from the fastest of five runs of each whole-book benchmark: a busy
// machine only ever adds time, so the fastest run is the one to compare.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "core/downloader/book_merger.h"
#include "core/downloader/download_worker.h"
#include "core/downloader/html_page_parser.h"
#include "core/downloader/page_fetcher.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"

namespace {

using namespace quillon;

constexpr int kChapters = 1000;
constexpr size_t kChapterBytes = 20 * 1024;

const std::string& Hanzi() {
    static const std::string s = Gbk(
        "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能"
        "下过子说产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量"
        "都两体制机当使点从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与关各");
    return s;
}

// A chapter page of about `bytes` bytes: GBK paragraphs with the markup real
// chapter pages carry (scripts, comments, entities, line-break tags).
std::string ChapterPage(size_t bytes, int seed) {
    const std::string& h = Hanzi();
    std::string page =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
        "<title>chapter</title><style>p{margin:0}</style>"
        "<script>var ad = 1; if (ad > 0) {}</script></head><body><div id=\"content\">";
    size_t k = static_cast<size_t>(seed) * 7;
    int paragraph = 0;
    while (page.size() < bytes) {
        page += "<p>&nbsp;&nbsp;&nbsp;&nbsp;";
        for (int c = 0; c < 60; ++c) {
            size_t at = (k++ * 2) % h.size();
            page.append(h, at - at % 2, 2);
        }
        page += "</p>\r\n";
        if (++paragraph % 10 == 0) page += "<!-- ad slot --><br>\r\n";
    }
    page += "</div><script>show();</script></body></html>";
    return page;
}

std::string ContentsPage(int links) {
    std::string page = "<html><head><meta charset=gbk><title>contents</title></head><body><ul>";
    const std::string chapter = Gbk("第"), title = Gbk("章 标题");
    for (int i = 1; i <= links; ++i) {
        page += Format("<li><a href=\"/book/12/%d.html\">", i) + chapter + std::to_string(i) + title +
                "</a></li>\r\n";
    }
    page += "</ul></body></html>";
    return page;
}

const std::string& PageFor(int which) {
    static const std::string chapter = ChapterPage(200 * 1024, 1);
    static const std::string contents = ContentsPage(5000);
    return which == 0 ? chapter : contents;
}

void LabelPage(benchmark::State& state) {
    state.SetLabel(state.range(0) == 0 ? "200 KB chapter" : "5,000-link contents");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(PageFor(static_cast<int>(state.range(0))).size()));
}

void BM_ScanForLt(benchmark::State& state) {
    const std::string& page = PageFor(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        size_t count = 0;
        const char* p = page.data();
        const char* end = p + page.size();
        while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p))))) {
            ++count;
            ++p;
        }
        benchmark::DoNotOptimize(count);
    }
    LabelPage(state);
}

// HtmlToText and ExtractLinks edit the page in place, so each pass gets a
// fresh copy; the copy is a few percent of the pass.
void BM_HtmlToText(benchmark::State& state) {
    const std::string& page = PageFor(static_cast<int>(state.range(0)));
    HtmlPageParser parser;
    for (auto _ : state) {
        std::string copy = page;
        std::string text = parser.HtmlToText(copy);
        benchmark::DoNotOptimize(text.data());
    }
    LabelPage(state);
}

void BM_ExtractLinks(benchmark::State& state) {
    const std::string& page = PageFor(static_cast<int>(state.range(0)));
    HtmlPageParser parser;
    for (auto _ : state) {
        std::string copy = page;
        LinkList links;
        parser.ExtractLinks(copy, "http://host/book/12/index.html", links);
        benchmark::DoNotOptimize(links.data());
    }
    LabelPage(state);
}

// 1,000 chapter pages served from memory on 127.0.0.1.
class ChapterServer {
public:
    static ChapterServer& Instance() {
        static ChapterServer server;
        return server;
    }
    std::string Url(int i) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/book/" + std::to_string(i) + ".html";
    }

private:
    ChapterServer() {
        for (int i = 0; i < kChapters; ++i) pages_.push_back(ChapterPage(kChapterBytes, i));
        server_.Get(R"(/book/(\d+)\.html)", [this](const httplib::Request& req, httplib::Response& res) {
            int i = std::stoi(req.matches[1]);
            // Not a text type, so the test server does not compress the
            // pages (the fetcher asks for compressed answers): its encoder
            // would be timed, not the download.
            res.set_content(pages_[static_cast<size_t>(i) % pages_.size()], "application/octet-stream");
        });
        // Without it the header and body writes meet Nagle's algorithm and the
        // client's delayed ACK: 40 ms per page that no real server costs.
        server_.set_tcp_nodelay(true);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~ChapterServer() {
        server_.stop();
        thread_.join();
    }

    std::vector<std::string> pages_;
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

void BM_FetchOnly(benchmark::State& state) {
    ChapterServer& server = ChapterServer::Instance();
    std::vector<std::string> urls;
    for (int i = 0; i < kChapters; ++i) urls.push_back(server.Url(i));
    for (auto _ : state) {
        PageFetcher fetcher;
        std::string text;
        for (const std::string& url : urls) {
            if (fetcher.Fetch("c", url, text, nullptr) != kFetchDone) state.SkipWithError("fetch failed");
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kChapters);
}

// Arg 0 saves beside the program (a disk folder), arg 1 into /dev/shm: on a
// disk, creating 2,000 files can cost far more than fetching them from
// 127.0.0.1, and the memory folder shows what the download itself adds.
// Both are first downloads of the book: each pass saves into a new folder,
// and all of them are removed only after the last pass. (Removing them
// between passes would time the file system instead: ext4 passes over the
// inodes freed in the last minutes when it allocates one, so creating
// 2,000 files right after deleting 2,000 costs up to a millisecond each.)
// Arg 2 downloads the book again over the files of the pass before, on
// disk, which replaces every file.
void BM_DownloadAll(benchmark::State& state) {
    ChapterServer& server = ChapterServer::Instance();
    const bool again = state.range(0) == 2;
    const std::string base = state.range(0) == 1 ? std::string("/dev/shm/") : GetProgramFolder();
    const std::string folder = base + "bench-downloader-" + std::to_string(getpid()) + "/";
    DownloadJob job;
    job.address = "http://127.0.0.1/book/index.html";
    job.settings.saveFolder = folder + "again/";
    job.settings.formatTxt = 0;
    for (int i = 0; i < kChapters; ++i) {
        job.rows.push_back({true, Gbk("第") + std::to_string(i + 1) + Gbk("章"), server.Url(i)});
    }
    DownloadObserver quiet;
    if (again) RunDownload(job, quiet);
    int pass = 0;
    for (auto _ : state) {
        if (!again) job.settings.saveFolder = folder + "pass-" + std::to_string(++pass) + "/";
        DownloadSummary summary = RunDownload(job, quiet);
        if (summary.saved != kChapters) state.SkipWithError("chapters not saved");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kChapters);
    state.SetLabel(state.range(0) == 0   ? "saving to disk"
                   : state.range(0) == 1 ? "saving to /dev/shm"
                                         : "saving to disk again, replacing every file");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

// 2,000 saved chapters of 20 KB in /dev/shm, as a download leaves them,
// removed at exit.
class SavedBook {
public:
    static constexpr int kChapters = 2000;
    static SavedBook& Instance() {
        static SavedBook book;
        return book;
    }
    const DownloadJob& job() const { return job_; }
    const std::string& folder() const { return folder_; }

private:
    SavedBook() {
        job_.address = "http://127.0.0.1/book/index.html";
        job_.settings.saveFolder = folder_;
        const std::string txt = BookFolderOf(job_) + "txt/";
        EnsureFolders(txt);
        std::string text;
        while (text.size() < kChapterBytes) text += Gbk("　　") + Hanzi().substr(0, 600) + "\r\n\r\n";
        for (int i = 0; i < kChapters; ++i) {
            DownloadRow row{true, Gbk("第") + std::to_string(i + 1) + Gbk("章"), ""};
            row.txtFile = txt + ChapterFileName(row.title) + ".txt";
            WriteWholeFile(row.txtFile, text);
            job_.rows.push_back(std::move(row));
        }
    }
    ~SavedBook() {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

    std::string folder_ = "/dev/shm/bench-merge-" + std::to_string(getpid()) + "/";
    DownloadJob job_;
};

// The baseline of the merge: the same chapter files read one by one and
// written one after another into one file, through a buffer of the same
// size and the same atomic writer, with no headings and no layout.
void BM_ConcatChapters(benchmark::State& state) {
    const SavedBook& book = SavedBook::Instance();
    for (auto _ : state) {
        AtomicFileWriter out;
        bool ok = out.Open(book.folder() + "concatenated.txt");
        std::string buffer, text;
        buffer.reserve((1 << 20) + (1 << 18));
        for (const DownloadRow& row : book.job().rows) {
            ok = ReadWholeFile(row.txtFile, text) && ok;
            buffer += text;
            if (buffer.size() >= (1 << 20)) {
                ok = ok && out.Write(buffer);
                buffer.clear();
            }
        }
        if (!(ok && out.Write(buffer) && out.Commit())) state.SkipWithError("not written");
    }
}

void BM_MergeBook(benchmark::State& state) {
    const SavedBook& book = SavedBook::Instance();
    DownloadJob job = book.job();
    job.settings.formatTxt = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::vector<std::string> missing;
        int merged = 0;
        if (!WriteMergedBook(book.folder() + "book.txt", job, merged, missing))
            state.SkipWithError("not written");
        if (!missing.empty()) state.SkipWithError("chapters missing");
    }
    state.SetLabel(state.range(0) ? "formatted" : "as saved");
}

BENCHMARK(BM_ScanForLt)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HtmlToText)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExtractLinks)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
// The CPU column of the whole-book runs is the process's, server and
// chapter-saving threads included: a thread's own would hide the saving.
BENCHMARK(BM_FetchOnly)
    ->Iterations(3)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_DownloadAll)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_DownloadAll)->Arg(2)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConcatChapters)->Iterations(3)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MergeBook)->Arg(0)->Arg(1)->Iterations(3)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Collects each run's real and CPU time per iteration so the ratios to the
// baselines can be printed after the usual table.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
                // The fastest of the repetitions.
                const Times t{r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
                auto [at, added] = times_.emplace(r.benchmark_name(), t);
                if (!added) {
                    at->second.real = std::min(at->second.real, t.real);
                    at->second.cpu = std::min(at->second.cpu, t.cpu);
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        // A run is named by its benchmark, arguments and options
        // ("BM_MergeBook/0/iterations:3/repeats:3/real_time"); `name` is
        // the part up to the options.
        auto time = [this](const std::string& name) {
            for (const auto& [run, t] : times_) {
                if (run == name || run.rfind(name + "/", 0) == 0) return t;
            }
            return Times{};
        };
        auto ratio = [&time](const std::string& a, const std::string& b, const char* what) {
            const Times x = time(a), y = time(b);
            if (x.real > 0 && y.real > 0) std::printf("%-50s %8.2fx\n", what, x.real / y.real);
        };
        // A loaded machine stretches real time; the process's CPU time
        // stays nearer the work done.
        auto cpuRatio = [&time](const std::string& a, const std::string& b, const char* what) {
            const Times x = time(a), y = time(b);
            if (x.cpu > 0 && y.cpu > 0) std::printf("%-50s %8.2fx\n", what, x.cpu / y.cpu);
        };
        ratio("BM_HtmlToText/0", "BM_ScanForLt/0", "HtmlToText / memchr scan, 200 KB chapter");
        ratio("BM_HtmlToText/1", "BM_ScanForLt/1", "HtmlToText / memchr scan, 5,000-link contents");
        ratio("BM_ExtractLinks/0", "BM_ScanForLt/0", "ExtractLinks / memchr scan, 200 KB chapter");
        ratio("BM_ExtractLinks/1", "BM_ScanForLt/1", "ExtractLinks / memchr scan, 5,000-link contents");
        ratio("BM_DownloadAll/0", "BM_FetchOnly", "whole download / fetch only, saving to disk");
        ratio("BM_DownloadAll/1", "BM_FetchOnly", "whole download / fetch only, saving to /dev/shm");
        cpuRatio("BM_DownloadAll/1", "BM_FetchOnly", "  the same in process CPU time");
        ratio("BM_DownloadAll/2", "BM_FetchOnly", "whole download / fetch only, replacing on disk");
        ratio("BM_MergeBook/0", "BM_ConcatChapters", "merge / plain concatenation, as saved");
        ratio("BM_MergeBook/1", "BM_ConcatChapters", "merge / plain concatenation, formatted");
    }

private:
    struct Times {
        double real = 0, cpu = 0;
    };
    std::map<std::string, Times> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
