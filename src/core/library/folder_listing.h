#pragma once

#include <atomic>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The bookshelf's browser of the local file system, without any window: the
// folder rows and file rows it shows, the filter by extension, the texts of
// the size and time columns and the rules of the path box.

struct FolderEntry {
    std::string name;  // file name as the file system spells it (UTF-8)
    std::string path;  // listed folder + name
    bool isFolder = false;
    long long size = 0;
    std::time_t lastWrite = 0;
};

// "%d B" below 1024 bytes; else k = bytes / 1024 and "%.02f MB" of k / 1024.0
// when k is above 1023, "%d KB" of k otherwise.
std::string SizeText(long long bytes);

// "%04d-%02d-%02d %02d:%02d" of `t` in local time.
std::string TimeText(std::time_t t);

// The lower-cased text after the last '.' of `name`, or "" when the name has
// no '.' after its first character (".profile" has no extension).
std::string FileExtension(std::string_view name);

// Whether a file is shown: one without an extension always; one with an
// extension when it is "txt" or occurs in `shownExtensions` (the lower-cased
// title of the local list) as a substring.
bool IsShownFile(std::string_view name, std::string_view shownExtensions);

// The path box rule: '\' becomes '/', a trailing '/' is added when missing,
// and the result is cut to `limit` bytes, never inside a UTF-8 character.
// An empty text names the root folder.
inline constexpr size_t kBrowseFolderLimit = 490;
std::string NormaliseBrowseFolder(std::string_view text, size_t limit = kBrowseFolderLimit);

// Every entry of `folder` (which ends in '/'): folders as folder rows, the
// entries "." and ".." included; files that IsShownFile admits. The dot
// rows come first, then folders, then files, each group by name. An unreadable folder gives no rows. `cancel`, when set
// by another thread, ends the listing early (the rows so far are returned).
std::vector<FolderEntry> ListLocalFolder(const std::string& folder, std::string_view shownExtensions,
                                         const std::atomic<bool>* cancel = nullptr);

// The folder that opening a folder row lists next. The dot rows carry the
// listed folder + "." or "..": for ".." the path is cut before its last '/',
// which is the listed folder itself (the list is refreshed); for "." it is
// cut there and then after the new last '/', which is the parent folder. Any
// other folder row lists its own path. Never empty: the root stays the root.
std::string FolderRowTarget(const FolderEntry& row);

// A [SHOW_FILE_TYPE_<EXT>] template with every "URL" replaced by `fileUrl`.
std::string FillFileTypeTemplate(std::string_view templ, std::string_view fileUrl);

}  // namespace quillon
