#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// An archive entry larger than this is refused: the update list names small
// data files, and a forged size must not be able to fill the disk.
inline constexpr std::uint64_t kMaxExtractedBytes = 512ull * 1024 * 1024;

// Unpacks the first entry of the zip archive `archive` into a file beside
// it, `extracted` = archive path + ".entry". The entry's stored name is not
// used as the file name: a name chosen by whoever built the archive could
// overwrite (and the caller then delete) a settings file of the same folder,
// or reach out of it with "../". The file gets the entry's stored
// modification time and is left an ordinary writable file. 0 on success; 1
// on any failure of the archive (not a zip, no entry, a folder entry,
// encrypted, damaged data, CRC mismatch, too large) or of the file system,
// in which case the partial output is removed and `extracted` is "".
int ExtractFirstEntry(const std::string& archive, std::string& extracted);

}  // namespace quillon
