#include "core/library/book_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/library/common_hanzi.h"
#include "core/text/counted_conversion.h"
#include "core/text/gbk_codec.h"

namespace quillon {

namespace {

using namespace std::string_view_literals;

struct EncodingInfo {
    BookEncoding encoding;
    const char* name;     // stored and shown
    const char* charset;  // iconv's name
};

constexpr std::array<EncodingInfo, 9> kEncodings = {{
    {BookEncoding::kAuto, "auto", ""},
    {BookEncoding::kGbk, "GBK", "CP936"},
    {BookEncoding::kGb18030, "GB18030", "GB18030"},
    {BookEncoding::kBig5, "Big5", "CP950"},
    {BookEncoding::kUtf8, "UTF-8", "UTF-8"},
    {BookEncoding::kUtf16Le, "UTF-16LE", "UTF-16LE"},
    {BookEncoding::kUtf16Be, "UTF-16BE", "UTF-16BE"},
    {BookEncoding::kUtf32Le, "UTF-32LE", "UTF-32LE"},
    {BookEncoding::kUtf32Be, "UTF-32BE", "UTF-32BE"},
}};

const EncodingInfo& InfoOf(BookEncoding encoding) {
    return kEncodings[static_cast<size_t>(encoding) < kEncodings.size() ? static_cast<size_t>(encoding) : 1];
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

bool IsGbkTrail(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// Decodes `sample` as `charset` and gives the share of its characters that
// are ASCII text or common Chinese characters.
double CommonShare(std::string_view sample, const char* charset) {
    const std::string utf8 = ConvertCharset(sample, charset, "UTF-8", kUtf8Replacement);
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t total = 0;
    size_t common = 0;
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            if (c == ' ' || c == '\r' || c == '\n' || c == '\t') continue;
            ++total;
            common += c >= 0x20 && c < 0x7F;
            continue;
        }
        const size_t len = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        ++total;
        if (len == 3 && i + 2 < n) {
            common += IsCommonHanzi(static_cast<char32_t>((c & 0x0F) << 12 | (p[i + 1] & 0x3F) << 6 |
                                                          (p[i + 2] & 0x3F)));
        }
        i += len;
    }
    return total == 0 ? 0.0 : static_cast<double>(common) / static_cast<double>(total);
}

// UTF-16 by its zero bytes: the high byte of every ASCII character is 0, and
// NUL never occurs in a GBK or UTF-8 book. A stray NUL or two, or a binary
// file with zeros everywhere, is not UTF-16.
BookEncoding Utf16ByZeros(std::string_view s) {
    size_t even = 0;
    size_t odd = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\0') ++((i & 1) ? odd : even);
    }
    const size_t units = s.size() / 2;
    auto clear = [units](size_t one, size_t other) {
        // Characters such as U+4E00 put a zero in the other byte now and
        // then; ASCII of a binary file puts them anywhere.
        return one >= 2 && other * 3 <= one && one * 64 >= units;
    };
    if (clear(odd, even)) return BookEncoding::kUtf16Le;
    if (clear(even, odd)) return BookEncoding::kUtf16Be;
    return BookEncoding::kAuto;
}

// Valid multi-byte UTF-8 sequences against bytes that cannot be UTF-8. GBK
// text now and then forms a valid two-byte sequence by chance, but most of
// its characters do not, while a UTF-8 book damaged in a few places keeps
// nearly all of its sequences.
bool LooksLikeUtf8(std::string_view s, bool cut) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    size_t valid = 0;
    size_t bad = 0;
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        const size_t len = c < 0xC2 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
        if (len != 0 && i + len > n && cut) break;  // cut off by the sample's end
        if (len != 0 && i + len <= n && IsValidUtf8(s.substr(i, len))) {
            ++valid;
            i += len;
        } else {
            ++bad;
            ++i;
        }
    }
    return valid > 0 && valid >= 9 * bad;
}

// GB18030's four-byte forms (lead, digit, lead, digit) where GBK pairing
// puts a character start.
bool HasFourByteForms(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    for (size_t i = 0; i + 1 < n;) {
        if (p[i] < 0x81 || p[i] == 0xFF) {
            ++i;
            continue;
        }
        if (i + 3 < n && p[i + 1] >= 0x30 && p[i + 1] <= 0x39 && p[i + 2] >= 0x81 &&
            p[i + 2] <= 0xFE && p[i + 3] >= 0x30 && p[i + 3] <= 0x39) {
            return true;
        }
        i += 2;
    }
    return false;
}

