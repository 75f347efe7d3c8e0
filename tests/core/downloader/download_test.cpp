#include "core/downloader/download_worker.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/downloader/analysis_worker.h"
#include "core/downloader/command_line.h"
#include "core/net/md5.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"
#include "support/http_test_server.h"
#include "support/temp_folder.h"

namespace quillon {
namespace {

using test::HttpTestServer;
using test::TempFolder;
using Clock = std::chrono::steady_clock;

std::string Utf8Chapter() {
    return "<html><head><meta charset=\"utf-8\"><title>x</title></head><body>"
           "<h1>第一章 开始</h1><p>　　第一段。</p><script>var a=\"<b>\";</script></body></html>";
}
std::string GbkChapter() {
    return "<html><head><meta content=\"text/html; charset=gbk\"></head><body>" +
           Gbk("第二章&nbsp;继续<br>正文") + "</body></html>";
}
std::string Big5Chapter() {
    return "<html><head><meta content=\"text/html; charset=big5\"></head><body><div>" +
           ConvertCharset("第三章 這裏開始", "UTF-8", "CP950", "?") + "</div></body></html>";
}
std::string ContentsPage() {
    return "<html><head><meta content=\"text/html; charset=gb2312\"></head><body>" +
           Gbk("<a href=\"1.html\">第一章</a>\r\n"
               "<a href=\"2.html\"><b>第二章</b></a>\r\n"
               "<a href=\"3.html\">第三章</a>\r\n"
               "<a href=\"/missing/4.html\">第四章</a>\r\n"
               "<a href=\"5.html\">第五章</a>") +
           "</body></html>";
}

// Everything the worker reports, gathered for the assertions.
class RecordingObserver final : public DownloadObserver {
public:
    void OnStatus(const std::string& text) override {
        std::lock_guard lock(mutex);
        statuses.push_back(text);
    }
    void OnCount(const std::string& text) override {
        std::lock_guard lock(mutex);
        counts.push_back(text);
    }
    void OnSaveFolder(const std::string& folder) override { saveFolder = folder; }
    void OnRowDone(size_t row, const std::string& state, const std::string& saved) override {
        std::lock_guard lock(mutex);
        states[row] = state;
        savedFiles[row] = saved;
    }
    void OnFinished(const DownloadSummary& s) override {
        summary = s;
        finished = true;
    }

    std::mutex mutex;
    std::vector<std::string> statuses, counts;
    std::string saveFolder;
    std::map<size_t, std::string> states, savedFiles;
    DownloadSummary summary;
    std::atomic<bool> finished{false};
};

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& svr = server_.server();
        auto serve = [&svr](const std::string& path, std::string body) {
            svr.Get(path, [body](const httplib::Request&, httplib::Response& res) {
                res.set_content(body, "text/html");
            });
        };
        serve("/book/index.html", ContentsPage());
        serve("/book/1.html", Utf8Chapter());
        serve("/book/2.html", GbkChapter());
        serve("/book/3.html", Big5Chapter());
        serve("/book/5.html", "<body>five</body>");
        svr.Get("/missing/4.html", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("<body>gone</body>", "text/html");
        });
        // Sends half a chapter, then waits until the test ends.
        svr.Get("/book/slow.html", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/html", [this](size_t offset, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write("<body>half", 10);
                    return true;
                }
                for (int i = 0; i < 100 && !quit_; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
                sink.done();
                return true;
            });
        });
        server_.Start();
        address_ = server_.Url("/book/index.html");
    }
    void TearDown() override {
        quit_ = true;
        server_.Stop();
    }

    DownloadJob JobFor(const LinkList& links) {
        DownloadJob job;
        job.address = address_;
        job.settings.saveFolder = out_.path() + "books";  // no trailing '/'
        for (const LinkEntry& l : links) job.rows.push_back({true, l.title, l.url});
        return job;
    }

    LinkList Analyse() {
        class Quiet final : public AnalysisObserver {} quiet;
        LinkList links;
        EXPECT_EQ(AnalyseAddress(address_, links, quiet), kFetchDone);
        return links;
    }

    std::string BookFolder() const { return out_.path() + "books/" + Md5Hex(address_) + "/"; }

    static std::string Read(const std::string& path) {
        std::string s;
        EXPECT_TRUE(ReadWholeFile(path, s)) << path;
        return s;
    }

    HttpTestServer server_;
    TempFolder out_;
    std::string address_;
    std::atomic<bool> quit_{false};
};

