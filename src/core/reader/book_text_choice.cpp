#include "core/reader/book_text_choice.h"

#include <cstdio>

#include "core/downloader/page_charset.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/reader/bookmarks.h"

namespace quillon {

namespace {

constexpr std::string_view kEncodingKey = "encoding=";
constexpr std::string_view kSimplifiedKey = "simplified=";

}  // namespace

std::string BookTextChoicePath(std::string_view gbkName) {
    // The bookmark file's name with its ".txt" swapped, so both files follow
    // the same rules for characters a file name cannot hold.
    std::string path = Bookmarks::FilePath(gbkName);
    path.replace(path.size() - 4, 4, ".enc");
    return path;
}

BookTextChoice LoadBookTextChoice(std::string_view gbkName) {
    BookTextChoice choice;
    std::string bytes;
    if (!ReadWholeFile(BookTextChoicePath(gbkName), bytes)) return choice;
    std::string_view rest(bytes);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with(kEncodingKey)) {
            BookEncoding encoding;
            if (ParseBookEncoding(line.substr(kEncodingKey.size()), encoding)) choice.encoding = encoding;
        } else if (line.starts_with(kSimplifiedKey)) {
            choice.toSimplified = line.substr(kSimplifiedKey.size()) == "1";
        }
    }
    return choice;
}

bool SaveBookTextChoice(std::string_view gbkName, const BookTextChoice& choice) {
    const std::string path = BookTextChoicePath(gbkName);
    if (choice == BookTextChoice{}) return std::remove(path.c_str()) == 0 || !FileExists(path);
    EnsureFolders(path);
    std::string text;
    text.append(kEncodingKey).append(BookEncodingName(choice.encoding)).append("\n");
    text.append(kSimplifiedKey).append(choice.toSimplified ? "1" : "0").append("\n");
    return WriteFileAtomically(path, text);
}

BookReadResult ReadBookForReading(const std::string& path, const BookTextChoice& choice,
                                  std::string& gbkText) {
    BookReadResult result = ReadBookText(path, gbkText, choice.encoding);
    if (result.ok && choice.toSimplified) gbkText = MapTraditionalToSimplified(gbkText);
    return result;
}

BookReadResult ReadBookForReading(const std::string& path, const BookTextChoice& choice,
                                  std::shared_ptr<const BookText>& text) {
    if (!choice.toSimplified) return OpenBookText(path, choice.encoding, text);
    std::string whole;
    BookReadResult result = ReadBookForReading(path, choice, whole);
    text.reset();
    if (result.ok) text = std::make_shared<const BookText>(std::move(whole));
    return result;
}

}  // namespace quillon
