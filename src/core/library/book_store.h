#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/messenger.h"

namespace quillon {

// The library is the folder book/ of the program folder: a book exists
// exactly when book/<name>.txt exists, whoever put it there. Book names are
// GBK like every text of the system; on disk they are UTF-8 file names.

// One entry of the book folder.
struct BookEntry {
    std::string name;      // GBK, without ".txt"
    std::string fileName;  // GBK, with ".txt"
    std::string path;      // full path, UTF-8
    long long size = 0;    // bytes
    std::time_t lastWrite = 0;
    bool isFolder = false;  // a folder whose name ends in ".txt"
};

// Prefixes of the bookshelf's list rows; both are six GBK bytes, which the
// row operations cut off again.
std::string FileRowPrefix();    // "[文件]"
std::string FolderRowPrefix();  // "[目录]"

// "[文件]" + file name, or "[目录]" + file name for a folder.
std::string BookRowText(const BookEntry& entry);

// The book name a file row stands for: the row without its six-byte prefix
// and its four-byte ".txt". Empty when the row is too short to hold both.
std::string BookNameFromRow(std::string_view row);

class BookStore final {
public:
    // Full path of the book `name` (GBK): <program folder>book/<name>.txt.
    static std::string BookPath(std::string_view name);

    // Every file and folder in book/ whose name ends in ".txt", folders first,
    // each group ordered by name (GBK byte order, which puts the common
    // Chinese characters in their pinyin order).
    static std::vector<BookEntry> ListBooks();

    // Adds the file `sourcePath` (UTF-8) as the book `name`, formatted (the
    // formatter's layout) or copied byte for byte. Asks before replacing an
    // existing book; an existing book is replaced only once the new one is
    // complete. `progress` receives the formatter's progress texts.
    static bool AddBook(const std::string& sourcePath, std::string_view name, bool format,
                        Messenger& messenger,
                        const std::function<void(const std::string& text)>& progress = nullptr);

    // Renames the book `oldName` to `newName`; never replaces another book.
    // Bookmark files keep the old name.
    static bool RenameBook(std::string_view oldName, std::string_view newName, Messenger& messenger);

    // Deletes the book of the list row `row` (empty: nothing selected) after
    // asking. Folder rows are ignored. True when a book file was removed, so
    // the list needs refreshing. Bookmark files stay.
    static bool DeleteBook(std::string_view row, Messenger& messenger);
};

}  // namespace quillon
