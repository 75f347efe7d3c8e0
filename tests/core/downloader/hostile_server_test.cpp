// Servers that misbehave on purpose, on a raw socket on 127.0.0.1. The
// fetching happens in a child process, so its peak memory (VmHWM) is the
// fetch's own and a fetch that never ends can be killed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include "core/downloader/download_worker.h"
#include "core/downloader/page_fetcher.h"
#include "core/net/http_get_client.h"
#include "core/net/md5.h"
#include "core/text/gbk_literal.h"
#include "support/gzip.h"
#include "support/http_test_server.h"
#include "support/temp_folder.h"

namespace quillon {
namespace {

using Clock = std::chrono::steady_clock;

constexpr long long kCap = 8LL * 1024 * 1024;
constexpr long kDeadline = 2;
// The child is killed after this long: a fetch still running then hung.
constexpr int kKillAfterSeconds = 15;

using quillon::test::Gzip;

const std::string kChapter = "<html><body>" + Gbk("第一章 开始") + "</body></html>";

bool SendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Waits until the client hangs up, or `seconds` pass.
void WaitForHangUp(int fd, int seconds) {
    auto end = Clock::now() + std::chrono::seconds(seconds);
    char buf[4096];
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) > 0 && recv(fd, buf, sizeof buf, 0) <= 0) return;
    }
}

// One answer per request path.
void Answer(int fd, const std::string& path) {
    const auto end = Clock::now() + std::chrono::seconds(kKillAfterSeconds);
    if (path == "/endless") {
        SendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\n\r\n");
        const std::string block(1 << 16, 'x');
        while (Clock::now() < end && SendAll(fd, block)) {
        }
    } else if (path == "/trickle") {
        SendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\n\r\n");
        // Two bytes a second is above any low-speed limit of one byte.
        while (Clock::now() < end && SendAll(fd, "ab")) usleep(500000);
    } else if (path == "/silence") {
        SendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1000\r\n\r\n");
        WaitForHangUp(fd, kKillAfterSeconds);
    } else if (path == "/gzip" || path == "/badgzip") {
        // A gzip header, then a deflate block of the reserved type.
        const std::string bad("\x1F\x8B\x08\0\0\0\0\0\0\x03\xFF\xFF\xFF\xFF", 14);
        const std::string body = path == "/gzip" ? Gzip(kChapter) : bad;
        SendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Encoding: gzip\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n\r\n" + body);
    } else if (path == "/reset") {
        SendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 100000\r\n\r\n" + std::string(20000, 'r'));
        usleep(100000);
        linger hard{1, 0};  // close with RST
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    } else if (path == "/huge") {
        SendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2147483700\r\n\r\n");
        const std::string block(1 << 16, 'h');
        while (Clock::now() < end && SendAll(fd, block)) {
        }
    } else {
        SendAll(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    }
}

std::string RequestPath(int fd) {
    std::string head;
    char buf[2048];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) return {};
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return {};
        head.append(buf, static_cast<size_t>(n));
    }
    size_t sp = head.find(' ');
    size_t sp2 = head.find(' ', sp + 1);
    if (sp == std::string::npos || sp2 == std::string::npos) return {};
    return head.substr(sp + 1, sp2 - sp - 1);
}

// A field of /proc/self/status in KiB: "VmHWM:" (the peak) or "VmRSS:".
long MemoryKb(const char* field) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, n) == 0) kb = std::atol(line + n);
    }
    std::fclose(f);
    return kb;
}

// What the child reports: lines of "key value".
using Report = std::map<std::string, std::string>;

class HostileServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::BypassProxyForLocalhost();
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(listen(listener_, 16), 0);
        socklen_t len = sizeof a;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    void TearDown() override { close(listener_); }

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

    // Runs `fetch` in a child while this process serves it; returns what the
    // child reported, with its peak memory and run time added.
    template <typename Fetch>
    Report RunChild(Fetch fetch) {
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        const auto start = Clock::now();
        pid_t child = fork();
        if (child == 0) {
            close(out[0]);
            // The child starts with what it inherited (much more in a
            // sanitizer build): the fetch's own peak is above that.
            const long base = MemoryKb("VmRSS:");
            Report r = fetch();
            r["hwm"] = std::to_string(MemoryKb("VmHWM:") - base);
            std::string text;
            for (const auto& [k, v] : r) text += k + " " + v + "\n";
            if (write(out[1], text.data(), text.size()) < 0) _exit(3);
            _exit(0);
        }
        close(out[1]);
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (Clock::now() - start > std::chrono::seconds(kKillAfterSeconds)) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                break;
            }
            pollfd p{listener_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            Answer(fd, RequestPath(fd));
            close(fd);
        }
        Report r;
        std::string text;
        char buf[4096];
        ssize_t n;
        while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
        close(out[0]);
        for (size_t at = 0; at < text.size();) {
            size_t nl = text.find('\n', at);
            std::string line = text.substr(at, nl - at);
            size_t sp = line.find(' ');
            if (sp != std::string::npos) r[line.substr(0, sp)] = line.substr(sp + 1);
            at = nl == std::string::npos ? text.size() : nl + 1;
        }
        r["exited"] = WIFEXITED(status) ? "yes" : "no";
        r["seconds"] = std::to_string(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() / 1000.0);
        return r;
    }

    static FetchOptions Options() {
        FetchOptions o;
        o.maxPageBytes = kCap;
        o.deadlineSeconds = kDeadline;
        o.lowSpeedSeconds = 1;
        return o;
    }

    static void ExpectBounded(const Report& r, const std::string& what) {
        ASSERT_EQ(r.at("exited"), "yes") << what << " did not end";
        EXPECT_LT(std::stod(r.at("seconds")), kDeadline + 3) << what;
        EXPECT_LT(std::stol(r.at("hwm")) * 1024, kCap + 64LL * 1024 * 1024) << what;
    }

    int listener_ = -1;
    int port_ = 0;
};

