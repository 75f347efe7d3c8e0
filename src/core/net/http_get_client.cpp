#include "core/net/http_get_client.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string_view>

namespace quillon {

namespace {

// curl_global_init is not safe to race with other threads; the first client
// of the process does it once.
void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What one transfer has seen so far, shared with libcurl's callbacks.
struct Transfer {
    // GetText
    std::string* text = nullptr;
    size_t chunkFill = 0;     // bytes of the current chunk received so far
    bool chunkCut = false;    // the current chunk had a NUL: drop the rest
    bool outOfMemory = false;
    size_t maxText = 0;

    // GetFile
    const std::string* path = nullptr;
    FILE* file = nullptr;
    bool fileFailed = false;
    bool fileTooLarge = false;
    unsigned long long maxFile = 0;

    // Status of the last complete header block, 0 before any.
    long lastStatus = 0;
    long pendingStatus = 0;
    size_t bodyBytes = 0;

    // The address "opened" once a final answer arrived: a body byte, or a
    // complete header block that libcurl does not follow as a redirect.
    bool Opened(CURLcode rc) const {
        if (rc == CURLE_OK || bodyBytes > 0) return true;
        return lastStatus >= 200 && !(lastStatus >= 300 && lastStatus < 400);
    }

    bool OpenFile() {
        if (file) return true;
        file = std::fopen(path->c_str(), "wb");
        if (!file) fileFailed = true;
        return file != nullptr;
    }
};

// Appends the received bytes as the fixed-size chunks of the text reader
// would see them, whatever sizes libcurl hands over, so the NUL rule gives
// the same text on every run.
void AppendChunked(Transfer& t, const char* data, size_t size) {
    while (size > 0) {
        size_t room = HttpGetClient::kChunkSize - t.chunkFill;
        size_t take = size < room ? size : room;
        if (!t.chunkCut) {
            const void* nul = std::memchr(data, '\0', take);
            size_t keep = nul ? static_cast<size_t>(static_cast<const char*>(nul) - data) : take;
            t.text->append(data, keep);
            if (nul) t.chunkCut = true;
        }
        t.chunkFill += take;
        if (t.chunkFill == HttpGetClient::kChunkSize) {
            t.chunkFill = 0;
            t.chunkCut = false;
        }
        data += take;
        size -= take;
    }
}

size_t OnBody(char* data, size_t one, size_t size, void* user) {
    (void)one;
    Transfer& t = *static_cast<Transfer*>(user);
    t.bodyBytes += size;
    if (t.text) {
        if (t.bodyBytes > t.maxText) {
            t.outOfMemory = true;
            return 0;
        }
        try {
            AppendChunked(t, data, size);
        } catch (const std::bad_alloc&) {
            t.outOfMemory = true;
            return 0;  // abandons the transfer
        }
        return size;
    }
    if (t.bodyBytes > t.maxFile) {
        t.fileTooLarge = true;
        return 0;
    }
    if (!t.OpenFile()) return 0;
    if (size > 0 && std::fwrite(data, 1, size, t.file) != size) {
        t.fileFailed = true;
        return 0;
    }
    return size;
}

size_t OnHeader(char* data, size_t one, size_t size, void* user) {
    (void)one;
    Transfer& t = *static_cast<Transfer*>(user);
    std::string_view line(data, size);
    if (line.size() > 5 && line.substr(0, 5) == "HTTP/") {
        size_t sp = line.find(' ');
        long code = 0;
        if (sp != std::string_view::npos) {
            for (size_t i = sp + 1; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
                code = code * 10 + (line[i] - '0');
                if (code > 999) break;
            }
        }
        t.pendingStatus = code;
    } else if (line == "\r\n" || line == "\n") {
        // An interim 1xx answer is followed by the real one.
        if (t.pendingStatus >= 200) t.lastStatus = t.pendingStatus;
    }
    return size;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* flag = static_cast<const std::atomic<bool>*>(user);
    return flag->load() ? 1 : 0;
}

}  // namespace

HttpGetClient::~HttpGetClient() { Close(); }

int HttpGetClient::Close() {
    if (headers_) {
        curl_slist_free_all(headers_);
        headers_ = nullptr;
    }
    if (handle_) {
        curl_easy_cleanup(handle_);
        handle_ = nullptr;
    }
    return 0;
}

int HttpGetClient::Open(const std::string& url) {
    InitCurlOnce();
    handle_ = curl_easy_init();
    if (!handle_) return 201;
    // Ask caches on the way (and the proxy) for a fresh copy: the update
    // checker compares what it gets with what the server holds now.
    headers_ = curl_slist_append(headers_, "Cache-Control: no-cache");
    curl_slist* more = headers_ ? curl_slist_append(headers_, "Pragma: no-cache") : nullptr;
    if (!more) {
        Close();
        return 201;
    }
    headers_ = more;

    CURL* h = handle_;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, "myie");
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers_);
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    // A redirect loop must end; so must a redirect to a local file.
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 20L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // Workers run on their own threads: no SIGALRM for name look-ups.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // A server that accepts and then says nothing would otherwise hold the
    // worker forever.
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, connectTimeoutSeconds_);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stallTimeoutSeconds_);
    // The proxy's own "200 Connection established" is not the server's answer.
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &OnHeader);
    if (cancelFlag_) {
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, cancelFlag_);
    }
    return 0;
}

int HttpGetClient::GetText(const std::string& url, std::string& out) {
    out.clear();
    Close();
    if (int rc = Open(url); rc != 0) return rc;
    Transfer t;
    t.text = &out;
    t.maxText = maxTextBytes_;
    curl_easy_setopt(handle_, CURLOPT_TIMEOUT, textDeadlineSeconds_);
    curl_easy_setopt(handle_, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxTextBytes_));
    // Decoded, also when sent compressed unasked: the raw bytes are no text.
    curl_easy_setopt(handle_, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(handle_, CURLOPT_HEADERDATA, &t);
    CURLcode rc = curl_easy_perform(handle_);
    // The connection is of no further use whatever happened; holding it
    // until the next call would only keep the server's socket busy.
    Close();
    if (t.outOfMemory || rc == CURLE_FILESIZE_EXCEEDED || !t.Opened(rc)) {
        std::string().swap(out);  // failures give no text, and free what grew
        return t.outOfMemory || rc == CURLE_FILESIZE_EXCEEDED ? 203 : 202;
    }
    // An answer in an encoding that cannot be read is not the server's text.
    if (rc == CURLE_BAD_CONTENT_ENCODING) {
        std::string().swap(out);
        return 204;
    }
    return 0;
}

int HttpGetClient::GetFile(const std::string& url, const std::string& path) {
    Close();
    if (int rc = Open(url); rc != 0) return rc;
    Transfer t;
    t.path = &path;
    t.maxFile = maxFileBytes_;
    curl_easy_setopt(handle_, CURLOPT_TIMEOUT, fileDeadlineSeconds_);
    curl_easy_setopt(handle_, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxFileBytes_));
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(handle_, CURLOPT_HEADERDATA, &t);
    CURLcode rc = curl_easy_perform(handle_);
    int result = 0;
    if (t.fileFailed) {
        result = 1;
    } else if (t.fileTooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
        result = 203;
    } else if (!t.Opened(rc)) {
        result = 202;
    } else if (!t.OpenFile()) {
        result = 1;  // an empty body still makes an (empty) file
    }
    if (t.file && std::fclose(t.file) != 0 && result == 0) result = 1;
    Close();
    return result;
}

}  // namespace quillon
