#include "core/downloader/page_charset.h"

#include <algorithm>
#include <cstring>
#include <iconv.h>
#include <mutex>
#include <unordered_map>

#include <opencc/opencc.h>

#include "core/text/byte_string.h"
#include "core/text/gbk_codec.h"

namespace quillon {

namespace {

// True when the first "charset" is followed by `name` starting 1 to 19 bytes
// after it. Only that window can satisfy the test, so only it is searched.
bool DeclaresCharset(std::string_view text, size_t charsetAt, std::string_view name) {
    if (charsetAt == std::string_view::npos) return false;
    size_t b = FindAsciiFolded(text, name, charsetAt + 1, charsetAt + 19 + name.size());
    return b != std::string_view::npos && b - charsetAt > 0 && b - charsetAt < 20;
}

// The platform mapping is one character to one character, so each code point
// is looked up alone: phrase-wise conversion would change words the old
// program left as they were. Lookups are cached; the OpenCC handle is shared
// by all workers behind one lock.
class SimplifiedMapper final {
public:
    static SimplifiedMapper& Instance() {
        static SimplifiedMapper mapper;
        return mapper;
    }

    std::string MapUtf8(std::string_view utf8) {
        std::lock_guard lock(mutex_);
        std::string out;
        out.reserve(utf8.size());
        size_t i = 0;
        while (i < utf8.size()) {
            unsigned char c = static_cast<unsigned char>(utf8[i]);
            size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            if (len == 1 || i + len > utf8.size() || handle_ == nullptr) {
                out.append(utf8.substr(i, std::min(len, utf8.size() - i)));
                i += len;
                continue;
            }
            std::string key(utf8.substr(i, len));
            auto it = cache_.find(key);
            if (it == cache_.end()) it = cache_.emplace(key, Convert(key)).first;
            out += it->second;
            i += len;
        }
        return out;
    }

private:
    SimplifiedMapper() {
        opencc_t h = opencc_open("t2s.json");
        handle_ = (h == reinterpret_cast<opencc_t>(-1)) ? nullptr : h;
    }
    ~SimplifiedMapper() {
        if (handle_) opencc_close(handle_);
    }

    std::string Convert(const std::string& character) {
        char* converted = opencc_convert_utf8(handle_, character.data(), character.size());
        if (converted == nullptr) return character;
        std::string result(converted);
        opencc_convert_utf8_free(converted);
        // Keep one-to-one: a result of more than one character (or none) is
        // not a character mapping and leaves the original.
        if (result.empty() || !IsSingleCodePoint(result)) return character;
        return result;
    }

    static bool IsSingleCodePoint(const std::string& s) {
        unsigned char c = static_cast<unsigned char>(s[0]);
        size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        return len == s.size();
    }

    std::mutex mutex_;
    opencc_t handle_ = nullptr;
    std::unordered_map<std::string, std::string> cache_;
};

std::string_view UpToNul(const std::string& text) {
    size_t nul = text.find('\0');
    return std::string_view(text).substr(0, nul);
}

// The length of the space GBK has no character for at the start of `at`
// (0 when there is none) and what stands in for it: a plain space for the
// visible ones, nothing for those of no width.
size_t SpaceGbkLacks(std::string_view at, std::string_view& standIn) {
    auto byte = [&at](size_t i) { return static_cast<unsigned char>(at[i]); };
    standIn = " ";
    if (at.starts_with("\xC2\xA0")) return 2;  // no-break space, what &nbsp; stands for
    if (at.size() < 3 || byte(0) < 0xE2) return 0;
    // U+2000 to U+200A (en, em, thin and the other typographic spaces),
    // U+202F narrow no-break space, U+205F medium mathematical space.
    if (byte(0) == 0xE2 && byte(1) == 0x80 && ((byte(2) >= 0x80 && byte(2) <= 0x8A) || byte(2) == 0xAF))
        return 3;
    if (at.starts_with("\xE2\x81\x9F")) return 3;
    standIn = "";
    // Zero-width space, word joiner, byte-order mark.
    if (at.starts_with("\xE2\x80\x8B") || at.starts_with("\xE2\x81\xA0") || at.starts_with("\xEF\xBB\xBF"))
        return 3;
    return 0;
}

// UTF-8 page text to GBK. Spaces GBK lacks would come out as the
// replacement "?", which on pages that keep words and numbers apart with
// no-break spaces turns "第 1 章" into "第?1?章": they become plain spaces
// first, and the invisible ones go.
std::string Utf8PageToGbk(std::string_view utf8) {
    std::string spaced;
    size_t copied = 0;
    std::string_view standIn;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const size_t length = static_cast<unsigned char>(utf8[i]) >= 0xC2 ? SpaceGbkLacks(utf8.substr(i), standIn) : 0;
        if (length == 0) continue;
        spaced.append(utf8.substr(copied, i - copied)).append(standIn);
        copied = i + length;
        i = copied - 1;
    }
    if (copied == 0) return ConvertCharset(utf8, "UTF-8", "CP936", kGbkReplacement);
    spaced.append(utf8.substr(copied));
    return ConvertCharset(spaced, "UTF-8", "CP936", kGbkReplacement);
}

}  // namespace

std::string MapTraditionalToSimplified(std::string_view gbk) {
    if (IsAscii(gbk)) return std::string(gbk);
    std::string utf8 = GbkToUtf8(gbk);
    return Utf8ToGbk(SimplifiedMapper::Instance().MapUtf8(utf8));
}

std::string CharsetOfContentType(std::string_view contentType) {
    size_t at = FindAsciiFolded(contentType, "charset");
    if (at == std::string_view::npos) return {};
    std::string_view rest = contentType.substr(at + 7);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (rest.empty() || rest.front() != '=') return {};
    rest.remove_prefix(1);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '"' || rest.front() == '\''))
        rest.remove_prefix(1);
    std::string name;
    for (char c : rest) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '-' || c == '_' || c == '.' || c == ':';
        if (!ok) break;
        name.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return name;
}

void ApplyHeaderCharset(std::string& page, std::string_view contentType) {
    if (FindAsciiFolded(page, "charset") != std::string_view::npos) return;
    const std::string name = CharsetOfContentType(contentType);
    if (name.empty() || name == "gbk" || name == "gb2312" || name == "gb18030" || name == "cp936" ||
        name == "x-gbk") {
        return;
    }
    if (name == "utf-8" || name == "utf8") {
        page = Utf8PageToGbk(UpToNul(page));
    } else if (name == "big5" || name == "big5-hkscs") {
        std::string gbk = ConvertCharset(UpToNul(page), "CP950", "CP936", kGbkReplacement);
        page = MapTraditionalToSimplified(gbk);
    } else {
        iconv_t cd = iconv_open("UTF-8", name.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1)) return;
        iconv_close(cd);
        // Through UTF-8, so the no-break space of the Latin charsets (A0)
        // becomes a space as well.
        page = Utf8PageToGbk(ConvertCharset(UpToNul(page), name.c_str(), "UTF-8", kGbkReplacement));
    }
}

void ConvertPageCharset(std::string& text) {
    size_t charsetAt = FindAsciiFolded(text, "charset");
    if (DeclaresCharset(text, charsetAt, "utf-8")) {
        text = Utf8PageToGbk(UpToNul(text));
    } else if (DeclaresCharset(text, charsetAt, "big5")) {
        // Through GBK first, as the old conversion went: a Big5 character
        // without a GBK form is lost before the mapping could rescue it.
        std::string gbk = ConvertCharset(UpToNul(text), "CP950", "CP936", kGbkReplacement);
        text = MapTraditionalToSimplified(gbk);
    }
}

}  // namespace quillon
