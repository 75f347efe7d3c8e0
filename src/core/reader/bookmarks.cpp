#include "core/reader/bookmarks.h"

#include <limits>

#include "core/config/tag_file.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

constexpr std::string_view kSeparator = "::";

bool IsComment(std::string_view line) { return line.size() >= 2 && line[0] == '/' && line[1] == '/'; }

// atoi's reading: blanks, a sign, digits; anything else ends the number.
int64_t ReadDecimal(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsAsciiSpace(static_cast<unsigned char>(s[i]))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        int digit = s[i] - '0';
        if (value > (kMax - digit) / 10) {
            value = kMax;
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

}  // namespace

std::string Bookmarks::Header() { return Gbk("书签列表"); }

std::string Bookmarks::FilePath(std::string_view bookName) {
    std::string safe;
    safe.reserve(bookName.size());
    // Whole characters only: the trail byte of a GBK character may be 0x5C,
    // and turning it into '_' would change the character.
    for (size_t i = 0; i < bookName.size(); ++i) {
        char c = bookName[i];
        if (IsGbkLead(static_cast<unsigned char>(c)) && i + 1 < bookName.size()) {
            safe.push_back(c);
            safe.push_back(bookName[++i]);
        } else {
            safe.push_back(c == '\\' || c == '/' || c == ':' ? '_' : c);
        }
    }
    return GetProgramFolder() + "book/lable/" + GbkToUtf8(safe) + ".txt";
}

std::string Bookmarks::DefaultDescription(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    return Format("%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
}

int64_t Bookmarks::JumpPosition(std::string_view entry) {
    // ':' is never the trail byte of a GBK character, so a byte search is
    // safe here.
    size_t last = entry.rfind(kSeparator);
    if (last != std::string_view::npos) entry.remove_prefix(last + kSeparator.size());
    return ReadDecimal(entry);
}

void Bookmarks::Load(std::string_view bookName) {
    bookName_.assign(bookName);
    entries_.clear();
    std::string bytes;
    if (!ReadWholeFile(FilePath(bookName_), bytes)) return;
    // A NUL (a damaged file, or one an editor padded) ends a line rather than
    // the list: the entries after it are shown, and so survive the next save,
    // which rewrites the file from this list.
    for (char& c : bytes) {
        if (c == '\0') c = '\n';
    }
    TagText file;
    file.SetText(bytes);
    std::string line;
    while (file.NextLine(line) == 0) {
        // An empty line only appears when the file begins with a break; it
        // is no bookmark.
        if (line.empty() || IsComment(line)) continue;
        entries_.push_back(line);
    }
}

bool Bookmarks::Save() const {
    std::string path = FilePath(bookName_);
    std::string content;
    for (const std::string& e : entries_) {
        content += e;
        content += "\r\n";
    }
    // The bookmark folder is made at start; recreate it should the user
    // have removed it since.
    EnsureFolders(path);
    return WriteFileAtomically(path, content);
}

bool Bookmarks::Add(std::string_view description, int64_t position, Messenger& messenger) {
    if (description.size() < kMinDescriptionBytes || description.size() > kMaxDescriptionBytes) {
        messenger.Inform(Gbk("说明长度请设置在3-255字符之间"));
        return false;
    }
    std::string entry(description);
    for (char& c : entry) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    entry += kSeparator;
    entry += std::to_string(position);
    entries_.push_back(std::move(entry));
    Save();
    return true;
}

bool Bookmarks::Delete(int index) {
    if (index < 1 || static_cast<size_t>(index) > entries_.size()) return false;
    entries_.erase(entries_.begin() + (index - 1));
    Save();
    return true;
}

std::optional<int64_t> Bookmarks::JumpTarget(int index) const {
    if (index < 1 || static_cast<size_t>(index) > entries_.size()) return std::nullopt;
    return JumpPosition(entries_[static_cast<size_t>(index - 1)]);
}

std::vector<std::string> Bookmarks::Items() const {
    std::vector<std::string> items;
    items.reserve(entries_.size() + 1);
    items.push_back(Header());
    items.insert(items.end(), entries_.begin(), entries_.end());
    return items;
}

}  // namespace quillon