TEST_F(HostileServerTest, PageFetchesEndInTimeWithinMemoryAndTellTheTruth) {
    struct Case {
        std::string path;
        int code;
    };
    const std::vector<Case> cases = {
        {"/endless", kFetchTooLarge}, {"/huge", kFetchTooLarge},      {"/trickle", kFetchBrokenOff},
        {"/silence", kFetchBrokenOff}, {"/reset", kFetchBrokenOff},   {"/badgzip", kFetchBrokenOff},
        {"/gzip", kFetchDone},
    };
    for (const Case& c : cases) {
        Report r = RunChild([&] {
            PageFetcher fetcher;
            fetcher.SetOptions(Options());
            std::string text;
            int code = fetcher.Fetch("x", Url(c.path), text, nullptr);
            return Report{{"code", std::to_string(code)}, {"md5", Md5Hex(text)}};
        });
        ExpectBounded(r, c.path);
        EXPECT_EQ(r["code"], std::to_string(c.code)) << c.path;
        // An answer compressed unasked arrives decoded.
        if (c.path == "/gzip") {
            EXPECT_EQ(r["md5"], Md5Hex(kChapter));
        }
    }
}

TEST_F(HostileServerTest, UpdateClientEndsInTimeWithinMemory) {
    for (std::string path : {"/endless", "/trickle", "/badgzip"}) {
        Report r = RunChild([&] {
            HttpGetClient http;
            http.SetMaxTextBytes(static_cast<size_t>(kCap));
            http.SetTextDeadline(kDeadline);
            http.SetStallTimeout(1);
            std::string text;
            int code = http.GetText(Url(path), text);
            return Report{{"code", std::to_string(code)}, {"size", std::to_string(text.size())}};
        });
        ExpectBounded(r, path);
        if (path == "/endless") {
            EXPECT_EQ(r["code"], "203");
        } else if (path == "/badgzip") {
            EXPECT_EQ(r["code"], "204");
        }
    }
}

// Update archives go to a file: an endless answer must not fill the disk, a
// trickle must not hold the update worker for ever.
TEST_F(HostileServerTest, UpdateFileDownloadsStopAtTheCapAndTheDeadline) {
    test::TempFolder out;
    for (std::string path : {"/endless", "/huge", "/trickle"}) {
        const std::string file = out.path() + "download.tmp";
        Report r = RunChild([&] {
            HttpGetClient http;
            http.SetMaxFileBytes(kCap);
            http.SetFileDeadline(kDeadline);
            http.SetStallTimeout(1);
            int code = http.GetFile(Url(path), file);
            return Report{{"code", std::to_string(code)}};
        });
        ExpectBounded(r, path);
        EXPECT_EQ(r["code"], path == "/trickle" ? "0" : "203") << path;
        EXPECT_LE(std::filesystem::exists(file) ? std::filesystem::file_size(file) : 0,
                  static_cast<uintmax_t>(kCap))
            << path;
        std::filesystem::remove(file);
    }
}

// The rows of a download tell the truth, and nothing that failed leaves a
// file under a chapter's name.
TEST_F(HostileServerTest, FailedChaptersLeaveNoFileAndSayWhy) {
    test::TempFolder out;
    const std::vector<std::string> paths = {"/gzip", "/badgzip", "/reset", "/endless"};
    Report r = RunChild([&] {
        class States final : public DownloadObserver {
        public:
            void OnRowDone(size_t row, const std::string& state, const std::string&) override {
                report["row" + std::to_string(row)] = Md5Hex(state);
            }
            Report report;
        } states;
        DownloadJob job;
        job.address = "hostile";
        job.settings.saveFolder = out.path() + "books";
        job.settings.saveAsTxt = 1;
        job.settings.saveAsHtml = 1;
        job.fetchOptions = Options();
        for (size_t i = 0; i < paths.size(); ++i)
            job.rows.push_back({true, "c" + std::to_string(i), Url(paths[i])});
        RunDownload(job, states, nullptr);
        return states.report;
    });
    ExpectBounded(r, "download");
    EXPECT_EQ(r["row0"], Md5Hex(RowDoneText()));
    EXPECT_EQ(r["row1"], Md5Hex(RowFailedText()));
    EXPECT_EQ(r["row2"], Md5Hex(RowFailedText()));
    EXPECT_EQ(r["row3"], Md5Hex(PageTooLargeText()));
    const std::string book = out.path() + "books/" + Md5Hex(std::string("hostile")) + "/";
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(book))
        if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"c0.html", "c0.txt"}));
}

}  // namespace
}  // namespace quillon
