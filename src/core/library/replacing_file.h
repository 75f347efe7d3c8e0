#pragma once

#include <string>
#include <string_view>

#include "core/platform/file_io.h"

namespace quillon {

// Writes a file that replaces `path` only once it is complete: the bytes go
// to a fresh temporary file in the same folder, which Commit() flushes to
// disk and renames over `path`. A failed or abandoned write leaves whatever
// `path` held before untouched, so a full disk or an unreadable source never
// costs the user an existing book.
class ReplacingFile final {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Discards the temporary file unless Commit() succeeded.
    ~ReplacingFile() = default;

    // Creates the temporary file beside `path`. False when the folder does
    // not exist, is not writable, or `path` is not a valid file name.
    bool Open(const std::string& path);
    // Appends bytes; false after any failed write.
    bool Write(std::string_view data);
    // Flushes, closes and renames the temporary file over the target.
    bool Commit();
    // Closes and removes the temporary file.
    void Discard();

private:
    AtomicFileWriter writer_;
};

}  // namespace quillon
