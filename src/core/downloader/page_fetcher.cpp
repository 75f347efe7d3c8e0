#include "core/downloader/page_fetcher.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include <curl/curl.h>

#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

const std::string& ProgressFormat() {
    static const std::string format = Gbk("(下载文件: %lld ....) %s %s");
    return format;
}

// How long one wait for the network may last before the stop flag is looked
// at again.
constexpr int kPollMilliseconds = 100;

}  // namespace

struct PageFetcher::Transfer {
    PageFetcher* fetcher = nullptr;
    std::string name;
    std::string url;
    std::string* text = nullptr;
    FetchObserver* progress = nullptr;
    std::string pending;  // the start of the next read, shorter than kReadSize
    long long received = 0;
    long long limit = 0;
    bool abandoned = false;
    bool tooLarge = false;
};

std::string EscapeUrlForRequest(std::string_view url) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (unsigned char c : url) {
        if (c <= 0x20 || c >= 0x7F) {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

PageFetcher::PageFetcher(const std::atomic<bool>* stop) : stop_(stop) { InitCurlOnce(); }

PageFetcher::~PageFetcher() {
    Close();
    if (session_) curl_multi_cleanup(static_cast<CURLM*>(session_));
    session_ = nullptr;
}

void PageFetcher::Close() {
    if (request_) curl_easy_cleanup(static_cast<CURL*>(request_));
    request_ = nullptr;
}

bool PageFetcher::DeliverRead(Transfer& t, std::string_view bytes) {
    size_t nul = bytes.find('\0');
    t.text->append(bytes.substr(0, nul));
    if (StopRequested()) {
        t.abandoned = true;
        return false;
    }
    if (t.progress) {
        t.progress->OnFetchProgress(Format(ProgressFormat().c_str(),
                                           static_cast<long long>(t.text->size()),
                                           t.name.c_str(), t.url.c_str()));
    }
    return true;
}

size_t PageFetcher::OnBody(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t total = size * count;
    t.received += static_cast<long long>(total);
    if (t.received > t.limit) {
        t.tooLarge = true;
        return 0;
    }
    std::string_view in(data, total);
    if (!t.pending.empty()) {
        size_t take = std::min(in.size(), kReadSize - t.pending.size());
        t.pending.append(in.substr(0, take));
        in.remove_prefix(take);
        if (t.pending.size() == kReadSize) {
            if (!t.fetcher->DeliverRead(t, t.pending)) return 0;
            t.pending.clear();
        }
    }
    while (in.size() >= kReadSize) {
        if (!t.fetcher->DeliverRead(t, in.substr(0, kReadSize))) return 0;
        in.remove_prefix(kReadSize);
    }
    t.pending.append(in);
    return total;
}

int PageFetcher::OnTransferInfo(void* user, long long, long long, long long, long long) {
    auto& t = *static_cast<Transfer*>(user);
    if (t.fetcher->StopRequested()) {
        t.abandoned = true;
        return 1;
    }
    return 0;
}

int PageFetcher::Fetch(std::string_view name, std::string_view url, std::string& text,
                       FetchObserver* progress, const std::function<void()>& whileWaiting) {
    int code = FetchOnce(name, url, text, progress, whileWaiting);
    if (whileWaiting) whileWaiting();
    return code;
}

int PageFetcher::FetchOnce(std::string_view name, std::string_view url, std::string& text,
                           FetchObserver* progress, const std::function<void()>& whileWaiting) {
    text.clear();
    Close();
    lastStatus_ = 0;
    lastContentType_.clear();
    lastRetryAfter_ = 0;
    if (StopRequested()) return kFetchAbandoned;

    if (!session_) session_ = curl_multi_init();
    if (!session_) return kFetchNotOpened;
    if (url.empty()) return kFetchNotOpened;
    CURL* easy = curl_easy_init();
    if (!easy) return kFetchNotOpened;
    request_ = easy;

    Transfer t;
    t.fetcher = this;
    t.name.assign(name);
    t.url.assign(url);
    t.text = &text;
    t.progress = progress;
    t.limit = options_.maxPageBytes;

    const std::string requestUrl = EscapeUrlForRequest(url);
    curl_slist* headers = nullptr;
    // Always from the server: a cached contents page would hide new chapters.
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");

    curl_easy_setopt(easy, CURLOPT_URL, requestUrl.c_str());
    curl_easy_setopt(easy, CURLOPT_USERAGENT,
                     options_.userAgent.empty() ? "myhttpget" : options_.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, options_.maxRedirects);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, options_.connectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, options_.lowSpeedBytes);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, options_.lowSpeedSeconds);
    // A trickle above the low-speed limit would otherwise never end.
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, options_.deadlineSeconds);
    // An announced size over the cap fails before any byte is held.
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options_.maxPageBytes));
    // "" offers every encoding libcurl can decode, and turns decoding on for
    // answers compressed unasked; saving them raw would make empty chapters.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &PageFetcher::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &PageFetcher::OnTransferInfo);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);

    CURLM* multi = static_cast<CURLM*>(session_);
    CURLcode result = CURLE_FAILED_INIT;
    if (curl_multi_add_handle(multi, easy) == CURLM_OK) {
        bool finished = false;
        for (;;) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK) break;
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                    result = msg->data.result;
                    finished = true;
                }
            }
            if (finished || running == 0) break;
            // The multi interface lets the flag be seen while the network is
            // silent; the easy interface would only look about once a second.
            if (StopRequested()) {
                t.abandoned = true;
                break;
            }
            // The answer can wait in the socket while the other work runs.
            if (whileWaiting) whileWaiting();
            curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, nullptr);
        }
        curl_multi_remove_handle(multi, easy);
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &lastStatus_);
    if (const char* type = nullptr;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
        lastContentType_ = type;
    }
    if (curl_off_t wait = 0;
        curl_easy_getinfo(easy, CURLINFO_RETRY_AFTER, &wait) == CURLE_OK && wait > 0) {
        lastRetryAfter_ = static_cast<long>(std::min<curl_off_t>(wait, 1L << 30));
    }
    curl_slist_free_all(headers);

    if (t.abandoned || StopRequested()) {
        text.clear();
        Close();
        return kFetchAbandoned;
    }
    // What arrived after the last full read is the final, shorter read.
    if (!t.pending.empty() && !DeliverRead(t, t.pending)) {
        text.clear();
        Close();
        return kFetchAbandoned;
    }
    Close();
    if (t.tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
        std::string().swap(text);
        return kFetchTooLarge;
    }
    if (lastStatus_ >= 400) return kFetchHttpError;
    if (result == CURLE_OK) return kFetchDone;
    if (lastStatus_ == 0) {
        text.clear();
        return kFetchNotOpened;
    }
    return kFetchBrokenOff;
}

}  // namespace quillon
