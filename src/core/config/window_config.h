#pragma once

#include <string>

namespace quillon {

// The main window's placement and the local browser's last folder, saved as
// data/gconfig.dat: exactly 520 bytes, little-endian, no header.
//   0   left, 4 top, 8 right, 12 bottom (outer rectangle, right/bottom
//       exclusive, signed screen pixels)
//   16  browseFolder: 504 bytes, NUL-terminated, zero-filled after it. It
//       names a folder, so it holds the file system's encoding (UTF-8).
struct WindowConfig final {
    static constexpr size_t kRecordSize = 520;
    static constexpr size_t kFolderSize = 504;

    int left = 0;
    int top = 0;
    int right = 800;
    int bottom = 560;
    std::string browseFolder = "/";

    // Defaults, then the file's bytes over the start of the record (a short
    // file keeps the defaults of the fields it does not reach). A missing
    // file leaves the defaults.
    void Load(const std::string& path);
    bool Save(const std::string& path) const;
};

// The program-wide record, loaded at start and saved when the main window is
// destroyed.
WindowConfig& ProgramWindowConfig();

}  // namespace quillon
