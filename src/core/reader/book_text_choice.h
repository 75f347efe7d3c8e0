#pragma once

#include <string>
#include <string_view>

#include "core/library/book_text.h"

namespace quillon {

// How the user wants one book read: its encoding (automatic unless chosen)
// and whether traditional characters are shown simplified. Kept per book in
// book/lable/<name>.enc beside the bookmark file, whose format stays as it
// is.
struct BookTextChoice {
    BookEncoding encoding = BookEncoding::kAuto;
    bool toSimplified = false;

    bool operator==(const BookTextChoice&) const = default;
};

// The file of the book `gbkName`.
std::string BookTextChoicePath(std::string_view gbkName);
// The stored choice, or the automatic one when there is none or it cannot
// be read.
BookTextChoice LoadBookTextChoice(std::string_view gbkName);
// Stores the choice; the automatic choice removes the file instead.
bool SaveBookTextChoice(std::string_view gbkName, const BookTextChoice& choice);

// Reads a book the way the reading page shows it: ReadBookText in the
// chosen encoding, then traditional characters mapped to simplified ones
// when asked (character by character, so offsets move only where a
// character has no simplified form in GBK).
BookReadResult ReadBookForReading(const std::string& path, const BookTextChoice& choice,
                                  std::string& gbkText);
// The same as a BookText: a big GBK book read as it is arrives in the
// background (OpenBookText). Null when the book cannot be read.
BookReadResult ReadBookForReading(const std::string& path, const BookTextChoice& choice,
                                  std::shared_ptr<const BookText>& text);

}  // namespace quillon