// The bytes [0, size) of `fd` into `out`, stopping early at the end of the
// file (which may have shrunk since it was measured).
bool ReadInto(int fd, std::string& out, size_t size) {
    out.clear();
    out.reserve(size);
    // A book of a gigabyte in 4 KiB pages costs a quarter of a million page
    // faults, seconds of system time; in 2 MiB pages it costs five hundred.
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    if (size >= 4 * kHuge) {
        const auto begin = reinterpret_cast<uintptr_t>(out.data());
        const uintptr_t from = (begin + kHuge - 1) & ~(kHuge - 1);
        const uintptr_t to = (begin + size) & ~(kHuge - 1);
        if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    }
    out.resize(size);
    size_t got = 0;
    while (got < size) {
        const ssize_t r = ::read(fd, out.data() + got, size - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    out.resize(got);
    return true;
}

}  // namespace

const char* BookEncodingName(BookEncoding encoding) { return InfoOf(encoding).name; }

bool ParseBookEncoding(std::string_view name, BookEncoding& encoding) {
    for (const EncodingInfo& info : kEncodings) {
        if (name == info.name) {
            encoding = info.encoding;
            return true;
        }
    }
    return false;
}

BookEncoding DetectBookFileEncoding(const std::string& path) {
    std::string sample;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return BookEncoding::kGbk;
    struct stat st{};
    const bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode) && ReadInto(fd, sample, kDetectSampleBytes + 1);
    ::close(fd);
    return ok ? DetectBookEncoding(sample) : BookEncoding::kGbk;
}

size_t ByteOrderMarkLength(std::string_view bytes, BookEncoding encoding) {
    switch (encoding) {
        case BookEncoding::kUtf8: return StartsWith(bytes, "\xEF\xBB\xBF"sv) ? 3 : 0;
        case BookEncoding::kUtf16Le: return StartsWith(bytes, "\xFF\xFE"sv) ? 2 : 0;
        case BookEncoding::kUtf16Be: return StartsWith(bytes, "\xFE\xFF"sv) ? 2 : 0;
        case BookEncoding::kUtf32Le: return StartsWith(bytes, "\xFF\xFE\0\0"sv) ? 4 : 0;
        case BookEncoding::kUtf32Be: return StartsWith(bytes, "\0\0\xFE\xFF"sv) ? 4 : 0;
        default: return 0;
    }
}

BookEncoding DetectBookEncoding(std::string_view sample) {
    const bool cut = sample.size() > kDetectSampleBytes;
    if (cut) sample = sample.substr(0, kDetectSampleBytes);
    // UTF-32 LE first: its mark begins with the UTF-16 LE mark.
    if (StartsWith(sample, "\xFF\xFE\0\0"sv)) return BookEncoding::kUtf32Le;
    if (StartsWith(sample, "\0\0\xFE\xFF"sv)) return BookEncoding::kUtf32Be;
    if (StartsWith(sample, "\xFF\xFE"sv)) return BookEncoding::kUtf16Le;
    if (StartsWith(sample, "\xFE\xFF"sv)) return BookEncoding::kUtf16Be;
    if (StartsWith(sample, "\xEF\xBB\xBF"sv)) return BookEncoding::kUtf8;
    if (BookEncoding wide = Utf16ByZeros(sample); wide != BookEncoding::kAuto) return wide;

    const bool hasHigh = std::any_of(sample.begin(), sample.end(),
                                     [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
    if (!hasHigh) return BookEncoding::kGbk;  // ASCII, or zeros of a binary file
    if (LooksLikeUtf8(sample, cut)) return BookEncoding::kUtf8;

    // GBK unless another decoding clearly reads better: on a tie (rare
    // characters only, say) the library's own encoding is the safer guess,
    // and a decoding that reads mostly as garbage (a binary file) wins
    // nothing. Zero bytes count against the byte encodings, so UTF-16
    // whose zeros fall on both sides (U+3000, the full-width indent, has
    // one in its low byte) is still found.
    BookEncoding best = BookEncoding::kGbk;
    double bestShare = std::max(CommonShare(sample, "CP936") + 0.02, 0.5);
    for (BookEncoding other : {BookEncoding::kBig5, BookEncoding::kUtf16Le, BookEncoding::kUtf16Be}) {
        const double share = CommonShare(sample, InfoOf(other).charset);
        if (share > bestShare) {
            best = other;
            bestShare = share;
        }
    }
    const std::string_view text = sample.substr(0, sample.find('\0'));
    if (best == BookEncoding::kGbk && HasFourByteForms(text)) return BookEncoding::kGb18030;
    return best;
}

size_t CleanGbkPiece(char* text, size_t from, size_t to, bool last, size_t& replaced) {
    auto* p = reinterpret_cast<unsigned char*>(text);
    const size_t n = to;
    size_t i = from;
    while (i < n) {
#if defined(__SSE2__)
        // Most of a book is runs of two-byte characters (every byte in
        // 0x81..0xFE, so every pairing is valid) or of plain ASCII without
        // CR; sixteen such bytes from a character start need no change and
        // leave the next byte a character start again.
        while (i + 16 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i high = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-128)),
                                               _mm_cmplt_epi8(v, _mm_set1_epi8(-1)));
            const __m128i plain = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')),
                                                   _mm_cmpgt_epi8(v, _mm_setzero_si128()));
            if (_mm_movemask_epi8(high) != 0xFFFF && _mm_movemask_epi8(plain) != 0xFFFF) break;
            i += 16;
        }
        const size_t stop = std::min(n, i + 16);