TEST_F(DownloadTest, SavesEveryChapterAsGbkTextAndRawHtmlAndReportsTheFailedOne) {
    LinkList links = Analyse();
    ASSERT_EQ(links.size(), 5u);
    EXPECT_EQ(links[1].title, Gbk("<b>第二章</b>"));
    EXPECT_EQ(links[3].url, server_.Url("/missing/4.html"));

    DownloadJob job = JobFor(links);
    job.rows[4].checked = false;
    RecordingObserver observer;
    DownloadSummary summary = RunDownload(job, observer);

    const std::string book = BookFolder();
    ASSERT_EQ(Md5Hex(address_).size(), 32u);
    EXPECT_EQ(observer.saveFolder, book);
    EXPECT_EQ(summary.total, 4);
    EXPECT_EQ(summary.saved, 3);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_FALSE(summary.stopped);

    const std::string t1 = book + "txt/第一章.txt", h1 = book + "html/第一章.html";
    EXPECT_EQ(Read(t1), Gbk("\r\n第一章 开始\r\n\r\n　　第一段。\r\n"));
    EXPECT_EQ(Read(h1), Utf8Chapter());
    EXPECT_EQ(Read(book + "txt/第二章.txt"), Gbk("第二章 继续\r\n正文"));
    EXPECT_EQ(Read(book + "html/第二章.html"), GbkChapter());
    EXPECT_EQ(Read(book + "txt/第三章.txt"), Gbk("\r\n第三章 这里开始\r\n"));
    EXPECT_EQ(Read(book + "html/第三章.html"), Big5Chapter());

    // The 404 chapter: no files, and its row says so.
    EXPECT_FALSE(FileExists(book + "txt/第四章.txt"));
    EXPECT_FALSE(FileExists(book + "html/第四章.html"));
    EXPECT_EQ(observer.states[3], Gbk("下载失败"));
    EXPECT_EQ(observer.savedFiles[3], "");
    // The unchecked row is not touched.
    EXPECT_EQ(observer.states.count(4), 0u);
    EXPECT_FALSE(FileExists(book + "txt/第五章.txt"));

    EXPECT_EQ(observer.states[0], Gbk("下载完成"));
    EXPECT_EQ(observer.savedFiles[0], h1 + "   " + t1);
    EXPECT_EQ(observer.counts.front(), " 4/0");
    EXPECT_EQ(observer.counts.back(), " 4/4");
    EXPECT_EQ(observer.statuses.back(), Gbk("下载完成，1 个网址失败"));
}

TEST_F(DownloadTest, FormattedTextOnlyWhenAskedAndOnlyTheChosenKinds) {
    DownloadJob job = JobFor(Analyse());
    for (size_t i = 1; i < job.rows.size(); ++i) job.rows[i].checked = false;
    job.settings.saveAsHtml = 0;
    job.settings.formatTxt = 1;
    RecordingObserver observer;
    DownloadSummary summary = RunDownload(job, observer);
    EXPECT_EQ(summary.failed, 0);
    EXPECT_EQ(observer.statuses.back(), Gbk("下载完成"));

    const std::string book = BookFolder();
    EXPECT_EQ(Read(book + "txt/第一章.txt"), Gbk("    第一章 开始\r\n    第一段。\r\n"));
    EXPECT_FALSE(IsDirectory(book + "html"));
    EXPECT_EQ(observer.savedFiles[0], book + "txt/第一章.txt");

    auto has = [&](const std::string& s) {
        return std::find(observer.statuses.begin(), observer.statuses.end(), s) != observer.statuses.end();
    };
    EXPECT_TRUE(has(Gbk("格式化txt内容")));
    // Two lines out of an estimate of 1 + 4 LF bytes.
    EXPECT_TRUE(has(Gbk("格式化(2/5) 40%")));
}

