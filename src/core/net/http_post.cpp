#include "core/net/http_post.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

#include "core/text/byte_string.h"

namespace quillon {

namespace {

constexpr int kConnectAttempts = 2;
constexpr auto kRetryPause = std::chrono::milliseconds(1000);

struct HttpUrl {
    std::string host;
    std::string object;  // path and query, beginning with '/'
    int port = 80;
};

// Splits "http://[user@]host[:port][/path][?query][#fragment]". Only plain
// HTTP can be spoken on a raw socket; anything else is refused.
bool SplitHttpUrl(std::string_view url, HttpUrl& out) {
    constexpr std::string_view kScheme = "http://";
    if (!StartsWithIgnoreCase(url, kScheme)) return false;
    // A space or a line break would end the request line or start a header
    // of the address's own making.
    for (unsigned char c : url) {
        if (c <= 0x20 || c == 0x7F) return false;
    }
    std::string_view rest = url.substr(kScheme.size());
    size_t end = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, end);
    std::string_view tail = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority = authority.substr(at + 1);
    }
    out.port = 80;
    if (size_t colon = authority.find(':'); colon != std::string_view::npos) {
        std::string_view digits = authority.substr(colon + 1);
        authority = authority.substr(0, colon);
        if (!digits.empty()) {
            long port = 0;
            for (char c : digits) {
                if (c < '0' || c > '9') return false;
                port = port * 10 + (c - '0');
                if (port > 65535) return false;
            }
            if (port == 0) return false;
            out.port = static_cast<int>(port);
        }
    }
    if (authority.empty()) return false;
    out.host.assign(authority);
    // A fragment names a place in the page; it is never sent.
    if (size_t hash = tail.find('#'); hash != std::string_view::npos) tail = tail.substr(0, hash);
    out.object.assign(tail);
    if (out.object.empty() || out.object[0] != '/') out.object.insert(0, "/");
    return true;
}

bool ResolveIpv4(const std::string& host, std::string& dotted) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    bool ok = inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr;
    freeaddrinfo(found);
    if (ok) dotted = text;
    return ok;
}

bool SetTimeouts(int fd, int seconds) {
    timeval tv{};
    tv.tv_sec = seconds;
    return setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0 &&
           setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

}  // namespace

int SocketStream::Connect(const std::string& address, int port, int timeoutSeconds) {
    Close();
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    if (port <= 0 || port > 65535 || inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) {
        return 1;
    }
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        // A socket whose connect failed is in an unspecified state, so every
        // attempt gets a fresh one.
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
        if (fd_ < 0) return 1;
        // On Linux the send time-out also bounds connect().
        if (timeoutSeconds > 0 && !SetTimeouts(fd_, timeoutSeconds)) {
            Close();
            return 1;
        }
        int rc;
        do {
            rc = connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
        } while (rc != 0 && errno == EINTR);
        if (rc == 0) return 0;
        ::close(fd_);
        fd_ = -1;
        std::this_thread::sleep_for(kRetryPause);
    }
    return 1;
}

int SocketStream::SendAll(const char* data, size_t length) {
    if (fd_ < 0) return 1;
    while (length > 0) {
        ssize_t n = send(fd_, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 1;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return 0;
}

int SocketStream::ReceiveAll(std::string& out, size_t maxBytes, int deadlineSeconds) {
    if (fd_ < 0) return 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(deadlineSeconds);
    size_t total = 0;
    timeval quiet{};
    socklen_t quietSize = sizeof quiet;
    long long quietMs = 0;
    if (getsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &quiet, &quietSize) == 0)
        quietMs = static_cast<long long>(quiet.tv_sec) * 1000 + quiet.tv_usec / 1000;
    char buffer[kChunkSize];
    // Chunk boundaries are counted over the stream, not per recv(), so the
    // NUL rule cuts the same bytes however the network splits the answer.
    size_t fill = 0;
    bool cut = false;
    while (total < maxBytes) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        // Each wait ends at the socket's own receive time-out, as recv would,
        // or at the deadline of the whole answer, whichever comes first.
        long long wait = left.count();
        if (quietMs > 0 && quietMs < wait) wait = quietMs;
        pollfd waiting{fd_, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(wait)) == 0) break;
        ssize_t n = recv(fd_, buffer, std::min(kChunkSize - fill, maxBytes - total), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // closed, error or time-out
        size_t got = static_cast<size_t>(n);
        total += got;
        if (!cut) {
            const void* nul = std::memchr(buffer, '\0', got);
            size_t keep = nul ? static_cast<size_t>(static_cast<const char*>(nul) - buffer) : got;
            out.append(buffer, keep);
            if (nul) cut = true;
        }
        fill += got;
        if (fill == kChunkSize) {
            fill = 0;
            cut = false;
        }
    }
    return 0;
}

int SocketStream::Close() {
    if (fd_ >= 0) {
        shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        fd_ = -1;
    }
    return 0;
}

int HttpPost(const std::string& url, const std::string& body, std::string& response) {
    response.clear();
    HttpUrl parts;
    if (!SplitHttpUrl(url, parts)) return 1;
    std::string address;
    if (!ResolveIpv4(parts.host, address)) return 1;
    SocketStream stream;
    if (stream.Connect(address, parts.port, kHttpPostTimeoutSeconds) != 0) {
        stream.Close();
        return 1;
    }
    std::string request = Format(
        "POST %s HTTP/1.1\r\nHost: %s\r\nAccept: */*\r\n"
        "Accept-Language: zh-cn,zh-tw;q=0.8,zh-hk;q=0.7,zh-sg;q=0.5,zh;q=0.3,zh;q=0.2\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0)\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\n"
        "Pragma: no-cache\r\nCache-Control: no-cache\r\n"
        "Content-Length: %zu\r\nConnection: close\r\n\r\n",
        parts.object.c_str(), parts.host.c_str(), body.size());
    request += body;
    // The statistics server has always received a line end after the body;
    // it is not part of the body, so Content-Length leaves it out.
    request += "\r\n";
    // A failed send still leaves whatever the server has answered (an error
    // page, say) to be read.
    stream.SendAll(request.data(), request.size());
    stream.ReceiveAll(response);
    stream.Close();
    return 0;
}

}  // namespace quillon
