#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include <curl/curl.h>

namespace quillon {

// Fetches one address with an HTTP GET, into a string or byte for byte into a
// file. Blocking: call it from a worker thread, one object per thread. The
// object may be reused; every call first releases what the previous call
// left open.
//
// Result codes: 0 success (also for an HTTP error status, whose body is
// returned like any other, and for a transfer that broke off in the middle,
// which returns the part that arrived); 1 the output file could not be
// created or written (GetFile); 201 the HTTP library could not be set up;
// 202 the address could not be opened (bad address, unknown host, no
// connection, no answer); 203 the text could not grow (out of memory, or
// past the page size cap) or the file passed its size cap; 204 the answer was compressed in a way that
// cannot be decoded (GetText). An answer cut off by the deadline counts as
// broken off.
//
// Requests carry the agent "myie" and ask every cache on the way to fetch
// afresh. The proxy comes from the environment (http_proxy, https_proxy,
// no_proxy), and redirects are followed.
class HttpGetClient final {
public:
    // The text is read in chunks of this many bytes; within each chunk the
    // bytes after an embedded NUL are dropped, since the body is text by
    // contract and was always handled as C strings.
    static constexpr size_t kChunkSize = 10240;

    HttpGetClient() = default;
    ~HttpGetClient();
    HttpGetClient(const HttpGetClient&) = delete;
    HttpGetClient& operator=(const HttpGetClient&) = delete;

    // Releases the request, then the library handle, each if present.
    // Returns 0.
    int Close();

    // The body as text ("" on failure). Codes 0, 201, 202, 203, 204.
    int GetText(const std::string& url, std::string& out);

    // The body written to `path`, created or truncated. The file is created
    // only once the address has answered, so a 202 leaves no file behind.
    // A transfer that breaks off, or outlasts the file deadline, leaves a
    // short file and returns 0: callers that care check the length or digest
    // they expect. A body past the file size cap stops there with 203, so an
    // endless answer cannot fill the disk. Codes 0, 1, 201, 202, 203.
    int GetFile(const std::string& url, const std::string& path);

    // Tests shorten these; the defaults keep a hung server from holding a
    // worker forever.
    void SetConnectTimeout(long seconds) { connectTimeoutSeconds_ = seconds; }
    // A transfer slower than 1 byte/s for this long is abandoned.
    void SetStallTimeout(long seconds) { stallTimeoutSeconds_ = seconds; }
    // GetText ends within this many seconds however slowly the server sends,
    // and holds at most this many bytes of text.
    void SetTextDeadline(long seconds) { textDeadlineSeconds_ = seconds; }
    void SetMaxTextBytes(size_t bytes) { maxTextBytes_ = bytes; }
    // The same two bounds for GetFile, wider since update archives are
    // bigger and slower than pages.
    void SetFileDeadline(long seconds) { fileDeadlineSeconds_ = seconds; }
    void SetMaxFileBytes(unsigned long long bytes) { maxFileBytes_ = bytes; }
    // While `flag` is set, a transfer in progress is abandoned (as if the
    // connection broke), so a worker that is told to stop does not wait for
    // a long download to end. Null: never abandoned.
    void SetCancelFlag(const std::atomic<bool>* flag) { cancelFlag_ = flag; }

private:
    int Open(const std::string& url);

    CURL* handle_ = nullptr;
    curl_slist* headers_ = nullptr;
    long connectTimeoutSeconds_ = 15;
    long stallTimeoutSeconds_ = 60;
    long textDeadlineSeconds_ = 120;
    size_t maxTextBytes_ = 64u * 1024 * 1024;
    long fileDeadlineSeconds_ = 30 * 60;
    unsigned long long maxFileBytes_ = 512ull * 1024 * 1024;
    const std::atomic<bool>* cancelFlag_ = nullptr;
};

}  // namespace quillon
