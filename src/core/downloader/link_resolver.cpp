#include "core/downloader/link_resolver.h"

#include "core/text/byte_string.h"

namespace quillon {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

size_t HttpSchemeLength(std::string_view url) {
    if (StartsWithIgnoreCase(url, "http://")) return 7;
    if (StartsWithIgnoreCase(url, "https://")) return 8;
    return 0;
}

void TagAttributes::Parse(std::string_view text) {
    pairs_.clear();
    position_ = 0;
    const size_t n = text.size();
    size_t& p = position_;
    for (;;) {
        while (p < n && IsBlank(text[p])) ++p;
        if (p >= n) return;
        size_t nameStart = p;
        while (p < n && !IsBlank(text[p]) && text[p] != '=' && text[p] != '>') ++p;
        if (p >= n) return;
        std::string name(text.substr(nameStart, p - nameStart));
        std::string value;
        size_t q = p;
        while (q < n && IsBlank(text[q])) ++q;
        if (q < n && text[q] == '=') {
            p = q + 1;
            while (p < n && IsBlank(text[p])) ++p;
            if (p < n && (text[p] == '"' || text[p] == '\'')) {
                char quote = text[p++];
                size_t close = text.find(quote, p);
                if (close == std::string_view::npos) close = n;
                value.assign(text.substr(p, close - p));
                p = close < n ? close + 1 : n;
            } else {
                size_t valueStart = p;
                while (p < n && !IsBlank(text[p]) && text[p] != '=' && text[p] != '>') ++p;
                if (p < n) value.assign(text.substr(valueStart, p - valueStart));
            }
        }
        if (pairs_.size() >= kMaxPairs) return;
        pairs_.emplace_back(std::move(name), std::move(value));
    }
}

int TagAttributes::Get(std::string_view name, std::string& value) const {
    for (const auto& [n, v] : pairs_) {
        if (EqualsIgnoreCase(n, name)) {
            value = v;
            return 0;
        }
    }
    value.clear();
    return 1;
}

void SplitUrlPath(std::string_view url, std::vector<std::string>& segments, int& count) {
    const size_t capacity = count > 0 ? static_cast<size_t>(count) : 0;
    segments.clear();
    count = 0;
    if (capacity == 0) return;
    // The host starts right after the scheme; searching from its second byte
    // keeps "http://" (and "https://") and a one-byte host together.
    size_t scheme = HttpSchemeLength(url);
    size_t from = (scheme ? scheme : 7) + 1;
    size_t slash = url.size() > from ? url.find('/', from) : std::string_view::npos;
    if (slash == std::string_view::npos) {
        segments.emplace_back(url);
        count = 1;
        return;
    }
    segments.emplace_back(url.substr(0, slash));
    std::string_view rest = url.substr(slash + 1);
    while (segments.size() < capacity) {
        size_t next = rest.find('/');
        if (next == std::string_view::npos) {
            segments.emplace_back(rest);
            break;
        }
        std::string_view piece = rest.substr(0, next);
        rest.remove_prefix(next + 1);
        if (piece.empty() || piece == ".") continue;
        if (piece == "..") {
            if (segments.size() > 1) segments.pop_back();
            continue;
        }
        segments.emplace_back(piece);
    }
    count = static_cast<int>(segments.size());
}

int ResolveLink(std::string_view href, std::string_view pageUrl, std::string& url) {
    if (HttpSchemeLength(pageUrl) == 0) return 1;
    size_t query = pageUrl.find('?');
    if (query != std::string_view::npos && query > 0) pageUrl = pageUrl.substr(0, query);

    std::vector<std::string> segments;
    int n = kMaxUrlSegments;
    SplitUrlPath(pageUrl, segments, n);
    if (n > 1 && segments[static_cast<size_t>(n - 1)].find('.') != std::string::npos) --n;

    std::string root = segments[0] + "/";
    std::string folder;
    for (int i = 0; i < n; ++i) {
        folder += segments[static_cast<size_t>(i)];
        folder += '/';
    }

    if (href.empty()) return 1;
    if (HttpSchemeLength(href) != 0) {
        url.assign(href);
        return 0;
    }
    if (StartsWithIgnoreCase(href, "www.")) {
        url = "http://";
        url += href;
        return 0;
    }

    std::string candidate = (href[0] == '/' ? root : folder);
    candidate += href;
    int k = kMaxUrlSegments;
    SplitUrlPath(candidate, segments, k);
    if (k < 1) return 1;
    std::string joined = segments[0];
    for (int i = 1; i < k; ++i) {
        joined += '/';
        joined += segments[static_cast<size_t>(i)];
    }
    size_t lastSlash = joined.rfind('/');
    if (lastSlash != std::string::npos && lastSlash >= 1) {
        size_t hash = joined.find('#', lastSlash + 1);
        if (hash != std::string::npos) joined.resize(hash);
    }
    url = std::move(joined);
    return 0;
}

}  // namespace quillon
