#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace quillon {

// Receives the running byte count of a fetch, on the fetching thread.
class FetchObserver {
public:
    virtual ~FetchObserver() = default;
    // `text` is "(下载文件: <bytes> ....) <name> <url>" in GBK.
    virtual void OnFetchProgress(const std::string& text) = 0;
};

// Result codes of PageFetcher::Fetch.
enum FetchResult {
    kFetchDone = 0,
    // The stop flag was raised (or the window watching went away): `text` is "".
    kFetchAbandoned = 1,
    // The address could not be opened: bad or empty address, unknown host,
    // refused or timed-out connection.
    kFetchNotOpened = 201,
    // The server answered with an HTTP status of 400 or more; `text` holds its
    // error page.
    kFetchHttpError = 202,
    // The transfer broke off (or stalled below the low-speed limit) after the
    // response began; `text` holds the part that arrived.
    kFetchBrokenOff = 203,
    // The page grew (or was announced) beyond FetchOptions::maxPageBytes;
    // `text` is "".
    kFetchTooLarge = 204,
};

inline bool IsFetchFailure(int code) { return code != kFetchDone && code != kFetchAbandoned; }

struct FetchOptions {
    long connectTimeoutSeconds = 20;
    // A transfer slower than lowSpeedBytes per second for lowSpeedSeconds is
    // given up, so a server that stops sending never hangs a worker.
    long lowSpeedBytes = 1;
    long lowSpeedSeconds = 30;
    long maxRedirects = 10;
    // No page is held beyond this many bytes (after decompression), so an
    // endless answer cannot exhaust memory.
    long long maxPageBytes = 64LL * 1024 * 1024;
    // Every request ends within this many seconds, however slowly the server
    // keeps sending.
    long deadlineSeconds = 120;
    // The User-Agent header; empty sends the program's own, "myhttpget".
    std::string userAgent;
};

// The downloader's blocking HTTP GET client (libcurl): agent "myhttpget",
// never served from a cache, redirects followed, http and https only.
// Compressed answers are asked for and decoded, also when the server sends
// one unasked; one that cannot be decoded is a failure, never text.
//
// The body is handed on in reads of 6,144 bytes whatever sizes the network
// delivers, so the progress texts and the NUL rule (the rest of a read after
// an embedded NUL is dropped; pages are text) do not depend on timing.
//
// Stopping is cooperative: the flag given to the constructor is checked after
// every read and, while waiting for the network, at least ten times a second;
// a raised flag aborts the transfer and Fetch returns kFetchAbandoned.
class PageFetcher final {
public:
    static constexpr size_t kReadSize = 6144;

    explicit PageFetcher(const std::atomic<bool>* stop = nullptr);
    ~PageFetcher();
    PageFetcher(const PageFetcher&) = delete;
    PageFetcher& operator=(const PageFetcher&) = delete;

    void SetOptions(const FetchOptions& options) { options_ = options; }

    // Fetches `url` into `text`. `name` labels the progress text (a chapter
    // title, or "下载目录页" for the contents page); `progress` may be null.
    //
    // `whileWaiting`, when given, runs on this thread each time the fetcher
    // is about to sleep on the network (so at least ten times a second while
    // the server keeps it waiting), and once more before Fetch returns. The
    // downloader reports the chapters saved meanwhile that way.
    int Fetch(std::string_view name, std::string_view url, std::string& text,
              FetchObserver* progress, const std::function<void()>& whileWaiting = {});

    // Releases the request of the last fetch. The session (and with it the
    // open connections to the server) lives until the fetcher is destroyed,
    // so consecutive chapters reuse one connection.
    void Close();

    // HTTP status of the last response, 0 when there was none.
    long lastStatus() const { return lastStatus_; }
    // The Content-Type header of the last response ("" when there was none).
    const std::string& lastContentType() const { return lastContentType_; }
    // The wait the last response asked for by Retry-After (seconds or an
    // HTTP date), in seconds; 0 when it named none or nothing readable.
    long lastRetryAfter() const { return lastRetryAfter_; }

private:
    struct Transfer;

    bool StopRequested() const { return stop_ != nullptr && stop_->load(); }
    // Fetch without the last run of `whileWaiting`.
    int FetchOnce(std::string_view name, std::string_view url, std::string& text,
                  FetchObserver* progress, const std::function<void()>& whileWaiting);
    // Hands one read of the body on; false when the fetch is to be abandoned.
    bool DeliverRead(Transfer& t, std::string_view bytes);
    static size_t OnBody(char* data, size_t size, size_t count, void* user);
    static int OnTransferInfo(void* user, long long, long long, long long, long long);

    const std::atomic<bool>* stop_ = nullptr;
    FetchOptions options_;
    void* session_ = nullptr;  // CURLM*
    void* request_ = nullptr;  // CURL*
    long lastStatus_ = 0;
    std::string lastContentType_;
    long lastRetryAfter_ = 0;
};

// Another way to get a page than PageFetcher, such as an off-screen browser
// for pages that build themselves with scripts: fills `page` with the HTML
// of `url` (GBK, or declaring its charset in its text) and returns a
// FetchResult; kFetchAbandoned once `stop` is raised. Called on a worker
// thread.
using PageLoader =
    std::function<int(const std::string& url, std::string& page, const std::atomic<bool>* stop)>;

// `url` with spaces, control bytes and bytes above 0x7F percent-encoded, the
// form an HTTP request line needs; everything else is kept.
std::string EscapeUrlForRequest(std::string_view url);

}  // namespace quillon
