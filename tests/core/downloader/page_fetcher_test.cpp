#include "core/downloader/page_fetcher.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"
#include "support/http_test_server.h"

namespace quillon {
namespace {

using test::HttpTestServer;
using Clock = std::chrono::steady_clock;

class RecordingProgress final : public FetchObserver {
public:
    void OnFetchProgress(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + i % 26);
    return s;
}

class PageFetcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& svr = server_.server();
        svr.Get("/body", [this](const httplib::Request& req, httplib::Response& res) {
            agent_ = req.get_header_value("User-Agent");
            cacheControl_ = req.get_header_value("Cache-Control");
            res.set_content(body_, "text/html");
        });
        // Sends the body in pieces of 1,000 bytes, each its own write, so the
        // client sees reads of any size but the fetcher must re-chunk them.
        svr.Get("/trickle", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/html", [this](size_t offset, httplib::DataSink& sink) {
                if (offset >= body_.size()) {
                    sink.done();
                    return true;
                }
                size_t n = std::min<size_t>(1000, body_.size() - offset);
                sink.write(body_.data() + offset, n);
                return true;
            });
        });
        svr.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("<body>not here</body>", "text/html");
        });
        svr.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/body");
        });
        // Sends 100 bytes, then nothing for ten seconds.
        // A type the server does not compress: a gzip stream would hold the
        // 100 bytes back until its end.
        svr.Get("/slow", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream", [this](size_t offset, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write(std::string(100, 'x').data(), 100);
                    return true;
                }
                for (int i = 0; i < 100 && !quit_; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
                sink.done();
                return true;
            });
        });
        server_.Start();
    }
    void TearDown() override {
        quit_ = true;
        server_.Stop();
    }

    HttpTestServer server_;
    std::string body_;
    std::string agent_, cacheControl_;
    std::atomic<bool> quit_{false};
};

TEST_F(PageFetcherTest, ReadsArriveIn6144ByteStepsWhateverTheNetworkSends) {
    body_ = Pattern(20000);
    for (const char* path : {"/body", "/trickle"}) {
        PageFetcher fetcher;
        RecordingProgress progress;
        std::string text = "old";
        const std::string url = server_.Url(path);
        ASSERT_EQ(fetcher.Fetch(Gbk("第一章"), url, text, &progress), kFetchDone) << path;
        EXPECT_EQ(text, body_);
        std::vector<std::string> expected;
        for (int n : {6144, 12288, 18432, 20000}) {
            expected.push_back(Format(Gbk("(下载文件: %d ....) %s %s").c_str(), n,
                                      Gbk("第一章").c_str(), url.c_str()));
        }
        EXPECT_EQ(progress.texts, expected) << path;
    }
    EXPECT_EQ(agent_, "myhttpget");
    EXPECT_EQ(cacheControl_, "no-cache");
}

TEST_F(PageFetcherTest, NulLosesTheRestOfItsReadOnly) {
    body_ = Pattern(7000);
    body_[100] = '\0';   // in the first read of 6,144 bytes
    body_[6500] = '\0';  // in the second, shorter read
    PageFetcher fetcher;
    std::string text;
    ASSERT_EQ(fetcher.Fetch("n", server_.Url("/trickle"), text, nullptr), kFetchDone);
    EXPECT_EQ(text, body_.substr(0, 100) + body_.substr(6144, 6500 - 6144));
}

TEST_F(PageFetcherTest, FollowsRedirectsAndReusesItselfForTheNextPage) {
    body_ = "<body>moved here</body>";
    PageFetcher fetcher;
    std::string text;
    EXPECT_EQ(fetcher.Fetch("r", server_.Url("/moved"), text, nullptr), kFetchDone);
    EXPECT_EQ(text, body_);
    EXPECT_EQ(fetcher.Fetch("r", server_.Url("/body"), text, nullptr), kFetchDone);
    EXPECT_EQ(text, body_);
}

