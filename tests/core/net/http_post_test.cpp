#include "core/net/http_post.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include "local_servers.h"

namespace quillon {
namespace {

using net_test::ClosedPort;
using net_test::RawServer;
using net_test::ReadRequestHead;
using net_test::ReadUpTo;
using net_test::SendText;

std::string ExpectedRequest(const std::string& object, const std::string& host,
                            const std::string& body) {
    return "POST " + object +
           " HTTP/1.1\r\nHost: " + host +
           "\r\nAccept: */*\r\n"
           "Accept-Language: zh-cn,zh-tw;q=0.8,zh-hk;q=0.7,zh-sg;q=0.5,zh;q=0.3,zh;q=0.2\r\n"
           "User-Agent: Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0)\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\n"
           "Pragma: no-cache\r\n"
           "Cache-Control: no-cache\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body + "\r\n";
}

// Records the request bytes (the head, Content-Length bytes of body and the
// two bytes after it, plus anything more that arrives) and answers `answer`.
class RecordingServer {
public:
    explicit RecordingServer(std::string answer)
        : answer_(std::move(answer)), server_([this](int fd) { Serve(fd); }) {}

    std::string Received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    int port() const { return server_.port(); }
    std::string Url(const std::string& path) const { return server_.Url(path); }

private:
    void Serve(int fd) {
        std::string got = ReadRequestHead(fd);
        size_t length = 0;
        if (size_t at = got.find("Content-Length: "); at != std::string::npos) {
            length = std::stoul(got.substr(at + 16));
        }
        ReadUpTo(fd, got, got.size() + length + 2);
        {
            std::lock_guard lock(mutex_);
            received_ = got;
        }
        SendText(fd, answer_);
    }

