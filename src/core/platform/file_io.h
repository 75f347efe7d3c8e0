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

// How far a whole-file write guards against loss.
enum class WriteDurability {
    // The file and its folder are flushed to disk before the call returns: a
    // power cut right after it still finds the new content.
    kFlushed,
    // Only the rename makes the file visible, so a killed process never
    // leaves a torn file; a power cut may lose the newest write. For files
    // that are written by the thousand and can be fetched again (chapters).
    kProcessSafe,
};

// Writes `data` to a uniquely named temporary file beside `path`, then
// renames it over `path`, so a crash, a kill or a full disk never leaves a
// half-written file and two writers never share a temporary. The file keeps
// the permissions of the one it replaces; the temporary is removed on every
// failure.
bool WriteFileAtomically(const std::string& path, std::string_view data);
bool WriteFileAtomically(const std::string& path, std::string_view data,
                         WriteDurability durability);

// The streaming form of WriteFileAtomically for files too large to hold in
// memory: Open creates the temporary, Write appends, Commit flushes and
// renames it over the target. Destroyed without a successful Commit, it
// removes the temporary and leaves the target as it was.
class AtomicFileWriter final {
public:
    AtomicFileWriter() = default;
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    ~AtomicFileWriter();

    // False when the folder does not exist or is not writable.
    bool Open(const std::string& path);
    // False after any failed write.
    bool Write(std::string_view data);
    bool Commit(WriteDurability durability = WriteDurability::kFlushed);
    void Discard();

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool failed_ = false;
};

bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);

// Size in bytes, or -1 when the file does not exist.
long long FileSize(const std::string& path);

// Deletes every regular file in `folder` whose name ends with `suffix`
// (for example ".html"); folders and other files stay. Failures are ignored.
void DeleteFilesWithSuffix(const std::string& folder, std::string_view suffix);

}  // namespace quillon
