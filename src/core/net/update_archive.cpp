#include "core/net/update_archive.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include <unzip.h>

namespace quillon {

namespace {

constexpr int kBlockSize = 10240;

// The stored DOS-style local time of an entry as a file time.
bool EntryTime(const unz_file_info64& info, std::filesystem::file_time_type& out) {
    const tm_unz& d = info.tmu_date;
    if (d.tm_year < 1980 || d.tm_mon > 11 || d.tm_mday < 1) return false;
    std::tm t{};
    t.tm_year = static_cast<int>(d.tm_year) - 1900;
    t.tm_mon = static_cast<int>(d.tm_mon);
    t.tm_mday = static_cast<int>(d.tm_mday);
    t.tm_hour = static_cast<int>(d.tm_hour);
    t.tm_min = static_cast<int>(d.tm_min);
    t.tm_sec = static_cast<int>(d.tm_sec);
    t.tm_isdst = -1;
    std::time_t seconds = std::mktime(&t);
    if (seconds == static_cast<std::time_t>(-1)) return false;
    out = std::filesystem::file_time_type::clock::from_sys(
        std::chrono::system_clock::from_time_t(seconds));
    return true;
}

// Copies the open entry into `out`; false on a read or write error or when
// the data exceeds the cap.
bool CopyEntry(unzFile zip, FILE* out) {
    std::vector<char> block(kBlockSize);
    std::uint64_t total = 0;
    for (;;) {
        int n = unzReadCurrentFile(zip, block.data(), kBlockSize);
        if (n < 0) return false;
        if (n == 0) return true;
        total += static_cast<std::uint64_t>(n);
        if (total > kMaxExtractedBytes) return false;
        if (std::fwrite(block.data(), 1, static_cast<size_t>(n), out) != static_cast<size_t>(n))
            return false;
    }
}

}  // namespace

int ExtractFirstEntry(const std::string& archive, std::string& extracted) {
    extracted.clear();
    unzFile zip = unzOpen64(archive.c_str());
    if (!zip) return 1;
    unz_file_info64 info{};
    std::vector<char> name(4096, '\0');
    if (unzGoToFirstFile(zip) != UNZ_OK ||
        unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size() - 1),
                                nullptr, 0, nullptr, 0) != UNZ_OK ||
        info.uncompressed_size > kMaxExtractedBytes) {
        unzClose(zip);
        return 1;
    }
    // A folder entry holds no file to put in place.
    std::string stored(name.data());
    bool isFolder = !stored.empty() && (stored.back() == '/' || stored.back() == '\\');
    if (isFolder || unzOpenCurrentFile(zip) != UNZ_OK) {
        unzClose(zip);
        return 1;
    }

    std::string output = archive + ".entry";
    FILE* out = std::fopen(output.c_str(), "wb");
    if (!out) {
        unzCloseCurrentFile(zip);
        unzClose(zip);
        return 1;
    }
    bool ok = CopyEntry(zip, out);
    if (std::fclose(out) != 0) ok = false;
    // Closing the entry is what checks the CRC of everything read.
    if (unzCloseCurrentFile(zip) != UNZ_OK) ok = false;
    if (unzClose(zip) != UNZ_OK) ok = false;

    std::error_code ec;
    if (!ok) {
        std::filesystem::remove(output, ec);
        return 1;
    }
    std::filesystem::file_time_type when;
    if (EntryTime(info, when)) std::filesystem::last_write_time(output, when, ec);
    namespace fs = std::filesystem;
    fs::permissions(output,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::others_read,
                    fs::perm_options::replace, ec);
    extracted = output;
    return 0;
}

}  // namespace quillon