#else
        const size_t stop = n;
#endif
        while (i < stop) {
            const unsigned char b = p[i];
            if (i + 1 == n && !last && (b == '\r' || b >= 0x80)) return i;  // needs the next byte
            if (b < 0x80) {
                if (b == '\r' && (i + 1 == n || p[i + 1] != '\n')) p[i] = '\n';
                ++i;
            } else if (b != 0x80 && b != 0xFF && i + 1 < n && IsGbkTrail(p[i + 1])) {
                i += 2;
            } else {
                p[i] = '?';
                ++replaced;
                ++i;
            }
        }
    }
    return n;
}

size_t CleanGbkText(std::string& text) {
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    size_t replaced = 0;
    CleanGbkPiece(text.data(), 0, text.size(), true, replaced);
    return replaced;
}

std::string ConvertBookBytes(std::string_view bytes, BookEncoding encoding, size_t* replaced) {
    if (encoding == BookEncoding::kAuto) encoding = DetectBookEncoding(bytes);
    if (encoding == BookEncoding::kGbk) return std::string(bytes);
    bytes.remove_prefix(ByteOrderMarkLength(bytes, encoding));
    size_t count = 0;
    std::string gbk = ConvertCharsetCounted(bytes, InfoOf(encoding).charset, "CP936", kGbkReplacement, count);
    if (replaced) *replaced += count;
    return gbk;
}

namespace {

// Opens a book file for reading: -1 when it is missing, a folder or cannot
// be opened. `size` is its size when opened.
int OpenBookFile(const std::string& path, size_t& size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    size = static_cast<size_t>(std::max<off_t>(st.st_size, 0));
    return fd;
}

// The rest of ReadBookText once the file is open; closes `fd`.
bool ReadOpenedBook(int fd, size_t size, BookEncoding encoding, std::string& gbkText,
                    BookReadResult& result) {
    // Read once, straight into the text handed on: a book of a gigabyte
    // must not be held twice.
    const bool ok = ReadInto(fd, gbkText, size);
    ::close(fd);
    if (!ok) {
        gbkText.clear();
        return false;
    }
    result.ok = true;
    result.encoding = encoding == BookEncoding::kAuto ? DetectBookEncoding(gbkText) : encoding;
    if (result.encoding != BookEncoding::kGbk) {
        std::string converted = ConvertBookBytes(gbkText, result.encoding, &result.replaced);
        gbkText.swap(converted);
    }
    result.replaced += CleanGbkText(gbkText);
    // A NUL early in a big file (a disk image, a sparse file) leaves a short
    // text in a huge buffer that the page would otherwise keep.
    if (gbkText.capacity() > 2 * gbkText.size() + 4096) gbkText.shrink_to_fit();
    return true;
}

}  // namespace

BookReadResult ReadBookText(const std::string& path, std::string& gbkText, BookEncoding encoding,
                            size_t limit) {
    BookReadResult result;
    gbkText.clear();
    size_t size = 0;
    const int fd = OpenBookFile(path, size);
    if (fd < 0) return result;
    result.truncated = size > limit;
    ReadOpenedBook(fd, std::min(size, limit), encoding, gbkText, result);
    return result;
}

BookReadResult OpenBookText(const std::string& path, BookEncoding encoding,
                            std::shared_ptr<const BookText>& text, size_t limit) {
    BookReadResult result;
    text.reset();
    size_t size = 0;
    const int fd = OpenBookFile(path, size);
    if (fd < 0) return result;
    result.truncated = size > limit;
    size = std::min(size, limit);
    if (size > kBackgroundReadBytes) {
        // The encoding from the first bytes only, as the whole-file read
        // would detect it: a GBK book needs no conversion, so its text can
        // be shown while the rest arrives.
        std::string sample;
        sample.resize(kDetectSampleBytes + 1);
        const ssize_t got = ::pread(fd, sample.data(), sample.size(), 0);
        sample.resize(got > 0 ? static_cast<size_t>(got) : 0);
        const BookEncoding found =
            encoding == BookEncoding::kAuto ? DetectBookEncoding(sample) : encoding;
        if (found == BookEncoding::kGbk) {
            if (std::unique_ptr<BookText> loading = BookText::Load(fd, size)) {
                result.ok = true;
                result.encoding = found;
                text = std::move(loading);
                return result;
            }
        }
    }
    std::string whole;
    if (ReadOpenedBook(fd, size, encoding, whole, result))
        text = std::make_shared<const BookText>(std::move(whole));
    return result;
}

