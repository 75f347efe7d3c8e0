#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Whole-file binary access. Paths are in the file system's encoding (UTF-8).

// Reads the whole file into `out`. False (and `out` empty) when it cannot be
// opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

// Creates or truncates the file and writes `data`. False when the file cannot
// be created or the write fails.
bool WriteWholeFile(const std::string& path, std::string_view data);

// Writes `data` to a temporary file beside `path`, then renames it over
// `path`, so a crash or a full disk never leaves a half-written file.
bool WriteFileAtomically(const std::string& path, std::string_view data);

bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);

// Size in bytes, or -1 when the file does not exist.
long long FileSize(const std::string& path);

// Deletes every regular file in `folder` whose name ends with `suffix`
// (for example ".html"); folders and other files stay. Failures are ignored.
void DeleteFilesWithSuffix(const std::string& folder, std::string_view suffix);

}  // namespace quillon
