#include "core/downloader/download_preferences.h"

#include <charconv>
#include <sstream>

#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"

namespace quillon {

namespace {

constexpr int kMaxDelayMs = 600000;
constexpr int kMaxRetries = 20;

bool ParseInt(const std::string& s, int lo, int hi, int& out) {
    int v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi) return false;
    out = v;
    return true;
}

std::string PreferencesPath() { return GetProgramFolder() + "data/preferences.txt"; }

}  // namespace

std::string BrowserUserAgent() {
    return "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
           "Chrome/120.0 Safari/537.36";
}

std::string DownloadPreferences::ToText() const {
    std::ostringstream out;
    out << "delay_ms=" << delayMs << "\n"
        << "retries=" << retries << "\n"
        << "retry_base_ms=" << retryBaseMs << "\n"
        << "user_agent=" << userAgent << "\n"
        << "missing_only=" << (missingOnly ? 1 : 0) << "\n"
        << "use_browser=" << (useBrowser ? 1 : 0) << "\n"
        << "add_to_shelf=" << (addToShelf ? 1 : 0) << "\n";
    return out.str();
}

void DownloadPreferences::FromText(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        int flag = 0;
        if (key == "delay_ms") {
            ParseInt(value, 0, kMaxDelayMs, delayMs);
        } else if (key == "retries") {
            ParseInt(value, 0, kMaxRetries, retries);
        } else if (key == "retry_base_ms") {
            ParseInt(value, 0, 60000, retryBaseMs);
        } else if (key == "user_agent") {
            // A header line must not be split by what the file holds.
            if (value.find_first_of("\r\n") == std::string::npos) userAgent = value;
        } else if (ParseInt(value, 0, 1, flag)) {
            if (key == "missing_only") missingOnly = flag == 1;
            if (key == "use_browser") useBrowser = flag == 1;
            if (key == "add_to_shelf") addToShelf = flag == 1;
        }
    }
}

DownloadPreferences LoadPreferences() {
    DownloadPreferences p;
    std::string text;
    if (ReadWholeFile(PreferencesPath(), text)) p.FromText(text);
    return p;
}

bool SavePreferences(const DownloadPreferences& preferences) {
    EnsureFolders(GetProgramFolder() + "data/");
    return WriteFileAtomically(PreferencesPath(), preferences.ToText());
}

}  // namespace quillon
