#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

// The downloader's settings, stored byte for byte as data/config.dat:
//   0  300  save folder, NUL-terminated (UTF-8 path; at most 255 bytes written)
//   300  4  save as html (int32 LE; only 1 switches it on)
//   304  4  save as txt
//   308  4  format txt
//   312 52  reserved, zeros
// A missing or short file leaves the defaults for whatever it lacks.
struct DownloaderSettings {
    static constexpr size_t kRecordSize = 364;
    static constexpr size_t kFolderField = 300;
    static constexpr size_t kFolderMaxBytes = 255;

    std::string saveFolder = DefaultSaveFolder();
    int32_t saveAsHtml = 1;
    int32_t saveAsTxt = 1;
    int32_t formatTxt = 0;

    bool SavesHtml() const { return saveAsHtml == 1; }
    bool SavesTxt() const { return saveAsTxt == 1; }
    bool FormatsTxt() const { return formatTxt == 1; }

    // Lays the file's first bytes (up to 364) over the defaults. Returns the
    // number of bytes read, 0 when the file is missing.
    size_t Load(const std::string& path);
    // 0 written, 1 the file could not be created.
    int Save(const std::string& path) const;

    // "<download folder>/Fetchwell下载的文件/" (UTF-8): the user's download
    // folder as `xdg-user-dir DOWNLOAD` names it, else $HOME.
    static std::string DefaultSaveFolder();
};

// The settings of data/config.dat in the program folder, or the defaults.
DownloaderSettings LoadSettings();
// Writes them there, creating data/ first. 0 written, 1 not.
int SaveSettings(const DownloaderSettings& settings);

}  // namespace quillon
