#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// The encodings a book file may come in. Everything inside the program is
// GBK; a book in any other encoding is converted when it is read.
enum class BookEncoding : uint8_t {
    kAuto,  // detect from the file's first bytes
    kGbk,
    kGb18030,
    kBig5,
    kUtf8,
    kUtf16Le,
    kUtf16Be,
    kUtf32Le,
    kUtf32Be,
};

// The stable spelling of an encoding ("auto", "GBK", "GB18030", "Big5",
// "UTF-8", "UTF-16LE", ...), used in per-book files and in menus.
const char* BookEncodingName(BookEncoding encoding);
// The reverse; false for an unknown name.
bool ParseBookEncoding(std::string_view name, BookEncoding& encoding);

// How many leading bytes of a book detection looks at: detection must not
// cost a pass over a book of a gigabyte.
inline constexpr size_t kDetectSampleBytes = 64 * 1024;

// The encoding of a book judged from `sample` (its first bytes, at most
// kDetectSampleBytes are looked at): a byte-order mark; UTF-16 without a
// mark by where its zero bytes fall; UTF-8 when nearly all of its non-ASCII
// sequences are valid UTF-8, so a few bad bytes do not tip a book over;
// otherwise whichever of GBK, Big5 and mark-less UTF-16 decodes to common
// Chinese characters most often (GB18030 when its four-byte forms occur).
// Never kAuto.
BookEncoding DetectBookEncoding(std::string_view sample);

// DetectBookEncoding over the first bytes of the file `path`; GBK when it
// cannot be read.
BookEncoding DetectBookFileEncoding(const std::string& path);

// Length of the byte-order mark `bytes` start with for `encoding`, or 0.
size_t ByteOrderMarkLength(std::string_view bytes, BookEncoding encoding);

// Makes GBK text safe to lay out without changing its length, so that every
// byte offset still points at the same byte of the file:
//  - the text ends at its first NUL (the result may be shorter there);
//  - a byte that cannot start a GBK character (0x80, 0xFF), and a lead byte
//    whose next byte cannot be a GBK trail (or that ends the text), become
//    one '?' each, so a stray byte garbles one cell, not the characters
//    after it;
//  - a CR not followed by LF becomes LF, so CR-only books break lines.
// Returns the number of bytes that became '?'.
size_t CleanGbkText(std::string& text);

// `bytes` (with any byte-order mark) in `encoding` as GBK; characters
// without a GBK form and invalid sequences become one '?' each, counted in
// `replaced` when given. GBK input is returned as it is.
std::string ConvertBookBytes(std::string_view bytes, BookEncoding encoding,
                             size_t* replaced = nullptr);

// What reading a book found.
struct BookReadResult {
    bool ok = false;          // false: missing, a folder, or unreadable
    BookEncoding encoding = BookEncoding::kGbk;  // as detected or chosen
    bool truncated = false;   // only the first `limit` bytes were read
    size_t replaced = 0;      // characters shown as '?'
};

// Offsets in the paging model are 32-bit: a book longer than this opens
// its first part only.
inline constexpr size_t kMaxBookBytes = 0x7FFF0000;

// Reads a book for reading and hands its display text as GBK, cleaned by
// CleanGbkText. The file is read once, into `gbkText` itself, and converted
// only when it is not GBK; at most `limit` bytes are read (a file that
// grows meanwhile is read to the size it had when opened). The file is
// never changed.
BookReadResult ReadBookText(const std::string& path, std::string& gbkText, BookEncoding encoding,
                            size_t limit = kMaxBookBytes);

// The same with the encoding detected. False when it cannot be read.
bool ReadBookText(const std::string& path, std::string& gbkText);

// ReadBookText's detection, conversion and cleaning over bytes already in
// memory.
std::string BookBytesToGbk(std::string_view bytes);

}  // namespace quillon