TEST_F(DownloadTest, StopEndsTheRunWithinASecondAndLeavesNoPartialChapter) {
    DownloadJob job = JobFor(Analyse());
    job.rows.insert(job.rows.begin() + 1, DownloadRow{true, Gbk("慢章"), server_.Url("/book/slow.html")});

    RecordingObserver observer;
    DownloadWorker worker(observer);
    ASSERT_TRUE(worker.Start(job));
    EXPECT_FALSE(worker.Start(job));  // one run at a time
    // Wait until the slow chapter is being fetched.
    for (int i = 0; i < 200; ++i) {
        {
            std::lock_guard lock(observer.mutex);
            if (observer.counts.size() >= 3) break;  // " 6/0", " 6/1", " 6/2"
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    {
        // The chapter before is reported saved while the slow one hangs.
        std::lock_guard lock(observer.mutex);
        EXPECT_EQ(observer.states[0], Gbk("下载完成"));
    }
    Clock::time_point stopAt = Clock::now();
    worker.Stop();
    worker.Wait();
    EXPECT_LT(Clock::now() - stopAt, std::chrono::seconds(1));
    EXPECT_FALSE(worker.IsRunning());

    ASSERT_TRUE(observer.finished);
    EXPECT_TRUE(observer.summary.stopped);
    EXPECT_EQ(observer.statuses.back(), Gbk("终止下载"));
    const std::string book = BookFolder();
    EXPECT_TRUE(FileExists(book + "txt/第一章.txt"));
    EXPECT_EQ(observer.states.count(1), 0u);  // the cut chapter is not marked done
    // Nothing of the cut chapter, the ones after it or the atomic writes.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(book)) {
        if (e.is_regular_file()) names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"第一章.html", "第一章.txt"}));
}

// Saving a chapter overlaps fetching the next, yet the observer must see
// the calls of a run on one thread: one at a time, each row's reports
// between its count and the next row's count.
TEST_F(DownloadTest, ReportsKeepTheOrderOfTheRowsWhileSavingOverlapsFetching) {
    class SequenceObserver final : public DownloadObserver {
    public:
        void OnStatus(const std::string& text) override {
            Log(text.rfind(Gbk("(下载文件: "), 0) == 0 ? "fetch " + Url(text) : "status " + text);
        }
        void OnCount(const std::string& text) override { Log("count" + text); }
        void OnRowDone(size_t row, const std::string& state, const std::string&) override {
            Log("row " + std::to_string(row) + " " + state);
        }
        void OnFinished(const DownloadSummary&) override { Log("finished"); }

        std::vector<std::string> events;
        bool overlapped = false;

    private:
        static std::string Url(const std::string& text) { return text.substr(text.rfind(' ') + 1); }
        void Log(std::string e) {
            if (inside_.exchange(true)) overlapped = true;
            std::this_thread::sleep_for(std::chrono::microseconds(200));  // widens any race
            events.push_back(std::move(e));
            inside_ = false;
        }
        std::atomic<bool> inside_{false};
    };

    LinkList links = Analyse();
    DownloadJob job = JobFor(links);
    job.rows[4].checked = false;
    job.settings.formatTxt = 1;
    SequenceObserver observer;
    RunDownload(job, observer);
    EXPECT_FALSE(observer.overlapped);

    // Progress texts repeat: a fetch's (reduced to its address) and the
    // formatter's each count once per run of them.
    const std::string formatting = "status " + Gbk("格式化(");
    std::vector<std::string> seen;
    for (const std::string& e : observer.events) {
        std::string key = e.rfind(formatting, 0) == 0 ? formatting + "*" : e;
        bool progress = key.rfind("fetch ", 0) == 0 || key == formatting + "*";
        if (progress && !seen.empty() && seen.back() == key) continue;
        seen.push_back(key);
    }
    std::vector<std::string> expected = {"count 4/0"};
    const std::string done = Gbk("下载完成"), failed = Gbk("下载失败");
    for (size_t r = 0; r < 4; ++r) {
        expected.push_back("count 4/" + std::to_string(r + 1));
        expected.push_back("fetch " + job.rows[r].url);
        if (r == 3) {
            expected.push_back("row 3 " + failed);
            continue;
        }
        expected.push_back("status " + Gbk("保存数据...."));
        expected.push_back("status " + Gbk("格式化txt内容"));
        expected.push_back(formatting + "*");
        expected.push_back("status ....");
        expected.push_back("row " + std::to_string(r) + " " + done);
    }
    expected.push_back("status " + Gbk("下载完成，1 个网址失败"));
    expected.push_back("finished");
    EXPECT_EQ(seen, expected);
}

