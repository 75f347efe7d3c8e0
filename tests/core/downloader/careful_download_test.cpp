// Downloads from sites that need care: charsets named only by the answer,
// compressed answers, pauses, retries, resuming, and the finished book.
#include <atomic>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "core/downloader/analysis_worker.h"
#include "core/downloader/book_merger.h"
#include "core/downloader/command_line.h"
#include "core/downloader/download_worker.h"
#include "core/downloader/page_charset.h"
#include "core/net/md5.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"
#include "support/gzip.h"
#include "support/http_test_server.h"
#include "support/temp_folder.h"

namespace quillon {
namespace {

using test::HttpTestServer;
using test::TempFolder;
using Clock = std::chrono::steady_clock;

using quillon::test::Gzip;

class Recorder final : public DownloadObserver {
public:
    void OnRowDone(size_t row, const std::string& state, const std::string&) override { states[row] = state; }
    void OnRowState(size_t row, const std::string& state) override { waits[row].push_back(state); }
    std::map<size_t, std::string> states;
    std::map<size_t, std::vector<std::string>> waits;
};

// A book of five chapters. Chapter 1 is UTF-8 named only by the header,
// 2 is gzip-compressed, 3 answers 503 twice before the page, 4 is 404,
// 5 a gzip body that is corrupt. Every request is counted and timed.
class CarefulDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& svr = server_.server();
        svr.Get("/book/index.html", [this](const httplib::Request& req, httplib::Response& res) {
            Count(req);
            res.set_content("<html><head><title> 远方的书 / 全文 </title></head><body>"
                            "<a href=\"1.html\">第1章 出发</a><a href=\"2.html\">第2章 路上</a>"
                            "<a href=\"3.html\">第3章 风雨</a><a href=\"4.html\">第4章 失踪</a>"
                            "<a href=\"5.html\">第5章 坏包</a></body></html>",
                            "text/html; charset=UTF-8");
        });
        // Rows as real contents pages have them: an image link, an anchor
        // that names no address, a chapter, a chapter that is gone.
        svr.Get("/book/odd.html", [this](const httplib::Request& req, httplib::Response& res) {
            Count(req);
            res.set_content(
                "<body><a href=\"1.html\"><img src=\"next.png\"></a><a id=\"top\"></a>"
                "<a href=\"2.html\">" +
                    Gbk("第2章 路上") + "</a><a href=\"4.html\">" + Gbk("第4章 失踪") +
                    "</a></body>",
                "text/html");
        });
        svr.Get("/book/1.html", [this](const httplib::Request& req, httplib::Response& res) {
            Count(req);
            res.set_content("<body><p>第一段，出发。</p></body>", "text/html;charset=\"utf-8\"");
        });
        svr.Get("/book/2.html", [this](const httplib::Request& req, httplib::Response& res) {
            Count(req);
            res.set_header("Content-Encoding", "gzip");
            res.set_content(Gzip("<body>" + Gbk("第二段，路上。") + "</body>"), "text/html");
        });
        svr.Get("/book/3.html", [this](const httplib::Request& req, httplib::Response& res) {
            if (Count(req) <= failuresOf3_) {
                res.status = 503;
                if (!retryAfter_.empty()) res.set_header("Retry-After", retryAfter_);
                return;
            }
            res.set_content("<body>" + Gbk("第三段，风雨。") + "</body>", "text/html");
        });
        svr.Get("/book/4.html", [this](const httplib::Request& req, httplib::Response& res) {
            Count(req);
            res.status = 404;
        });
        svr.Get("/book/5.html", [this](const httplib::Request& req, httplib::Response& res) {
            Count(req);
            res.set_header("Content-Encoding", "gzip");
            std::string bad = Gzip(std::string(4000, 'x'));
            for (size_t i = 12; i < bad.size(); i += 3) bad[i] = static_cast<char>(bad[i] ^ 0x5A);
            res.set_content(bad, "text/html");
        });
        server_.Start();
        address_ = server_.Url("/book/index.html");
        SetProgramHomeVariable("FETCHWELL_HOME");
        setenv("FETCHWELL_HOME", home_.path().c_str(), 1);
    }
    void TearDown() override {
        server_.Stop();
        unsetenv("FETCHWELL_HOME");
    }

    int Count(const httplib::Request& req) {
        std::lock_guard lock(mutex_);
        times_.push_back(Clock::now());
        agents_.push_back(req.get_header_value("User-Agent"));
        return ++requests_[req.path];
    }
    int Requests(const std::string& path) {
        std::lock_guard lock(mutex_);
        return requests_[path];
    }

