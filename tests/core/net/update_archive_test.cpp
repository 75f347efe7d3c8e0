#include "core/net/update_archive.h"

#include <ctime>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"
#include "local_servers.h"
#include "update_zip_files.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using net_test::TempFolder;
using net_test::WriteZip;
using net_test::ZipEntry;

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 % 251);
    return s;
}

TEST(UpdateArchiveTest, UnpacksTheFirstEntryBesideTheArchiveUnderAFixedName) {
    TempFolder tmp;
    // Larger than one read block, with bytes of every value, and an entry
    // name that would leave the folder and one that would hit a settings file.
    std::string first = Pattern(3 * 10240 + 17);
    std::string archive = tmp.path() + "data_tmp.dat";
    ASSERT_TRUE(WriteZip(archive, {{"../gconfig.dat", first}, {"second.txt", "other"}}));
    ASSERT_TRUE(WriteFileAtomically(tmp.path() + "gconfig.dat", "settings"));

    std::string extracted;
    ASSERT_EQ(ExtractFirstEntry(archive, extracted), 0);
    EXPECT_EQ(extracted, archive + ".entry");
    std::string got;
    ASSERT_TRUE(ReadWholeFile(extracted, got));
    EXPECT_EQ(got, first);

    std::string settings;
    ASSERT_TRUE(ReadWholeFile(tmp.path() + "gconfig.dat", settings));
    EXPECT_EQ(settings, "settings");
    EXPECT_FALSE(fs::exists(fs::path(tmp.path()).parent_path().parent_path() / "gconfig.dat"));
    EXPECT_FALSE(fs::exists(tmp.path() + "second.txt"));

    // The stored time travels with the file.
    auto written = fs::last_write_time(extracted);
    auto seconds = std::chrono::system_clock::to_time_t(
        std::chrono::file_clock::to_sys(written));
    std::tm local{};
    localtime_r(&seconds, &local);
    EXPECT_EQ(local.tm_year + 1900, 2009);
    EXPECT_EQ(local.tm_mon, 5);
    EXPECT_EQ(local.tm_mday, 15);
    EXPECT_EQ(local.tm_hour, 12);
    EXPECT_EQ(local.tm_min, 34);
    // And the file is left writable for the copy that replaces it later.
    EXPECT_NE(fs::status(extracted).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(UpdateArchiveTest, EveryBrokenArchiveFailsAndLeavesNoOutput) {
    TempFolder tmp;
    std::string archive = tmp.path() + "data_tmp.dat";
    std::string extracted = "stale";

    // Not an archive at all.
    ASSERT_TRUE(WriteWholeFile(archive, "<html>404 Not Found</html>"));
    EXPECT_EQ(ExtractFirstEntry(archive, extracted), 1);
    EXPECT_EQ(extracted, "");

    // No such file.
    EXPECT_EQ(ExtractFirstEntry(tmp.path() + "missing.zip", extracted), 1);

    // A valid archive without entries.
    ASSERT_TRUE(WriteZip(archive, {}));
    EXPECT_EQ(ExtractFirstEntry(archive, extracted), 1);

    // A folder as the first entry.
    ASSERT_TRUE(WriteZip(archive, {{"list/", ""}, {"list/a.dat", "abc"}}));
    EXPECT_EQ(ExtractFirstEntry(archive, extracted), 1);

    // Damaged data: one byte of a stored entry changed, so only the CRC can
    // tell.
    std::string data(5000, 'q');
    ASSERT_TRUE(WriteZip(archive, {{"a.dat", data, true}}));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(archive, bytes));
    size_t at = bytes.find(data);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 2500] = 'r';
    ASSERT_TRUE(WriteWholeFile(archive, bytes));
    EXPECT_EQ(ExtractFirstEntry(archive, extracted), 1);
    EXPECT_EQ(extracted, "");
    EXPECT_FALSE(fs::exists(archive + ".entry"));
}

}  // namespace
}  // namespace quillon
