#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Where a reader left each book, which books were open, and whether the
// program should go back to them. All of it lives in files of its own, so
// the bookmark files and the display-settings record keep their bytes.

// The reading position of one book: the byte offset that belongs on the
// first row of the page. Kept in book/lable/<safe name>.pos beside the
// book's bookmark file, as one line "offset=<n>" and a closing line "end";
// anything else (a damaged or cut-off file) counts as no position.
class ReadingPosition final {
public:
    static std::string FilePath(std::string_view bookName);

    static std::string Format(int32_t offset);
    static std::optional<int32_t> Parse(std::string_view bytes);

    // None for a missing, damaged or truncated file.
    static std::optional<int32_t> Load(std::string_view bookName);
    // Replaces the file whole (never torn by a crash); false when it cannot
    // be written.
    static bool Save(std::string_view bookName, int32_t offset);
};

// A renamed book keeps its bookmarks and reading position: both files move
// to the new name, unless the new name already has files of its own, which
// are left as they are. False when a file that was there could not move.
bool CarryBookState(std::string_view oldName, std::string_view newName);

// The two switches of the resume behaviour, both on by default, kept in
// data/resume.ini as "resumePosition=0|1" and "reopenBooks=0|1" lines.
struct ResumeSettings {
    bool resumePosition = true;  // reopen each book where it was left
    bool reopenBooks = true;     // reopen at start the books open at exit

    static std::string FilePath();
    static ResumeSettings Load();
    bool Save() const;
};

// The reading tabs open when the program last closed, in tab order, each as
// the book as the page host opened it (UTF-8: a book name in book/ or
// "//FilePath//" and a full path), and which of them was current (-1 when
// another tab was). Kept in data/opentabs.txt: "current=<n>" then one
// "book=<book>" line per tab.
struct OpenBooks {
    std::vector<std::string> books;
    int current = -1;

    static std::string FilePath();
    static OpenBooks Load();
    bool Save() const;
};

}  // namespace quillon