// A long book from a fast server: each chapter is saved while the next is
// fetched, yet every row is reported once, in order, with its files written.
TEST_F(DownloadTest, ALongBookIsSavedWholeAndInOrder) {
    server_.Stop();
    HttpTestServer many;
    many.server().Get(R"(/long/(\d+)\.html)", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("<body>chapter " + std::string(req.matches[1]) + "</body>", "text/html");
    });
    many.Start();
    DownloadJob job;
    job.address = many.Url("/long/index.html");
    job.settings.saveFolder = out_.path() + "long";
    constexpr int kRows = 700;
    for (int i = 0; i < kRows; ++i) {
        job.rows.push_back({true, "c" + std::to_string(i), many.Url("/long/" + std::to_string(i) + ".html")});
    }
    class RowOrder final : public DownloadObserver {
    public:
        void OnRowDone(size_t row, const std::string& state, const std::string&) override {
            rows.push_back(row);
            allDone = allDone && state == RowDoneText();
        }
        std::vector<size_t> rows;
        bool allDone = true;
    } observer;
    DownloadSummary summary = RunDownload(job, observer);
    many.Stop();

    EXPECT_EQ(summary.saved, kRows);
    EXPECT_EQ(summary.failed, 0);
    ASSERT_EQ(observer.rows.size(), static_cast<size_t>(kRows));
    for (size_t i = 0; i < observer.rows.size(); ++i) ASSERT_EQ(observer.rows[i], i);
    EXPECT_TRUE(observer.allDone);
    const std::string book = out_.path() + "long/" + Md5Hex(job.address) + "/";
    EXPECT_EQ(Read(book + "txt/c0.txt"), "chapter 0");
    EXPECT_EQ(Read(book + "txt/c699.txt"), "chapter 699");
    EXPECT_EQ(Read(book + "html/c350.html"), "<body>chapter 350</body>");
}

TEST_F(DownloadTest, DownloadingAgainReplacesTheChapterFilesWhole) {
    DownloadJob job = JobFor(Analyse());
    job.rows.resize(1);
    const std::string book = BookFolder();
    ASSERT_EQ(EnsureFolders(book + "txt/1.txt"), 0);
    ASSERT_TRUE(WriteWholeFile(book + "txt/第一章.txt", std::string(100000, 'o')));
    RecordingObserver observer;
    EXPECT_EQ(RunDownload(job, observer).saved, 1);
    EXPECT_EQ(Read(book + "txt/第一章.txt"), Gbk("\r\n第一章 开始\r\n\r\n　　第一段。\r\n"));
    EXPECT_EQ(Read(book + "html/第一章.html"), Utf8Chapter());
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(book))
        if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"第一章.html", "第一章.txt"}));
}

TEST_F(DownloadTest, UnwritableFolderIsAFailureNotADoneRow) {
    DownloadJob job = JobFor(Analyse());
    job.rows.resize(1);
    job.settings.saveFolder = "relative/folder";  // nothing is created for it
    RecordingObserver observer;
    DownloadSummary summary = RunDownload(job, observer);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(observer.states[0], Gbk("保存失败"));
}

TEST_F(DownloadTest, AnalysisOfAFailedPageListsNothing) {
    class Recorder final : public AnalysisObserver {
    public:
        void OnStatus(const std::string& t) override { last = t; }
        void OnCount(const std::string& t) override { count = t; }
        std::string last, count;
    } recorder;
    LinkList links;
    EXPECT_EQ(AnalyseAddress(server_.Url("/missing/4.html"), links, recorder), kFetchHttpError);
    EXPECT_TRUE(links.empty());
    EXPECT_EQ(recorder.last, Gbk("下载失败"));
    EXPECT_EQ(recorder.count, Gbk("共 0"));

    EXPECT_EQ(AnalyseAddress(address_, links, recorder), kFetchDone);
    EXPECT_EQ(recorder.last, Gbk("下载完成"));
    EXPECT_EQ(recorder.count, Gbk("共 5"));
}