    DownloadJob Job(const std::vector<int>& rows) {
        DownloadJob job;
        job.address = address_;
        job.settings.saveFolder = out_.path() + "books/";
        for (int r = 1; r <= 5; ++r) {
            job.rows.push_back({std::find(rows.begin(), rows.end(), r) != rows.end(),
                                Gbk("第") + std::to_string(r) + Gbk("章"),
                                server_.Url("/book/" + std::to_string(r) + ".html")});
        }
        return job;
    }
    std::string Txt(int r) {
        std::string s;
        ReadWholeFile(out_.path() + "books/" + Md5Hex(address_) + "/txt/" + GbkToUtf8(Gbk("第")) +
                          std::to_string(r) + "章.txt",
                      s);
        return s;
    }

    HttpTestServer server_;
    TempFolder out_, home_;
    std::string address_;
    std::mutex mutex_;
    std::map<std::string, int> requests_;
    std::vector<Clock::time_point> times_;
    std::vector<std::string> agents_;
    int failuresOf3_ = 2;
    std::string retryAfter_;
};

TEST_F(CarefulDownloadTest, HeaderCharsetAndCompressedAnswersAreDecoded) {
    class Titles final : public AnalysisObserver {
    public:
        void OnTitle(const std::string& t) override { title = t; }
        std::string title;
    } observer;
    LinkList links;
    ASSERT_EQ(AnalyseAddress(address_, links, observer), kFetchDone);
    ASSERT_EQ(links.size(), 5u);
    EXPECT_EQ(links[0].title, Gbk("第1章 出发"));
    EXPECT_EQ(observer.title, Gbk("远方的书 / 全文"));

    DownloadJob job = Job({1, 2, 5});
    job.settings.saveAsHtml = 0;
    Recorder recorder;
    DownloadSummary summary = RunDownload(job, recorder);
    EXPECT_EQ(Txt(1), Gbk("\r\n第一段，出发。\r\n"));
    EXPECT_EQ(Txt(2), Gbk("第二段，路上。"));
    // The corrupt body fails its row and leaves no file.
    EXPECT_EQ(recorder.states[4], RowFailedText());
    EXPECT_EQ(Txt(5), "");
    EXPECT_EQ(summary.saved, 2);
    EXPECT_EQ(summary.failed, 1);
}

TEST_F(CarefulDownloadTest, PassingFailuresAreTriedAgainAndOthersAreNot) {
    struct Case {
        int retries;
        int failures;
        std::string retryAfter;
        bool saved;
        int requestsOf3;
        int minimumMs;  // the whole run lasts at least this long
    };
    const Case cases[] = {
        {2, 2, "", true, 3, 10 + 20},  // back-off of 10 then 20 ms
        {0, 2, "", false, 1, 0},       // a single try, as without retries
        {2, 3, "", false, 3, 30},      // still failing after the last try
        {1, 1, "1", true, 2, 1000},    // Retry-After: 1 is waited
        {1, 1, "soon", true, 2, 10},   // garbage is no Retry-After
    };
    for (const Case& c : cases) {
        {
            std::lock_guard lock(mutex_);
            requests_.clear();
        }
        failuresOf3_ = c.failures;
        retryAfter_ = c.retryAfter;
        DownloadJob job = Job({3, 4});
        job.preferences.retries = c.retries;
        job.preferences.retryBaseMs = 10;
        job.settings.saveFolder = out_.path() + "r" + std::to_string(&c - cases) + "/";
        Recorder recorder;
        const auto start = Clock::now();
        RunDownload(job, recorder);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        const std::string label = "retries " + std::to_string(c.retries) + " failures " +
                                  std::to_string(c.failures) + " Retry-After '" + c.retryAfter + "'";
        EXPECT_EQ(recorder.states[2], c.saved ? RowDoneText() : RowFailedText()) << label;
        EXPECT_EQ(Requests("/book/3.html"), c.requestsOf3) << label;
        EXPECT_EQ(recorder.waits[2].size(), static_cast<size_t>(c.requestsOf3 - 1)) << label;
        if (c.retries > 0) {
            EXPECT_EQ(recorder.waits[2][0], Format(Gbk("重试 %d/%d ...").c_str(), 1, c.retries)) << label;
        }
        EXPECT_GE(ms, c.minimumMs) << label;
        EXPECT_LT(ms, c.minimumMs + 900) << label;
        // 404 will not change: one request however many tries are allowed.
        EXPECT_EQ(Requests("/book/4.html"), 1) << label;
    }
}