// ---------------------------------------------------------------------------
// BookText

BookText::BookText(std::string text) : owned_(std::move(text)) {
    owned_.resize(std::min({owned_.find('\0'), owned_.size(), kMaxBookBytes}));
    data_ = owned_.data();
    expected_ = owned_.size();
    ready_ = owned_.size();
    complete_ = true;
}

BookText::BookText(int fd, size_t size) : expected_(size) {
    // Pages are taken from the system only as the reader fills them, so
    // nothing is spent on zeroing a gigabyte before the first page shows;
    // in 2 MiB pages the filling costs five hundred faults, not a quarter
    // of a million.
    constexpr size_t kHuge = size_t{2} << 20;
    mappedBytes_ = std::max<size_t>((size + kHuge - 1) & ~(kHuge - 1), kHuge);
    void* map = ::mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (map == MAP_FAILED) {
        mappedBytes_ = 0;
        return;
    }
    data_ = static_cast<char*>(map);
    ::madvise(map, mappedBytes_, MADV_HUGEPAGE);
    reader_ = std::thread([this, fd] { ReadAll(fd); });
}

std::unique_ptr<BookText> BookText::Load(int fd, size_t size) {
    std::unique_ptr<BookText> text(new BookText(fd, size));
    if (text->data_ == nullptr) return nullptr;  // fd stays the caller's
    return text;
}

BookText::~BookText() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    if (mappedBytes_ > 0) ::munmap(data_, mappedBytes_);
}

void BookText::ReadAll(int fd) {
    // Pieces small enough that the first page waits for a few milliseconds
    // only, big enough that a gigabyte takes a few hundred reads.
    constexpr size_t kPiece = 4u << 20;
    size_t got = 0;
    size_t cleaned = 0;
    size_t replaced = 0;
    bool last = false;
    while (!last && !stop_.load(std::memory_order_relaxed)) {
        const size_t want = std::min(kPiece, expected_ - got);
        ssize_t r = 0;
        if (want > 0) {
            do {
                r = ::read(fd, data_ + got, want);
            } while (r < 0 && errno == EINTR);
        }
        if (r <= 0) {
            // The end of a file that shrank, or a read error: the text ends
            // with what was read.
            last = true;
        } else if (const void* nul = std::memchr(data_ + got, '\0', static_cast<size_t>(r))) {
            got = static_cast<size_t>(static_cast<const char*>(nul) - data_);
            last = true;
        } else {
            got += static_cast<size_t>(r);
            last = got == expected_;
        }
        cleaned = CleanGbkPiece(data_, cleaned, got, last, replaced);
        replaced_.store(replaced, std::memory_order_relaxed);
        Publish(cleaned, last);
    }
    ::close(fd);
    if (!last) {
        Publish(cleaned, true);
    } else {
        // Bytes read past a NUL are no part of the text.
        constexpr size_t kPage = 4096;
        const size_t keep = (cleaned + kPage - 1) & ~(kPage - 1);
        if (keep < mappedBytes_) ::madvise(data_ + keep, mappedBytes_ - keep, MADV_DONTNEED);
    }
}

void BookText::Publish(size_t ready, bool complete) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ready_.store(ready, std::memory_order_release);
        if (complete) complete_.store(true, std::memory_order_release);
    }
    arrived_.notify_all();
}

size_t BookText::WaitFor(size_t end) const {
    if (ready() >= end || complete()) return ready();
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [&] { return ready_.load() >= end || complete_.load(); });
    return ready();
}

std::string_view BookText::Whole(const std::atomic<bool>* cancel) const {
    if (!complete()) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!complete_.load()) {
            if (cancel && cancel->load()) return {};
            arrived_.wait_for(lock, std::chrono::milliseconds(50));
        }
    }
    return std::string_view(data_, ready());
}

bool ReadBookText(const std::string& path, std::string& gbkText) {
    return ReadBookText(path, gbkText, BookEncoding::kAuto).ok;
}

std::string BookBytesToGbk(std::string_view bytes) {
    std::string text = ConvertBookBytes(bytes, BookEncoding::kAuto);
    CleanGbkText(text);
    return text;
}

}  // namespace quillon
