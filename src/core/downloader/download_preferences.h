#pragma once

#include <string>

namespace quillon {

// The downloader's settings beyond the fixed 364-byte record: politeness,
// retries, resuming and where a finished book goes. Kept in their own text
// file, data/preferences.txt, one "key=value" line each, so the record keeps
// its layout. Unknown keys and bad values are ignored (the default stays).
struct DownloadPreferences {
    // Pause between two chapter requests ("下载间隔(毫秒)").
    int delayMs = 300;
    // Further tries of a chapter whose request failed by connection error,
    // time-out, 429 or 5xx ("失败重试次数").
    int retries = 2;
    // The first back-off; each further try waits twice as long. Retry-After
    // of the answer wins when the server sends one.
    int retryBaseMs = 1000;
    // The User-Agent of every request; empty means the program's own.
    std::string userAgent;
    // "只下载缺少的章节": chapters already on disk are not fetched again.
    bool missingOnly = false;
    // "使用浏览器获取页面": pages are loaded in an off-screen browser.
    bool useBrowser = false;
    // "加入Quillon书架": a merged book is saved into the reader's book/.
    bool addToShelf = false;

    // One request after the other, a single try, nothing skipped: the way
    // the downloader worked before these settings existed.
    static DownloadPreferences Plain() {
        DownloadPreferences p;
        p.delayMs = 0;
        p.retries = 0;
        return p;
    }

    std::string ToText() const;
    // Lays the text's known keys over the current values.
    void FromText(const std::string& text);
    bool operator==(const DownloadPreferences&) const = default;
};

// A browser-like User-Agent offered by the settings.
std::string BrowserUserAgent();

// data/preferences.txt of the program folder, or the defaults.
DownloadPreferences LoadPreferences();
// Writes it atomically, creating data/ first. True when written.
bool SavePreferences(const DownloadPreferences& preferences);

}  // namespace quillon
