#pragma once

#include <string>
#include <vector>

#include "core/downloader/download_worker.h"

namespace quillon {

// One chapter of a finished book: its title and text, both GBK.
struct BookChapter {
    std::string title;
    std::string text;
};

// The saved chapters of the job's checked rows, in list order: the .txt
// file of each, or the text of its .html file when only that was saved. The
// titles of the rows that have neither go to `missing` (GBK), in order.
std::vector<BookChapter> CollectSavedChapters(const DownloadJob& job,
                                              std::vector<std::string>& missing);

// The chapters as one GBK text: each starts with its title alone on a line
// (markup cut), then its text, every line ended by CR LF. `format` lays the
// texts out as an imported book is (one indented paragraph per line).
std::string MergeChapters(const std::vector<BookChapter>& chapters, bool format);

// Writes the chapters as an EPUB 3 file (UTF-8 XHTML per chapter, a
// navigation document, title and language metadata). `title` is GBK. False
// with `error` set (UTF-8) when the file could not be written whole.
bool WriteEpub(const std::string& path, const std::string& title,
               const std::vector<BookChapter>& chapters, std::string& error);

// The file name (UTF-8, no extension) of a merged book named `pageTitle`
// (GBK): the title cut at a NUL and made safe like a chapter's name.
std::string BookFileName(const std::string& pageTitle);

// quillon's book/ folder (ending in '/') when this downloader runs from the
// fetchwell/ folder inside quillon's program folder; "" otherwise.
std::string ReaderShelfFolder();

// "缺少 N 章：<titles, separated by "、">" (GBK), "" when none is missing.
std::string MissingChaptersText(const std::vector<std::string>& missing);

}  // namespace quillon
