#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/messenger.h"

namespace quillon {

// The bookmarks of one book: entries "description::position", where the
// position is the byte offset of the first line of the page shown when the
// bookmark was made. They are kept in book/lable/<safe name>.txt, one entry
// per CR LF line, GBK, in the order they were added.
//
// Indexes are those of the reading page's list, whose item 0 is the fixed
// header "书签列表": entry i of the file is item i + 1.
class Bookmarks final {
public:
    static constexpr size_t kMinDescriptionBytes = 3;
    static constexpr size_t kMaxDescriptionBytes = 255;

    // "书签列表" (GBK), item 0 of the list; never stored.
    static std::string Header();

    // <program folder>book/lable/<name>.txt (UTF-8), where every '\', '/'
    // and ':' of the GBK `bookName` (whole characters only) becomes '_'.
    static std::string FilePath(std::string_view bookName);

    // The description offered for a new bookmark: local time as
    // "YYYY-MM-DD hh:mm:ss".
    static std::string DefaultDescription(std::time_t now);

    // The position an entry leads to: the decimal number after its last "::"
    // (the whole entry when there is none), read like atoi; digits beyond the
    // range of a position saturate it.
    static int64_t JumpPosition(std::string_view entry);

    // Forgets the current list and reads the bookmarks of `bookName`: every
    // value line of its file (trimmed; empty lines and lines beginning with
    // "//" skipped; a NUL byte ends a line). A missing or unreadable file
    // gives an empty list.
    void Load(std::string_view bookName);

    // Writes all entries. The file is replaced whole, so a failed write keeps
    // the bookmarks that were stored before. False when it cannot be written.
    bool Save() const;

    // Adds "description::position" and saves. A description of fewer than 3
    // or more than 255 bytes is refused with the message
    // "说明长度请设置在3-255字符之间" and false (the dialog stays open).
    // Line breaks in the description become spaces: the file holds one entry
    // per line. Returns true when the entry was added, also when the save
    // failed (the entry then lives until the page closes).
    bool Add(std::string_view description, int64_t position, Messenger& messenger);

    // Removes list item `index` and saves; the header (0) and indexes that
    // name no entry do nothing. True when an entry was removed.
    bool Delete(int index);

    // The position of list item `index`; none for the header or an index
    // beyond the list.
    std::optional<int64_t> JumpTarget(int index) const;

    // The stored entries, without the header.
    const std::vector<std::string>& entries() const { return entries_; }
    // The list as the page shows it: the header, then the entries.
    std::vector<std::string> Items() const;
    const std::string& bookName() const { return bookName_; }

private:
    std::string bookName_;
    std::vector<std::string> entries_;
};

}  // namespace quillon