    std::string answer_;
    std::mutex mutex_;
    std::string received_;
    RawServer server_;
};

const std::string kAnswer =
    "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 9\r\n\r\nRESULT_OK";

TEST(HttpPost, SendsTheRequestByteForByteAndReturnsTheRawAnswer) {
    RecordingServer server(kAnswer);
    std::string response = "left over";
    ASSERT_EQ(HttpPost(server.Url("/si.asp?x=1"), "id=12&name=%C4%E3", response), 0);
    EXPECT_EQ(server.Received(), ExpectedRequest("/si.asp?x=1", "127.0.0.1", "id=12&name=%C4%E3"));
    EXPECT_EQ(response, kAnswer);
}

TEST(HttpPost, EmptyBodyHasLengthZeroAndTheLineEndAfterTheBlankLine) {
    RecordingServer server(kAnswer);
    std::string response;
    ASSERT_EQ(HttpPost(server.Url("/"), "", response), 0);
    std::string got = server.Received();
    EXPECT_EQ(got, ExpectedRequest("/", "127.0.0.1", ""));
    const std::string end = "Content-Length: 0\r\nConnection: close\r\n\r\n\r\n";
    ASSERT_GE(got.size(), end.size());
    EXPECT_EQ(got.substr(got.size() - end.size()), end);
}

TEST(HttpPost, ExplicitPortIsUsedButNotSentInTheHostHeader) {
    RecordingServer server(kAnswer);
    std::string response;
    // A name rather than an address: it goes through the host look-up.
    std::string url = "http://localhost:" + std::to_string(server.port()) + "/count";
    ASSERT_EQ(HttpPost(url, "a=1", response), 0);
    EXPECT_EQ(server.Received(), ExpectedRequest("/count", "localhost", "a=1"));
    EXPECT_EQ(response, kAnswer);
}

TEST(HttpPost, AddressWithoutPathPostsToTheRoot) {
    RecordingServer server(kAnswer);
    std::string response;
    std::string base = "http://127.0.0.1:" + std::to_string(server.port());
    ASSERT_EQ(HttpPost(base, "a", response), 0);
    EXPECT_EQ(server.Received(), ExpectedRequest("/", "127.0.0.1", "a"));
    ASSERT_EQ(HttpPost(base + "?q=2#frag", "a", response), 0);
    EXPECT_EQ(server.Received(), ExpectedRequest("/?q=2", "127.0.0.1", "a"));
}

TEST(HttpPost, AnswerIsCutAtANulWithinItsChunkOnly) {
    constexpr size_t kChunk = SocketStream::kChunkSize;
    std::string answer(2 * kChunk + 50, 'r');
    answer[10] = '\0';
    answer[kChunk + 5] = '\0';
    RecordingServer server(answer);
    std::string response;
    ASSERT_EQ(HttpPost(server.Url("/"), "a=1", response), 0);
    EXPECT_EQ(response, std::string(10, 'r') + std::string(5, 'r') + std::string(50, 'r'));
}

TEST(HttpPost, RefusedConnectionIsOneAfterTwoTries) {
    std::string response = "left over";
    auto start = std::chrono::steady_clock::now();
    std::string url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/";
    EXPECT_EQ(HttpPost(url, "a=1", response), 1);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(response, "");
    // Two refused attempts, each followed by a one-second pause.
    EXPECT_GE(took, std::chrono::milliseconds(1900));
    EXPECT_LT(took, std::chrono::milliseconds(4000));
}

TEST(HttpPost, UnusableAddressesAreOneAtOnce) {
    const char* urls[] = {"https://127.0.0.1/", "127.0.0.1/x", "http:///x", "http://a:99999/",
                          "http://127.0.0.1/a b", "http://127.0.0.1/a\r\nX-Evil: 1",
                          "http://no-such-host.invalid/"};
    for (const char* url : urls) {
        SCOPED_TRACE(url);
        std::string response = "left over";
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(HttpPost(url, "a=1", response), 1);
        EXPECT_EQ(response, "");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    }
}

TEST(HttpPost, PeerThatHangsUpDoesNotKillTheProcess) {
    // The server closes at once, so sending a large body runs into a reset
    // connection; without MSG_NOSIGNAL the SIGPIPE would end this test run.
    RawServer server([](int) {});
    std::string response;
    std::string body(4 << 20, 'x');
    EXPECT_EQ(HttpPost(server.Url("/"), body, response), 0);
    EXPECT_EQ(response, "");
}

TEST(SocketStream, ConnectRefusesABadAddressWithoutRetrying) {
    SocketStream stream;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(stream.Connect("999.1.2.3", 80, 5), 1);
    EXPECT_EQ(stream.Connect("127.0.0.1", 0, 5), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    std::string out;
    EXPECT_EQ(stream.SendAll("x", 1), 1) << "nothing connected";
    EXPECT_EQ(stream.ReceiveAll(out), 0);
    EXPECT_EQ(out, "");
}

TEST(SocketStream, ReceiveEndsAtTheTimeOutOfASilentPeer) {
    RawServer server([](int fd) {
        net_test::SetReceiveTimeout(fd, 10000);
        char c;
        while (recv(fd, &c, 1, 0) > 0) {
        }
    });
    SocketStream stream;
    ASSERT_EQ(stream.Connect("127.0.0.1", server.port(), 1), 0);
    auto start = std::chrono::steady_clock::now();
    std::string out;
    EXPECT_EQ(stream.ReceiveAll(out), 0);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(900));
    EXPECT_LT(took, std::chrono::milliseconds(5000));
    EXPECT_EQ(stream.Close(), 0);
}

// Neither an endless nor a trickling answer holds the search report: the
// answer is cut at its size cap, and the whole read ends at its deadline.
TEST(SocketStream, ReceiveStopsAtTheCapAndTheDeadline) {
    for (bool trickle : {false, true}) {
        std::atomic<bool> quit{false};
        RawServer server([&](int fd) {
            const std::string block(trickle ? 2 : 65536, 'x');
            while (!quit && send(fd, block.data(), block.size(), MSG_NOSIGNAL) > 0) {
                if (trickle) usleep(200000);
            }
        });
        SocketStream stream;
        ASSERT_EQ(stream.Connect("127.0.0.1", server.port(), 5), 0);
        auto start = std::chrono::steady_clock::now();
        std::string out;
        EXPECT_EQ(stream.ReceiveAll(out, 1 << 20, 2), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4)) << trickle;
        EXPECT_LE(out.size(), size_t{1} << 20);
        if (!trickle) {
            EXPECT_EQ(out.size(), size_t{1} << 20);
        }
        stream.Close();
        quit = true;
    }
}

}  // namespace
}  // namespace quillon
