#pragma once

// Servers on 127.0.0.1 for the network tests: a real HTTP server for the
// ordinary answers, and a raw socket server for the exchanges no proper
// server would produce (a body cut short, silence, exact request bytes).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "support/http_test_server.h"
#include "support/temp_folder.h"

namespace quillon::net_test {

using test::BypassProxyForLocalhost;
using test::HttpTestServer;
using test::TempFolder;

// Sets a receive time-out so that a test server never waits forever on a
// client that misbehaves.
inline void SetReceiveTimeout(int fd, int milliseconds) {
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

// Reads until the blank line that ends a request's head (or a time-out).
inline std::string ReadRequestHead(int fd) {
    std::string got;
    char c;
    SetReceiveTimeout(fd, 5000);
    while (got.find("\r\n\r\n") == std::string::npos && recv(fd, &c, 1, 0) == 1) got.push_back(c);
    return got;
}

// Reads until `total` bytes are in `got` or nothing arrives for a while;
// then waits a moment more so that bytes beyond `total` are caught too.
inline void ReadUpTo(int fd, std::string& got, size_t total) {
    char buf[4096];
    SetReceiveTimeout(fd, 5000);
    while (got.size() < total) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return;
        got.append(buf, static_cast<size_t>(n));
    }
    SetReceiveTimeout(fd, 200);
    ssize_t n;
    while ((n = recv(fd, buf, sizeof buf, 0)) > 0) got.append(buf, static_cast<size_t>(n));
}

inline void SendText(int fd, const std::string& s) {
    size_t off = 0;
    while (off < s.size()) {
        ssize_t n = send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
        if (n <= 0) return;
        off += static_cast<size_t>(n);
    }
}

// A listening socket on 127.0.0.1 whose thread hands every accepted
// connection to `handler` and closes it afterwards.
class RawServer {
public:
    using Handler = std::function<void(int fd)>;

    explicit RawServer(Handler handler) : handler_(std::move(handler)) {
        BypassProxyForLocalhost();
        listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int yes = 1;
        setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(listenFd_, 8);
        socklen_t len = sizeof addr;
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] {
            while (true) {
                int fd = accept(listenFd_, nullptr, nullptr);
                if (fd < 0) return;  // the listening socket was shut down
                handler_(fd);
                ::close(fd);
                ++served_;
            }
        });
    }
    ~RawServer() {
        shutdown(listenFd_, SHUT_RDWR);
        thread_.join();
        ::close(listenFd_);
    }

    int port() const { return port_; }
    int served() const { return served_; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    Handler handler_;
    int listenFd_ = -1;
    int port_ = -1;
    std::atomic<int> served_{0};
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
inline int ClosedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

}  // namespace quillon::net_test
