#include "core/net/http_get_client.h"

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"
#include "local_servers.h"

namespace quillon {
namespace {

using net_test::ClosedPort;
using net_test::HttpTestServer;
using net_test::RawServer;
using net_test::ReadRequestHead;
using net_test::SendText;
using net_test::TempFolder;

std::string Bytes(const char* s, size_t n) { return std::string(s, n); }

// A body of `n` bytes cycling through printable characters, so that a lost
// or doubled stretch shows.
std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('!' + i % 90);
    return s;
}

class HttpGetClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& svr = http_.server();
        svr.Get("/text", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("hello, world", "text/plain");
        });
        svr.Get("/body", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(body_, "application/octet-stream");
        });
        svr.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("no such page", "text/plain");
        });
        svr.Get("/old", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/text");
        });
        svr.Get("/headers", [this](const httplib::Request& req, httplib::Response& res) {
            seenAgent_ = req.get_header_value("User-Agent");
            seenCacheControl_ = req.get_header_value("Cache-Control");
            seenPragma_ = req.get_header_value("Pragma");
            res.set_content("ok", "text/plain");
        });
        http_.Start();
    }

    HttpTestServer http_;
    std::string body_;
    std::string seenAgent_, seenCacheControl_, seenPragma_;
    HttpGetClient client_;
};

TEST_F(HttpGetClientTest, GetTextReturnsTheBody) {
    std::string out = "left over";
    EXPECT_EQ(client_.GetText(http_.Url("/text"), out), 0);
    EXPECT_EQ(out, "hello, world");
    // The same object serves the next call.
    EXPECT_EQ(client_.GetText(http_.Url("/text"), out), 0);
    EXPECT_EQ(out, "hello, world");
}

TEST_F(HttpGetClientTest, LongBodyArrivesWhole) {
    body_ = Pattern(25000);
    std::string out;
    ASSERT_EQ(client_.GetText(http_.Url("/body"), out), 0);
    EXPECT_EQ(out.size(), 25000u);
    EXPECT_EQ(out, body_);
}

TEST_F(HttpGetClientTest, NulDropsTheRestOfItsChunkOnly) {
    constexpr size_t kChunk = HttpGetClient::kChunkSize;
    struct Case {
        const char* name;
        std::string body;
        std::string expected;
    };
    std::string tail = Pattern(25000);
    std::vector<Case> cases;
    cases.push_back({"short body", Bytes("abc\0def", 7), "abc"});
    cases.push_back({"two NULs in one chunk", Bytes("ab\0cd\0ef", 8), "ab"});
    {
        // NUL 100 bytes into the second chunk: the first and third chunks
        // arrive whole, the second only up to the NUL.
        std::string b = tail;
        b[kChunk + 100] = '\0';
        std::string e = tail.substr(0, kChunk + 100) + tail.substr(2 * kChunk);
        cases.push_back({"NUL in a later chunk", b, e});
    }
    {
        // A NUL as the very last byte of a chunk drops nothing else.
        std::string b = tail;
        b[kChunk - 1] = '\0';
        std::string e = tail.substr(0, kChunk - 1) + tail.substr(kChunk);
        cases.push_back({"NUL at a chunk's end", b, e});
    }
    {
        std::string b = tail;
        b[0] = '\0';
        cases.push_back({"NUL first", b, tail.substr(kChunk)});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        body_ = c.body;
        std::string out;
        ASSERT_EQ(client_.GetText(http_.Url("/body"), out), 0);
        EXPECT_EQ(out.size(), c.expected.size());
        EXPECT_EQ(out, c.expected);
    }
}

TEST_F(HttpGetClientTest, ErrorStatusStillGivesTheBody) {
    std::string out;
    EXPECT_EQ(client_.GetText(http_.Url("/missing"), out), 0);
    EXPECT_EQ(out, "no such page");
}

TEST_F(HttpGetClientTest, RedirectIsFollowed) {
    std::string out;
    EXPECT_EQ(client_.GetText(http_.Url("/old"), out), 0);
    EXPECT_EQ(out, "hello, world");
}

TEST_F(HttpGetClientTest, SendsAgentAndAsksForAFreshCopy) {
    std::string out;
    ASSERT_EQ(client_.GetText(http_.Url("/headers"), out), 0);
    EXPECT_EQ(seenAgent_, "myie");
    EXPECT_EQ(seenCacheControl_, "no-cache");
    EXPECT_EQ(seenPragma_, "no-cache");
}

TEST_F(HttpGetClientTest, GetFileWritesTheExactBytes) {
    TempFolder tmp;
    body_ = Pattern(25000);
    body_[3] = '\0';  // a file keeps every byte, NULs too
    body_[20000] = '\0';
    std::string path = tmp.path() + "got.bin";
    ASSERT_EQ(client_.GetFile(http_.Url("/body"), path), 0);
    std::string written;
    ASSERT_TRUE(ReadWholeFile(path, written));
    EXPECT_EQ(written, body_);

    // An existing file is truncated, and an empty body makes an empty file.
    body_.clear();
    ASSERT_EQ(client_.GetFile(http_.Url("/body"), path), 0);
    EXPECT_EQ(FileSize(path), 0);
}

