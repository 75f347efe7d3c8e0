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

// The chapters of the job's checked rows, in list order, each read from the
// file its row was saved to or found at by a download of this list (the
// .txt, or the text of the .html when only that was saved); a row the
// download did not reach is looked for under the name its title gives. The
// rows whose chapter is not there (failed, never saved, or of a title of
// markup only, whose name held the time of saving) go to `missing`, each
// named by its title, or "第N行" (its place in the list) without one.
std::vector<BookChapter> CollectSavedChapters(const DownloadJob& job,
                                              std::vector<std::string>& missing);

// Writes the chapters CollectSavedChapters finds as one GBK book at `path`,
// replacing it only once whole: each chapter starts with its title alone on
// a line (markup cut; "第N章" for a title of markup only, N its place in the
// book), then its text, every line ended by CR LF, laid out as an imported
// book is (one indented paragraph per line) when the job's settings format
// text. The chapters are read and written one at a time, so a book of
// thousands never lies in memory whole. `merged` is the number of chapters
// written, `missing` as above. False when the file could not be written.
bool WriteMergedBook(const std::string& path, const DownloadJob& job, int& merged,
                     std::vector<std::string>& missing);

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

// "缺少 N 章：<names, separated by "、">" (GBK), "" when none is missing.
std::string MissingChaptersText(const std::vector<std::string>& missing);

}  // namespace quillon
