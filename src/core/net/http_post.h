#pragma once

#include <cstddef>
#include <string>

namespace quillon {

// One TCP connection over IPv4, for HttpPost.
class SocketStream final {
public:
    // Answers are read in chunks of this many bytes; within each chunk the
    // bytes after an embedded NUL are dropped (the answer is text to search).
    static constexpr size_t kChunkSize = 3072;

    SocketStream() = default;
    ~SocketStream() { Close(); }
    SocketStream(const SocketStream&) = delete;
    SocketStream& operator=(const SocketStream&) = delete;

    // Connects to the dotted IPv4 `address` and `port`. A time-out above 0
    // (seconds) bounds the connection attempt and every send and receive.
    // Tries twice, sleeping a second after each failure. 0 connected, 1 not
    // (bad address, no socket, time-out not set, or refused / timed out).
    int Connect(const std::string& address, int port, int timeoutSeconds);

    // 0 when all `length` bytes were sent, 1 on a send error. A peer that has
    // gone away gives 1, never a SIGPIPE.
    int SendAll(const char* data, size_t length);

    // Appends everything received until the peer closes, an error, a
    // time-out, `maxBytes` received or `deadlineSeconds` passed (so neither
    // an endless nor a trickling answer holds the caller). Always 0.
    int ReceiveAll(std::string& out, size_t maxBytes = kMaxAnswerBytes,
                   int deadlineSeconds = kAnswerDeadlineSeconds);

    static constexpr size_t kMaxAnswerBytes = 64u * 1024 * 1024;
    static constexpr int kAnswerDeadlineSeconds = 120;

    // Shuts the socket down both ways and closes it, if open. Returns 0.
    int Close();

private:
    int fd_ = -1;
};

// Seconds HttpPost waits for the connection and for each send and receive.
inline constexpr int kHttpPostTimeoutSeconds = 30;

// Sends `body` (already form-encoded) to the "http://" `url` as an HTTP/1.1
// POST on a raw socket and returns the server's whole answer (status line,
// headers and body) in `response`, exactly as received up to the server's
// closing of the connection ("" on failure). 0 sent and read; 1 the address
// is not usable, the name does not resolve, or no connection was made.
int HttpPost(const std::string& url, const std::string& body, std::string& response);

}  // namespace quillon
