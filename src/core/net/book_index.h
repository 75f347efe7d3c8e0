#pragma once

#include <atomic>
#include <condition_variable>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The local index of web novels: files list/libdata_*.dat that arrive with
// the data updates. Each file is little-endian binary:
//
//   int32 N                      pairs that follow, the header pair included
//   string "site_name"           header key
//   string <site>                site of the records that follow
//   N - 1 times: string <url>, string <title>
//
// and every string is an int32 length L (0 <= L <= 1023) followed by L GBK
// bytes without terminator. A record whose url is "site_name" names the site
// of the records after it.

// One string of the format may hold at most this many bytes.
inline constexpr int kBookIndexMaxString = 1023;
// At most this many index files are read.
inline constexpr int kBookIndexMaxFiles = 20;
inline constexpr std::string_view kBookIndexSiteKey = "site_name";

struct BookIndexRecord {
    std::string url;
    std::string title;
    // Index into BookIndexFile::sites(): the site current after reading it.
    int site = 0;
    // The record switched the site; it counts but is never a search result,
    // since its "address" is the marker word.
    bool siteMarker = false;
};

// One row of search results, GBK.
struct BookSearchRow {
    std::string title;
    std::string action;
    std::string site;
    std::string url;
};

// The query cut into words at spaces (runs of spaces count as one; leading
// and trailing ones are dropped).
std::vector<std::string> SplitSearchWords(std::string_view query);

// True when every word occurs in `title`, case-sensitively and starting on
// a character boundary, so half of one two-byte character and half of the
// next never make a match.
bool TitleMatches(std::string_view title, const std::vector<std::string>& words);

class BookIndexFile final {
public:
    // 0 on success; 1 when the file is missing or its header is malformed.
    // Reading ends early, keeping what was read, at a length out of range or
    // at a string that runs past the end of the file.
    int Load(const std::string& path);
    // The same over bytes already in memory.
    int Parse(std::string_view bytes);

    // Calls `sink` with each matching row in file order; stops when it
    // returns false.
    void Search(const std::vector<std::string>& words,
                const std::function<bool(BookSearchRow&&)>& sink) const;

    // The record count the file announces (N - 1).
    int declared() const { return declared_; }
    // The records actually read.
    int count() const { return static_cast<int>(records_.size()); }
    const std::vector<BookIndexRecord>& records() const { return records_; }
    const std::vector<std::string>& sites() const { return sites_; }
    const std::string& SiteOf(const BookIndexRecord& record) const { return sites_[record.site]; }

private:
    void Clear();

    int declared_ = 0;
    std::vector<BookIndexRecord> records_;
    std::vector<std::string> sites_;
};

// The whole index, loaded at most once per run by the first search that
// needs it; read-only from then on, so searches on several threads share it.
class BookIndex final {
public:
    enum State { kNotLoaded = 0, kLoaded = 1, kLoading = 2 };

    // `folder` holds the libdata_*.dat files (ends in '/').
    explicit BookIndex(std::string folder);
    BookIndex(const BookIndex&) = delete;
    BookIndex& operator=(const BookIndex&) = delete;

    // Loads the index unless it is loaded or another thread is loading it;
    // returns kLoaded or kLoading (another thread has it in hand).
    int Ensure();
    // Waits up to `limit` for a load in progress to end; true once loaded.
    bool WaitLoaded(std::chrono::milliseconds limit);

    int state() const { return state_.load(std::memory_order_acquire); }
    int total() const { return total_.load(std::memory_order_acquire); }
    // Meaningful once loaded.
    int fileCount() const { return static_cast<int>(files_.size()); }
    const BookIndexFile& file(int i) const { return files_[static_cast<size_t>(i)]; }
    // The file names (without folder) in the order they are read.
    const std::vector<std::string>& fileNames() const { return names_; }

    const std::string& folder() const { return folder_; }

private:
    void Load();

    std::string folder_;
    std::atomic<int> state_{kNotLoaded};
    std::atomic<int> total_{0};
    std::vector<BookIndexFile> files_;
    std::vector<std::string> names_;
    std::mutex mutex_;
    std::condition_variable loaded_;
};

// The program's index, on <program folder>list/. Never destroyed, so a
// search thread still running at exit never reads a dead index.
BookIndex& ProgramBookIndex();

// The index file names of `folder` (libdata_*.dat, ASCII case ignored), in
// name order.
std::vector<std::string> ListBookIndexFiles(const std::string& folder);

}  // namespace quillon
