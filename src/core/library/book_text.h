#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

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

// CleanGbkText's rules over the bytes [from, to) of a text that may still
// be arriving, in place; `from` must be a character start. Unless `last`
// (`to` is the end of the text), a lead byte or a CR in the last position
// waits for the byte after it: the result is where cleaning stopped, the
// start of the next piece. NUL bytes are not looked for. Adds the bytes
// that became '?' to `replaced`.
size_t CleanGbkPiece(char* text, size_t from, size_t to, bool last, size_t& replaced);

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

// A book's display text (GBK, cleaned as CleanGbkText cleans it) that may
// still be arriving. A big GBK book is read and cleaned by a thread of its
// own while its first pages are shown: bytes [0, ready()) are final and
// never change again, and once complete() the text is whole. Any thread may
// read the final bytes; the object must outlive those reads.
class BookText final {
public:
    // A text complete from the start, cut at its first NUL and at
    // kMaxBookBytes.
    explicit BookText(std::string text = {});
    // Stops the reading thread, if it still runs.
    ~BookText();
    BookText(const BookText&) = delete;
    BookText& operator=(const BookText&) = delete;

    // Reads the GBK book open as `fd` (which it takes over) in the
    // background: at most `size` bytes, fewer when the file ends earlier (it
    // shrank) or holds a NUL. A read error ends the text where it happened.
    static std::unique_ptr<BookText> Load(int fd, size_t size);

    const char* data() const { return data_; }
    // How many leading bytes are final.
    size_t ready() const { return ready_.load(std::memory_order_acquire); }
    bool complete() const { return complete_.load(std::memory_order_acquire); }
    // The length of the whole text once complete; until then the most it
    // can have (the size of the file when it was opened).
    size_t size() const { return complete() ? ready() : expected_; }
    // Waits until the first `end` bytes are final or the text is complete;
    // returns ready().
    size_t WaitFor(size_t end) const;
    // The whole text, waiting for it. With `cancel`, gives up (with an empty
    // view) soon after it turns true.
    std::string_view Whole(const std::atomic<bool>* cancel = nullptr) const;
    // Bytes that became '?' so far.
    size_t replaced() const { return replaced_.load(std::memory_order_relaxed); }
    // Memory the text holds.
    size_t CapacityBytes() const { return owned_.empty() ? mappedBytes_ : owned_.capacity(); }

private:
    BookText(int fd, size_t size);
    void ReadAll(int fd);
    void Publish(size_t ready, bool complete);

    std::string owned_;       // a complete text handed in
    char* data_ = nullptr;    // owned_'s bytes, or the mapping
    size_t mappedBytes_ = 0;  // size of the mapping, 0 for owned_
    size_t expected_ = 0;
    std::atomic<size_t> ready_{0};
    std::atomic<bool> complete_{false};
    std::atomic<size_t> replaced_{0};
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::thread reader_;
};

// Up to this size a GBK book is read whole before it is shown; beyond it the
// reading goes on in the background.
inline constexpr size_t kBackgroundReadBytes = 16u << 20;

// ReadBookText for the reading page: the same text, but a big GBK book
// arrives in the background (see BookText) instead of being read before
// this returns. `text` is null when the book cannot be read.
BookReadResult OpenBookText(const std::string& path, BookEncoding encoding,
                            std::shared_ptr<const BookText>& text, size_t limit = kMaxBookBytes);

}  // namespace quillon