TEST_F(PageFetcherTest, ErrorStatusesAndUnreachableHostsAreFailures) {
    PageFetcher fetcher;
    std::string text;
    EXPECT_EQ(fetcher.Fetch("m", server_.Url("/missing"), text, nullptr), kFetchHttpError);
    EXPECT_EQ(fetcher.lastStatus(), 404);
    EXPECT_TRUE(IsFetchFailure(kFetchHttpError));

    // A port nobody listens on: the server is stopped after learning its port.
    HttpTestServer gone;
    gone.Start();
    std::string url = gone.Url("/x");
    gone.Stop();
    text = "old";
    EXPECT_EQ(fetcher.Fetch("g", url, text, nullptr), kFetchNotOpened);
    EXPECT_EQ(text, "");
    EXPECT_EQ(fetcher.Fetch("e", "", text, nullptr), kFetchNotOpened);
    // Only http and https are fetched: a page must not read local files.
    EXPECT_EQ(fetcher.Fetch("f", "file:///etc/hostname", text, nullptr), kFetchNotOpened);
    EXPECT_EQ(text, "");
}

TEST_F(PageFetcherTest, StopFlagAbandonsASlowTransferWithinASecond) {
    std::atomic<bool> stop{false};
    PageFetcher fetcher(&stop);
    RecordingProgress progress;
    std::string text;
    int code = -1;
    Clock::time_point stoppedAt;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stoppedAt = Clock::now();
        stop = true;
    });
    code = fetcher.Fetch("s", server_.Url("/slow"), text, &progress);
    Clock::time_point returnedAt = Clock::now();
    stopper.join();
    EXPECT_EQ(code, kFetchAbandoned);
    EXPECT_EQ(text, "");
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(returnedAt - stoppedAt).count(), 1000);
    // A raised flag stops the next fetch before it starts.
    EXPECT_EQ(fetcher.Fetch("s", server_.Url("/body"), text, nullptr), kFetchAbandoned);
}

TEST_F(PageFetcherTest, StalledTransferIsGivenUpByTheLowSpeedLimit) {
    PageFetcher fetcher;
    FetchOptions options;
    // The speed is averaged over a few seconds, so the 100 bytes at the start
    // keep it above 1 byte/s for a while; 1,000 bytes/s is undercut at once.
    options.lowSpeedBytes = 1000;
    options.lowSpeedSeconds = 1;
    fetcher.SetOptions(options);
    std::string text;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(fetcher.Fetch("s", server_.Url("/slow"), text, nullptr), kFetchBrokenOff);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    // What arrived is kept for the caller to judge.
    EXPECT_EQ(text, std::string(100, 'x'));
}

// The downloader reports the chapters saved while the next is being
// fetched: the work given to Fetch must run while the request waits, not
// only after the answer, and once more before Fetch returns.
TEST_F(PageFetcherTest, WorkWhileWaitingRunsBeforeTheAnswerAndAtTheEnd) {
    // This server answers only once the work has run, or after five seconds.
    HttpTestServer held;
    std::mutex mutex;
    std::condition_variable ran;
    bool workDone = false, answeredAfterWork = false;
    held.server().Get("/held", [&](const httplib::Request&, httplib::Response& res) {
        std::unique_lock lock(mutex);
        answeredAfterWork = ran.wait_for(lock, std::chrono::seconds(5), [&] { return workDone; });
        res.set_content("page", "text/html");
    });
    held.Start();

    auto fetcher = std::make_unique<PageFetcher>();
    std::string text;
    int runs = 0;
    auto work = [&] {
        ++runs;
        std::lock_guard lock(mutex);
        workDone = true;
        ran.notify_all();
    };
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(fetcher->Fetch("h", held.Url("/held"), text, nullptr, work), kFetchDone);
    EXPECT_EQ(text, "page");
    EXPECT_GE(runs, 2);
    EXPECT_TRUE(answeredAfterWork);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));

    // A fetch that never waits on the network still runs it, before it returns.
    runs = 0;
    EXPECT_EQ(fetcher->Fetch("e", "", text, nullptr, work), kFetchNotOpened);
    EXPECT_EQ(runs, 1);
    fetcher.reset();  // closes the kept-alive connection, so the server stops at once
    std::atomic<bool> stop{true};
    PageFetcher stopped(&stop);
    EXPECT_EQ(stopped.Fetch("s", server_.Url("/body"), text, nullptr, work), kFetchAbandoned);
    EXPECT_EQ(runs, 2);
    held.Stop();
}

TEST(EscapeUrlForRequestTest, EncodesOnlyWhatARequestLineCannotCarry) {
    EXPECT_EQ(EscapeUrlForRequest("http://h/a b/\xB5\xDA.html?x=1#f"),
              "http://h/a%20b/%B5%DA.html?x=1#f");
}

}  // namespace
}  // namespace quillon