// ---- the command line, run in-process ----

struct CommandResult {
    int status = -1;
    std::string out, err;
};

std::string Drain(std::FILE* f) {
    std::string s;
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

CommandResult RunFetchwell(std::vector<std::string> args) {
    args.insert(args.begin(), "fetchwell");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    CommandResult r;
    r.status = RunCommandLine(static_cast<int>(args.size()), argv.data(), out, err);
    r.out = Drain(out);
    r.err = Drain(err);
    return r;
}

class CommandLineTest : public DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        // No settings of the person running the tests leak in.
        SetProgramHomeVariable("FETCHWELL_HOME");
        setenv("FETCHWELL_HOME", home_.path().c_str(), 1);
    }
    void TearDown() override {
        unsetenv("FETCHWELL_HOME");
        DownloadTest::TearDown();
    }
    TempFolder home_;
};

TEST_F(CommandLineTest, ListPrintsTitleTabAddressPerRow) {
    CommandResult r = RunFetchwell({"--list", address_});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "第一章\t" + server_.Url("/book/1.html") + "\n" +
                         "<b>第二章</b>\t" + server_.Url("/book/2.html") + "\n" +
                         "第三章\t" + server_.Url("/book/3.html") + "\n" +
                         "第四章\t" + server_.Url("/missing/4.html") + "\n" +
                         "第五章\t" + server_.Url("/book/5.html") + "\n");

    r = RunFetchwell({"--list", server_.Url("/missing/4.html")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
}

TEST_F(CommandLineTest, DownloadSavesTheSelectedRowsOnly) {
    CommandResult r = RunFetchwell({"--download", address_, "--select", "2-3,5", "--out", out_.path() + "cli",
                           "--txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string book = out_.path() + "cli/" + Md5Hex(address_) + "/";
    EXPECT_EQ(Read(book + "txt/第二章.txt"), Gbk("第二章 继续\r\n正文"));
    EXPECT_TRUE(FileExists(book + "txt/第三章.txt"));
    EXPECT_TRUE(FileExists(book + "txt/第五章.txt"));
    EXPECT_FALSE(FileExists(book + "txt/第一章.txt"));
    EXPECT_FALSE(IsDirectory(book + "html"));

    // Row 4 answers 404: the run says so in its exit status.
    r = RunFetchwell({"--download", address_, "--select", "4", "--out", out_.path() + "cli"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("下载失败"), std::string::npos) << r.err;
}

TEST_F(CommandLineTest, HtmlToTextWritesGbkOrUtf8) {
    const std::string file = out_.path() + "page.html";
    ASSERT_TRUE(WriteWholeFile(file, GbkChapter()));
    CommandResult r = RunFetchwell({"--html-to-text", file});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Gbk("第二章 继续\r\n正文"));
    r = RunFetchwell({"--html-to-text", file, "--utf8"});
    EXPECT_EQ(r.out, "第二章 继续\r\n正文");
    r = RunFetchwell({"--html-to-text", out_.path() + "none.html"});
    EXPECT_EQ(r.status, 1);
}

TEST_F(CommandLineTest, BadArgumentsExitWithTwo) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--list"},
        {"--list", "a", "b"},
        {"--download"},
        {"--download", address_, "--select"},
        {"--download", address_, "--select", "0"},
        {"--download", address_, "--select", "3-1"},
        {"--download", address_, "--select", "1,,2"},
        {"--download", address_, "--select", "x"},
        {"--download", address_, "--nope"},
        {"--download", address_, "--select", "9"},  // the page has 5 rows
        {"--html-to-text"},
    };
    for (const auto& args : bad) {
        CommandResult r = RunFetchwell(args);
        EXPECT_EQ(r.status, 2) << args[0] << " " << (args.size() > 1 ? args.back() : "");
        EXPECT_NE(r.err.find("fetchwell: "), std::string::npos);
    }
    CommandResult help = RunFetchwell({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--download URL"), std::string::npos);
    CommandResult version = RunFetchwell({"--version"});
    EXPECT_EQ(version.out, "Fetchwell 1.1.1\n");
}

}  // namespace
}  // namespace quillon
