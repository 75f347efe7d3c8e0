#include <cstdlib>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "core/config/record_file.h"
#include "core/downloader/downloader_settings.h"
#include "core/downloader/fetch_limits.h"
#include "core/downloader/safe_file_name.h"
#include "core/downloader/start_addresses.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/gbk_literal.h"
#include "support/temp_folder.h"

namespace quillon {
namespace {

using test::TempFolder;

std::time_t LocalTime(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

TEST(MakeSafeFileNameTest, CutsMarkupAndForbiddenCharacters) {
    const std::time_t now = LocalTime(2024, 1, 2, 3, 4, 5);
    EXPECT_EQ(MakeSafeFileName(Gbk("第1章：开始"), now), Gbk("第1章：开始"));
    EXPECT_EQ(MakeSafeFileName("<b>?</b>", now), "(20240102_030405)");
    EXPECT_EQ(MakeSafeFileName("Vol/1", now), "Vol1");
    EXPECT_EQ(MakeSafeFileName("  <font color=red> a\\b:c*d?e<f>g|h\"i </font>  ", now),
              "abcdeghi");
    // A '<' without '>' cuts to the end; what is left is too short.
    EXPECT_EQ(MakeSafeFileName("x<never closed", now), "x(20240102_030405)");
    EXPECT_EQ(MakeSafeFileName("", now), "(20240102_030405)");
    EXPECT_EQ(MakeSafeFileName("ab", now), "ab");
    // Removal can lay blanks open at the ends; they are trimmed again.
    EXPECT_EQ(MakeSafeFileName("| ab |", now), "ab");
}

TEST(MakeSafeFileNameTest, NeverSplitsATwoByteCharacter) {
    // 亅 is 0x81 0x7C and 圽 is 0x88 0x5C in GBK: their second bytes look like
    // '|' and '\', which only stand alone as ASCII.
    const std::string title = Gbk("亅圽") + "|\\";
    ASSERT_EQ(Gbk("亅圽"), "\x81\x7C\x88\x5C");
    EXPECT_EQ(MakeSafeFileName(title, 0), Gbk("亅圽"));
}

class SettingsFileTest : public ::testing::Test {
protected:
    std::string Path() const { return folder_.path() + "config.dat"; }
    TempFolder folder_;
};

TEST_F(SettingsFileTest, DefaultsWhenThereIsNoFile) {
    // No user-dirs.dirs: the download folder is the home folder.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string savedConfig = config ? config : "";
    setenv("XDG_CONFIG_HOME", folder_.path().c_str(), 1);
    DownloaderSettings s;
    if (config) setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(s.Load(Path()), 0u);
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    std::string expected = std::string(home);
    if (expected.back() != '/') expected += '/';
    EXPECT_EQ(s.saveFolder, expected + "Fetchwell下载的文件/");
    EXPECT_TRUE(s.SavesHtml());
    EXPECT_TRUE(s.SavesTxt());
    EXPECT_FALSE(s.FormatsTxt());
}

TEST_F(SettingsFileTest, StoresThe364ByteRecordAtItsOffsets) {
    DownloaderSettings s;
    s.saveFolder = "/srv/books/";
    s.saveAsHtml = 0;
    s.saveAsTxt = 1;
    s.formatTxt = 1;
    ASSERT_EQ(s.Save(Path()), 0);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(Path(), bytes));
    ASSERT_EQ(bytes.size(), 364u);
    auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    EXPECT_EQ(GetCString(p, 300), "/srv/books/");
    EXPECT_EQ(bytes.find_first_not_of('\0', 11), 304u);  // zeros up to the flags
    EXPECT_EQ(GetInt32LE(p + 300), 0);
    EXPECT_EQ(GetInt32LE(p + 304), 1);
    EXPECT_EQ(GetInt32LE(p + 308), 1);
    EXPECT_EQ(bytes.substr(312), std::string(52, '\0'));

    DownloaderSettings back;
    EXPECT_EQ(back.Load(Path()), 364u);
    EXPECT_EQ(back.saveFolder, "/srv/books/");
    EXPECT_FALSE(back.SavesHtml());
    EXPECT_TRUE(back.FormatsTxt());
}

TEST_F(SettingsFileTest, ShortFileKeepsTheDefaultsOfWhatItLacks) {
    std::string record(300, '\0');
    record.replace(0, 9, "/a/books/");
    ASSERT_TRUE(WriteWholeFile(Path(), record));
    DownloaderSettings s;
    s.saveAsHtml = 1;
    EXPECT_EQ(s.Load(Path()), 300u);
    EXPECT_EQ(s.saveFolder, "/a/books/");
    EXPECT_EQ(s.saveAsHtml, 1);
    EXPECT_EQ(s.saveAsTxt, 1);
    EXPECT_EQ(s.formatTxt, 0);

    // Only the value 1 switches a mode on.
    std::string full(364, '\0');
    PutInt32LE(reinterpret_cast<unsigned char*>(full.data()) + 300, 2);
    ASSERT_TRUE(WriteWholeFile(Path(), full));
    s.Load(Path());
    EXPECT_FALSE(s.SavesHtml());
}

TEST_F(SettingsFileTest, LongFolderIsCutAt255BytesOnACharacterBoundary) {
    DownloaderSettings s;
    s.saveFolder = "/" + std::string(250, 'a') + "下载";  // the second character crosses 255
    ASSERT_EQ(s.Save(Path()), 0);
    DownloaderSettings back;
    back.Load(Path());
    EXPECT_EQ(back.saveFolder, "/" + std::string(250, 'a') + "下");
}

TEST_F(SettingsFileTest, ProgramSettingsLiveInDataUnderTheProgramFolder) {
    SetProgramHomeVariable("FETCHWELL_HOME");
    setenv("FETCHWELL_HOME", folder_.path().c_str(), 1);
    DownloaderSettings s;
    s.saveFolder = "/x/";
    EXPECT_EQ(SaveSettings(s), 0);
    EXPECT_EQ(FileSize(folder_.path() + "data/config.dat"), 364);
    EXPECT_FALSE(FileExists(folder_.path() + "data/config.txt"));
    EXPECT_EQ(LoadSettings().saveFolder, "/x/");
    unsetenv("FETCHWELL_HOME");
}

TEST(StartAddressesTest, KeysAreReadInOrderWithOneReadPosition) {
    TempFolder folder;
    const std::string path = folder.path() + "main.htm";
    ASSERT_TRUE(WriteWholeFile(path, "// c\r\n[TOP_URL]\r\n// note\r\nhttp://top/\r\n"
                                     "[DEFAULT_URL]\r\nhttp://contents/\r\n"));
    StartAddresses a = LoadStartAddresses(path);
    EXPECT_EQ(a.topUrl, "http://top/");
    EXPECT_EQ(a.defaultUrl, "http://contents/");

    // [DEFAULT_URL] before [TOP_URL] is passed over while looking for the
    // latter, so the example address is used.
    ASSERT_TRUE(WriteWholeFile(path, "[DEFAULT_URL]\r\nhttp://contents/\r\n[TOP_URL]\r\nhttp://top/\r\n"));
    a = LoadStartAddresses(path);
    EXPECT_EQ(a.topUrl, "http://top/");
    EXPECT_EQ(a.defaultUrl, kBuiltInDefaultUrl);

    a = LoadStartAddresses(folder.path() + "missing.htm");
    EXPECT_EQ(a.topUrl, kBuiltInTopUrl);
    EXPECT_EQ(a.defaultUrl, kBuiltInDefaultUrl);
}

TEST(StartAddressesTest, ShippedDefaultsPointNowhereOutside) {
    StartAddresses a = LoadStartAddresses(std::string(QUILLON_TEST_DATA) + "/../../fetchwell/data/main.htm");
    EXPECT_EQ(a.topUrl, "about:blank");
    EXPECT_EQ(a.defaultUrl.rfind("http://127.0.0.1", 0), 0u) << a.defaultUrl;
}

TEST(FetchLimits, ValuesReplaceDefaultsOnlyWhenTheyArePositiveNumbers) {
    TempFolder tmp;
    struct Case {
        std::string file;
        long long pageBytes;
        long deadline;
    };
    const long long mib = 1024 * 1024;
    const Case cases[] = {
        {"", 64 * mib, 120},
        {"[MAX_PAGE_MIB]\r\n8\r\n[DEADLINE_SECONDS]\r\n5\r\n", 8 * mib, 5},
        {"[MAX_PAGE_MIB]\r\n4096\r\n", 4096 * mib, 120},  // past 2 GiB and 4 GiB
        {"[MAX_PAGE_MIB]\r\n0\r\n[DEADLINE_SECONDS]\r\n-3\r\n", 64 * mib, 120},
        {"[MAX_PAGE_MIB]\r\n12x\r\n[DEADLINE_SECONDS]\r\n99999999999999999999\r\n", 64 * mib, 120},
    };
    for (const Case& c : cases) {
        const std::string path = tmp.Write("limits.txt", c.file);
        FetchOptions o = LoadFetchLimits(path);
        EXPECT_EQ(o.maxPageBytes, c.pageBytes) << c.file;
        EXPECT_EQ(o.deadlineSeconds, c.deadline) << c.file;
    }
    EXPECT_EQ(LoadFetchLimits(tmp.path() + "missing").maxPageBytes, 64 * mib);
}

}  // namespace
}  // namespace quillon
