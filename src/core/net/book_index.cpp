#include "core/net/book_index.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

// A cursor over the bytes of one index file that never reads past them.
class IndexReader final {
public:
    explicit IndexReader(std::string_view bytes) : bytes_(bytes) {}

    bool ReadInt32(int32_t& value) {
        if (bytes_.size() - at_ < 4) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + at_);
        uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                     (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
        value = static_cast<int32_t>(u);
        at_ += 4;
        return true;
    }

    // False at a length out of range or a string cut off by the end of the
    // file; the cursor is then of no further use.
    bool ReadString(std::string& out) {
        int32_t length = 0;
        if (!ReadInt32(length)) return false;
        if (length < 0 || length > kBookIndexMaxString) return false;
        size_t n = static_cast<size_t>(length);
        if (bytes_.size() - at_ < n) return false;
        out.assign(bytes_.data() + at_, n);
        at_ += n;
        return true;
    }

    size_t remaining() const { return bytes_.size() - at_; }

private:
    std::string_view bytes_;
    size_t at_ = 0;
};

bool IsSpace(char c) { return c == ' '; }

}  // namespace

std::vector<std::string> SplitSearchWords(std::string_view query) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < query.size()) {
        while (i < query.size() && IsSpace(query[i])) ++i;
        if (i >= query.size()) break;
        size_t start = i;
        // A trail byte of a two-byte character is never a space (they are
        // 0x40 and up), so a byte-wise cut at ' ' never splits a character.
        while (i < query.size() && !IsSpace(query[i])) ++i;
        words.emplace_back(query.substr(start, i - start));
    }
    return words;
}

bool TitleMatches(std::string_view title, const std::vector<std::string>& words) {
    for (const std::string& word : words) {
        if (FindGbk(title, word) == std::string_view::npos) return false;
    }
    return true;
}

void BookIndexFile::Clear() {
    declared_ = 0;
    records_.clear();
    sites_.clear();
}

int BookIndexFile::Load(const std::string& path) {
    Clear();
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return 1;
    return Parse(bytes);
}

int BookIndexFile::Parse(std::string_view bytes) {
    Clear();
    IndexReader in(bytes);
    int32_t pairs = 0;
    if (!in.ReadInt32(pairs) || pairs <= 0) return 1;
    std::string key;
    std::string site;
    if (!in.ReadString(key) || key != kBookIndexSiteKey) return 1;
    if (!in.ReadString(site)) return 1;
    sites_.push_back(std::move(site));
    declared_ = pairs - 1;

    // The announced count is only a claim: a damaged file may announce two
    // billion records. Each record needs at least eight bytes, so the file's
    // size bounds what is worth reserving.
    size_t reserve = std::min(static_cast<size_t>(declared_), in.remaining() / 8);
    records_.reserve(reserve);
    int current = 0;
    for (int i = 0; i < declared_; ++i) {
        BookIndexRecord record;
        if (!in.ReadString(record.url) || !in.ReadString(record.title)) break;
        if (record.url == kBookIndexSiteKey) {
            sites_.push_back(record.title);
            current = static_cast<int>(sites_.size()) - 1;
            record.siteMarker = true;
        }
        record.site = current;
        records_.push_back(std::move(record));
    }
    return 0;
}

void BookIndexFile::Search(const std::vector<std::string>& words,
                           const std::function<bool(BookSearchRow&&)>& sink) const {
    if (words.empty()) return;
    const std::string action = Gbk("打开内容");
    for (const BookIndexRecord& record : records_) {
        if (record.siteMarker || !TitleMatches(record.title, words)) continue;
        if (!sink(BookSearchRow{record.title, action, SiteOf(record), record.url})) return;
    }
}

BookIndex::BookIndex(std::string folder) : folder_(std::move(folder)) {
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

int BookIndex::Ensure() {
    int expected = kNotLoaded;
    // Exactly one caller moves the state from "not loaded" to "loading" and
    // loads; the others see "loading" and wait for it.
    if (!state_.compare_exchange_strong(expected, kLoading, std::memory_order_acq_rel)) return expected;
    Load();
    return kLoaded;
}

void BookIndex::Load() {
    std::vector<std::string> names = ListBookIndexFiles(folder_);
    if (names.size() > static_cast<size_t>(kBookIndexMaxFiles)) names.resize(kBookIndexMaxFiles);
    for (const std::string& name : names) {
        BookIndexFile file;
        // A file that fails adds nothing but still takes its place.
        if (file.Load(folder_ + name) == 0) total_.fetch_add(file.count(), std::memory_order_acq_rel);
        files_.push_back(std::move(file));
    }
    names_ = std::move(names);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.store(kLoaded, std::memory_order_release);
    }
    loaded_.notify_all();
}

bool BookIndex::WaitLoaded(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return loaded_.wait_for(lock, limit, [this] { return state_.load(std::memory_order_acquire) == kLoaded; });
}

BookIndex& ProgramBookIndex() {
    static BookIndex* index = new BookIndex(GetProgramFolder() + "list/");
    return *index;
}

std::vector<std::string> ListBookIndexFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return names;
    // increment(ec) rather than a range loop: a folder that vanishes while
    // it is listed must end the listing, not throw.
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        std::string name = it->path().filename().string();
        if (name.size() < 12 || !StartsWithIgnoreCase(name, "libdata_") ||
            !EqualsIgnoreCase(std::string_view(name).substr(name.size() - 4), ".dat"))
            continue;
        names.push_back(std::move(name));
    }
    // The file system lists in no particular order; name order makes the
    // choice of the first twenty the same on every machine.
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quillon
