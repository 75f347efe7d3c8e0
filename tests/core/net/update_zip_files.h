#pragma once

// Writes real zip archives with the zip library's own writer, for the tests
// of the update checker's unpacking.

#include <string>
#include <vector>

#include <zip.h>

namespace quillon::net_test {

struct ZipEntry {
    std::string name;
    std::string data;
    bool stored = false;  // no compression, so the data lies in the file as is
};

// Entries get the time 2009-06-15 12:34:56 (local), so a test can see it
// carried onto the unpacked file. False when the archive could not be made.
inline bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip) return false;
    bool ok = true;
    for (const ZipEntry& e : entries) {
        zip_fileinfo info{};
        info.tmz_date.tm_year = 2009;
        info.tmz_date.tm_mon = 5;
        info.tmz_date.tm_mday = 15;
        info.tmz_date.tm_hour = 12;
        info.tmz_date.tm_min = 34;
        info.tmz_date.tm_sec = 56;
        ok = ok && zipOpenNewFileInZip64(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0,
                                         nullptr, e.stored ? 0 : Z_DEFLATED,
                                         e.stored ? 0 : Z_DEFAULT_COMPRESSION, 0) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(zip, e.data.data(), static_cast<unsigned>(e.data.size())) ==
                       ZIP_OK;
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

}  // namespace quillon::net_test
