#include "core/downloader/downloader_settings.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

#include "core/config/record_file.h"
#include "core/platform/program_folder.h"

namespace quillon {

namespace {

using Record = std::array<unsigned char, DownloaderSettings::kRecordSize>;

Record ToRecord(const DownloaderSettings& s) {
    Record r{};
    // Cut at 255 bytes on a UTF-8 character boundary: the folder is a path,
    // and half a character would name another folder.
    size_t n = std::min(s.saveFolder.size(), DownloaderSettings::kFolderMaxBytes);
    if (n < s.saveFolder.size()) {
        while (n > 0 && (static_cast<unsigned char>(s.saveFolder[n]) & 0xC0) == 0x80) --n;
    }
    std::copy_n(s.saveFolder.data(), n, r.data());
    PutInt32LE(r.data() + 300, s.saveAsHtml);
    PutInt32LE(r.data() + 304, s.saveAsTxt);
    PutInt32LE(r.data() + 308, s.formatTxt);
    return r;
}

}  // namespace

std::string DownloaderSettings::DefaultSaveFolder() {
    // Where the desktop keeps downloads (the home folder when none is set).
    return UserDownloadFolder() + "Fetchwell下载的文件/";
}

size_t DownloaderSettings::Load(const std::string& path) {
    Record r = ToRecord(*this);
    size_t n = LoadRecordBytes(path, r.data(), r.size());
    if (n == 0) return 0;
    saveFolder = GetCString(r.data(), kFolderField);
    saveAsHtml = GetInt32LE(r.data() + 300);
    saveAsTxt = GetInt32LE(r.data() + 304);
    formatTxt = GetInt32LE(r.data() + 308);
    return n;
}

int DownloaderSettings::Save(const std::string& path) const {
    Record r = ToRecord(*this);
    return SaveRecordBytes(path, r.data(), r.size()) ? 0 : 1;
}

DownloaderSettings LoadSettings() {
    DownloaderSettings s;
    s.Load(GetProgramFolder() + "data/config.dat");
    return s;
}

int SaveSettings(const DownloaderSettings& settings) {
    std::string folder = GetProgramFolder() + "data/";
    EnsureFolders(folder);
    return settings.Save(folder + "config.dat");
}

}  // namespace quillon