TEST_F(HttpGetClientTest, GetFileIntoMissingFolderIsOne) {
    TempFolder tmp;
    EXPECT_EQ(client_.GetFile(http_.Url("/text"), tmp.path() + "no/such/folder/f.txt"), 1);
    // The client is usable again afterwards.
    std::string out;
    EXPECT_EQ(client_.GetText(http_.Url("/text"), out), 0);
    EXPECT_EQ(out, "hello, world");
}

TEST(HttpGetClientFailures, UnopenableAddressesAre202) {
    net_test::BypassProxyForLocalhost();
    std::string port = std::to_string(ClosedPort());
    const char* kinds[] = {"closed port", "bad address", "unknown scheme", "unknown host"};
    std::string urls[] = {"http://127.0.0.1:" + port + "/x", "not an address at all",
                          "gopher://127.0.0.1:" + port + "/", "http://no-such-host.invalid/"};
    HttpGetClient client;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(kinds[i]);
        std::string out = "left over";
        EXPECT_EQ(client.GetText(urls[i], out), 202);
        EXPECT_EQ(out, "");
    }
    TempFolder tmp;
    std::string path = tmp.path() + "never.txt";
    EXPECT_EQ(client.GetFile(urls[0], path), 202);
    EXPECT_FALSE(FileExists(path)) << "no answer, so no file";
}

TEST(HttpGetClientFailures, RedirectToNowhereIs202) {
    HttpTestServer http;
    std::string target = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/gone";
    http.server().Get("/jump", [&](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(target);
    });
    // A server must not be able to make the client read a local file.
    http.server().Get("/local", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("file:///etc/hostname");
    });
    http.Start();
    HttpGetClient client;
    std::string out;
    EXPECT_EQ(client.GetText(http.Url("/jump"), out), 202);
    EXPECT_EQ(client.GetText(http.Url("/local"), out), 202);
    EXPECT_EQ(out, "");
}

// Users behind a proxy set it in the environment; the client must go
// through it rather than try the server directly.
TEST(HttpGetClientProxy, ProxyFromTheEnvironmentCarriesTheRequest) {
    std::mutex mutex;
    std::string seen;
    RawServer proxy([&](int fd) {
        std::string head = ReadRequestHead(fd);
        {
            std::lock_guard lock(mutex);
            seen = head;
        }
        SendText(fd, "HTTP/1.1 200 OK\r\nContent-Length: 9\r\nConnection: close\r\n\r\nvia proxy");
    });
    const char* old = std::getenv("http_proxy");
    const std::string saved = old ? old : "";
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy.port())).c_str(), 1);
    HttpGetClient client;
    std::string out;
    // The name does not resolve: only the proxy can answer.
    const int rc = client.GetText("http://books.example.invalid/list?id=7", out);
    if (old) {
        setenv("http_proxy", saved.c_str(), 1);
    } else {
        unsetenv("http_proxy");
    }
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "via proxy");
    std::lock_guard lock(mutex);
    EXPECT_EQ(seen.rfind("GET http://books.example.invalid/list?id=7 HTTP/1.1\r\n", 0), 0u) << seen;
    EXPECT_NE(seen.find("User-Agent: myie\r\n"), std::string::npos) << seen;
}

// Announces 1000 bytes, sends 400 of them and hangs up.
void SendCutShort(int fd) {
    ReadRequestHead(fd);
    SendText(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\n" +
                     std::string(400, 'p'));
}

TEST(HttpGetClientFailures, BodyCutShortGivesThePartThatArrived) {
    RawServer server(&SendCutShort);
    HttpGetClient client;
    std::string out;
    EXPECT_EQ(client.GetText(server.Url("/"), out), 0);
    EXPECT_EQ(out, std::string(400, 'p'));

    TempFolder tmp;
    std::string path = tmp.path() + "part.txt";
    EXPECT_EQ(client.GetFile(server.Url("/"), path), 0);
    EXPECT_EQ(FileSize(path), 400);
}

// Accepts, reads the request and then says nothing until the client leaves.
void StaySilent(int fd) {
    ReadRequestHead(fd);
    net_test::SetReceiveTimeout(fd, 20000);
    char c;
    while (recv(fd, &c, 1, 0) > 0) {
    }
}

// Sends the head and a little of the body, then goes quiet.
void StallMidBody(int fd) {
    ReadRequestHead(fd);
    SendText(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nab");
    StaySilent(fd);
}

TEST(HttpGetClientFailures, SilentServerDoesNotHoldTheWorker) {
    HttpGetClient client;
    client.SetStallTimeout(2);
    {
        RawServer server(&StaySilent);
        auto start = std::chrono::steady_clock::now();
        std::string out;
        EXPECT_EQ(client.GetText(server.Url("/"), out), 202);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    }
    {
        RawServer server(&StallMidBody);
        std::string out;
        EXPECT_EQ(client.GetText(server.Url("/"), out), 0);
        EXPECT_EQ(out, "ab");
    }
}

}  // namespace
}  // namespace quillon