TEST_F(CarefulDownloadTest, RequestsArePacedAndAStopEndsTheWaitAtOnce) {
    DownloadJob job = Job({1, 2, 3});
    failuresOf3_ = 0;
    job.preferences.delayMs = 120;
    job.preferences.userAgent = BrowserUserAgent();
    Recorder recorder;
    RunDownload(job, recorder);
    {
        std::lock_guard lock(mutex_);
        ASSERT_EQ(times_.size(), 3u);
        for (size_t i = 1; i < times_.size(); ++i) {
            EXPECT_GE(times_[i] - times_[i - 1], std::chrono::milliseconds(120)) << i;
        }
        EXPECT_EQ(agents_[0], BrowserUserAgent());
    }
    // A long pause (and a long back-off) gives way to the stop flag.
    job.preferences.delayMs = 60000;
    std::atomic<bool> stop{false};
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    const auto start = Clock::now();
    DownloadSummary summary = RunDownload(job, recorder, &stop);
    stopper.join();
    EXPECT_TRUE(summary.stopped);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

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

CommandResult Fetchwell(std::vector<std::string> args) {
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

TEST_F(CarefulDownloadTest, SecondRunWithMissingFetchesOnlyWhatIsMissingThenMerges) {
    failuresOf3_ = 0;
    const std::string out = "--out=" + out_.path() + "books";
    CommandResult r = Fetchwell({"--download=" + address_, "--select=1,3", out, "--delay", "0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("1/2 下载完成 第1章"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2/2 下载完成 第3章"), std::string::npos) << r.err;

    const std::string book = out_.path() + "whole.txt";
    r = Fetchwell({"--download", address_, "--select", "1-4", "--missing", out, "--delay=0", "--retries=0",
                   "--merge=" + book, "--txt"});
    EXPECT_EQ(r.status, 1);  // chapter 4 is missing from the book
    EXPECT_EQ(Requests("/book/1.html"), 1);
    EXPECT_EQ(Requests("/book/3.html"), 1);
    EXPECT_EQ(Requests("/book/2.html"), 1);
    EXPECT_NE(r.err.find("已存在 第1章"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("缺少 1 章：第4章"), std::string::npos) << r.err;

    std::string merged;
    ASSERT_TRUE(ReadWholeFile(book, merged));
    EXPECT_EQ(merged, Gbk("第1章 出发\r\n第一段，出发。\r\n第2章 路上\r\n第二段，路上。\r\n"
                          "第3章 风雨\r\n第三段，风雨。\r\n"));

    // Without a file name the book is named after the contents page.
    r = Fetchwell({"--download", address_, "--select=2", "--missing", out, "--merge", "--epub"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string folder = out_.path() + "books/" + Md5Hex(address_) + "/";
    EXPECT_TRUE(FileExists(folder + "远方的书  全文.txt")) << r.err;
    EXPECT_TRUE(FileExists(folder + "远方的书  全文.epub")) << r.err;
}

TEST_F(CarefulDownloadTest, TheBookHoldsWhatEachRowSavedAndNamesTheRest) {
    const std::string contents = server_.Url("/book/odd.html");
    // A chapter file left by an earlier run: the row failing now must not
    // bring it into the book.
    const std::string txt = out_.path() + "books/" + Md5Hex(contents) + "/txt/";
    ASSERT_EQ(EnsureFolders(txt), 0);
    ASSERT_TRUE(WriteWholeFile(txt + "第4章 失踪.txt", "stale"));
    const std::string book = out_.path() + "odd.txt";
    const auto start = Clock::now();
    CommandResult r = Fetchwell({"--download", contents, "--out=" + out_.path() + "books",
                                 "--delay=0", "--retries=2", "--txt", "--merge=" + book});
    // The row without an address fails at once, without back-off.
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("重试"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2 chapters merged"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("缺少 2 章：第2行、第4章 失踪"), std::string::npos) << r.err;
    std::string merged;
    ASSERT_TRUE(ReadWholeFile(book, merged));
    EXPECT_EQ(merged, Gbk("第1章\r\n第一段，出发。\r\n第2章 路上\r\n第二段，路上。\r\n"));
}

TEST_F(CarefulDownloadTest, OptionsParseTheGnuWay) {
    const std::string out = out_.path() + "cli";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::string file = out_.path() + "a-file";
    ASSERT_TRUE(WriteWholeFile(file, "x"));
    const Case cases[] = {
        {{"--download", address_, "--help"}, 0, ""},
        {{"--select=1-3", "--download=" + address_, "--txt", "--out", out, "--delay=0", "--retries=0"}, 1,
         "3/3 下载失败 第3章"},
        {{"--down", address_, "--select", "0"}, 2, "bad row selection '0'"},
        {{"--download", address_, "--select=5-2"}, 2, "bad row selection '5-2'"},
        {{"--download", address_, "--delay=-1"}, 2, "--delay takes"},
        {{"--download", address_, "--retries", "x"}, 2, "--retries takes"},
        {{"--download", address_, "--out=" + file + "/sub"}, 1, "cannot create the folder"},
        {{"--list", address_, "--select=1"}, 2, "--select only goes with --download"},
        {{"--list", address_, "--download", address_}, 2, "only one of"},
        {{"--download", address_, "--browser"}, 2, "--browser"},
        {{"--download", address_, "--select"}, 2, "--select needs a value"},
        {{"--txt"}, 2, "give one of"},
        {{"extra"}, 2, "unknown command extra"},
    };
    for (const Case& c : cases) {
        CommandResult r = Fetchwell(c.args);
        std::string label;
        for (const std::string& a : c.args) label += a + " ";
        EXPECT_EQ(r.status, c.status) << label << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << label << r.err;
        if (c.status == 0) {
            EXPECT_NE(r.out.find("Usage: fetchwell"), std::string::npos);
        }
    }
}

TEST(HeaderCharsetTest, OnlyAPageThatNamesNoCharsetTakesTheHeaders) {
    const std::string utf8 = "<p>第一段</p>";
    const std::string big5 = ConvertCharset("<p>這裏</p>", "UTF-8", "CP950", "?");
    struct Case {
        std::string page, contentType, expected;
    } cases[] = {
        {utf8, "text/html; charset=UTF-8", Gbk("<p>第一段</p>")},
        {utf8, "text/html; Charset = \"utf-8\"", Gbk("<p>第一段</p>")},
        {big5, "text/html; charset=big5", Gbk("<p>这里</p>")},
        {Gbk("<p>第一段</p>"), "text/html; charset=gb2312", Gbk("<p>第一段</p>")},
        // A charset iconv does not know, or none: left for the page's test.
        {utf8, "text/html; charset=x-no-such-set", utf8},
        {utf8, "text/html", utf8},
        // The page's own declaration wins over the header.
        {"<meta charset=gbk>" + Gbk("第一段"), "text/html; charset=utf-8", "<meta charset=gbk>" + Gbk("第一段")},
    };
    for (const Case& c : cases) {
        std::string page = c.page;
        ApplyHeaderCharset(page, c.contentType);
        EXPECT_EQ(page, c.expected) << c.contentType;
    }
}

TEST(EpubTest, TheCheckerAcceptsTheBookAndABadTargetIsReported) {
    TempFolder dir;
    const std::vector<BookChapter> chapters = {
        {Gbk("<b>第1章</b> 甲&乙"), Gbk("　　第一段 <不是标签>\r\n\r\n　　第二段\x01\r\n")},
        {Gbk("第2章"), ""},
        {"", "text"},
    };
    std::string error;
    EXPECT_FALSE(WriteEpub(dir.path() + "no-such/dir/book.epub", Gbk("书"), chapters, error));
    EXPECT_NE(error.find("no-such/dir/book.epub"), std::string::npos);

    const std::string book = dir.path() + "book.epub";
    ASSERT_TRUE(WriteEpub(book, Gbk("远方 & <书>"), chapters, error)) << error;
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(book, bytes));
    // The first entry is the uncompressed mimetype, as readers look for it.
    EXPECT_EQ(bytes.substr(30, 28), "mimetypeapplication/epub+zip");
    // The checker is a Java archive; run it through java, not binfmt.
    const std::string checker = "/usr/share/java/epubcheck.jar";
    if (!FileExists(checker)) GTEST_SKIP() << "epubcheck not installed";
    const std::string report = dir.path() + "report.txt";
    const int rc = std::system(("java -XX:TieredStopAtLevel=1 -XX:+UseSerialGC -jar " + checker + " '" + book + "' >'" + report + "' 2>&1").c_str());
    std::string text;
    ReadWholeFile(report, text);
    EXPECT_EQ(rc, 0) << text;
    EXPECT_EQ(text.find("ERROR"), std::string::npos) << text;
}

}  // namespace
}  // namespace quillon
