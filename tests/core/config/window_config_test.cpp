#include "core/config/window_config.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "core/config/record_file.h"
#include "support/temp_folder.h"

namespace quillon {
namespace {

using test::TempFolder;

std::string Int32LE(int32_t v) {
    unsigned char b[4];
    PutInt32LE(b, v);
    return std::string(reinterpret_cast<char*>(b), 4);
}

void ExpectDefaults(const WindowConfig& c) {
    EXPECT_EQ(c.left, 0);
    EXPECT_EQ(c.top, 0);
    EXPECT_EQ(c.right, 800);
    EXPECT_EQ(c.bottom, 560);
    EXPECT_EQ(c.browseFolder, "/");
}

TEST(WindowConfig, MissingOrEmptyFileGivesTheDefaults) {
    TempFolder tmp;
    WindowConfig c;
    c.left = 5;
    c.browseFolder = "/elsewhere/";
    c.Load(tmp.path() + "gconfig.dat");
    ExpectDefaults(c);
    c.left = 5;
    c.Load(tmp.Write("empty.dat", ""));
    ExpectDefaults(c);
}

TEST(WindowConfig, SixteenByteFileMovesTheWindowAndKeepsTheFolder) {
    TempFolder tmp;
    WindowConfig c;
    c.Load(tmp.Write("gconfig.dat", Int32LE(-10) + Int32LE(20) + Int32LE(1010) + Int32LE(740)));
    EXPECT_EQ(c.left, -10);
    EXPECT_EQ(c.top, 20);
    EXPECT_EQ(c.right, 1010);
    EXPECT_EQ(c.bottom, 740);
    EXPECT_EQ(c.browseFolder, "/");
}

TEST(WindowConfig, ShortFileKeepsTheFieldsItDoesNotReach) {
    TempFolder tmp;
    WindowConfig c;
    // Six bytes: all of left, half of top over top's default (zero).
    c.Load(tmp.Write("gconfig.dat", Int32LE(7) + std::string("\x01\x00", 2)));
    EXPECT_EQ(c.left, 7);
    EXPECT_EQ(c.top, 1);
    EXPECT_EQ(c.right, 800);
    EXPECT_EQ(c.bottom, 560);
}

TEST(WindowConfig, SavesExactly520BytesInTheFixedLayout) {
    TempFolder tmp;
    WindowConfig c;
    c.left = -3;
    c.top = 4;
    c.right = 1920;
    c.bottom = 1080;
    c.browseFolder = "/home/reader/\xE5\xB0\x8F\xE8\xAF\xB4/";  // 小说
    std::string path = tmp.path() + "gconfig.dat";
    ASSERT_TRUE(c.Save(path));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    ASSERT_EQ(bytes.size(), 520u);
    EXPECT_EQ(bytes.substr(0, 16), Int32LE(-3) + Int32LE(4) + Int32LE(1920) + Int32LE(1080));
    std::string folder = c.browseFolder;
    EXPECT_EQ(bytes.substr(16, folder.size()), folder);
    EXPECT_EQ(bytes.substr(16 + folder.size()), std::string(504 - folder.size(), '\0'));

    WindowConfig back;
    back.Load(path);
    EXPECT_EQ(back.left, -3);
    EXPECT_EQ(back.top, 4);
    EXPECT_EQ(back.right, 1920);
    EXPECT_EQ(back.bottom, 1080);
    EXPECT_EQ(back.browseFolder, folder);
}

TEST(WindowConfig, FolderFieldIsBounded) {
    TempFolder tmp;
    // No terminator anywhere in the folder field, and bytes beyond 520.
    std::string bytes = Int32LE(1) + Int32LE(2) + Int32LE(3) + Int32LE(4) + std::string(504, 'f') +
                        "trailing junk";
    WindowConfig c;
    c.Load(tmp.Write("gconfig.dat", bytes));
    EXPECT_EQ(c.right, 3);
    EXPECT_EQ(c.browseFolder, std::string(504, 'f'));

    // A folder too long for the field is cut so that the terminator fits.
    c.browseFolder = "/" + std::string(600, 'g');
    std::string path = tmp.path() + "long.dat";
    ASSERT_TRUE(c.Save(path));
    EXPECT_EQ(FileSize(path), 520);
    WindowConfig back;
    back.Load(path);
    EXPECT_EQ(back.browseFolder, c.browseFolder.substr(0, 503));

    // A UTF-8 path is cut before the three-byte character that would not fit
    // whole: 501 bytes, then "小" would need 502..504.
    c.browseFolder = "/" + std::string(500, 'g') + "\xE5\xB0\x8F";
    ASSERT_TRUE(c.Save(path));
    back.Load(path);
    EXPECT_EQ(back.browseFolder, c.browseFolder.substr(0, 501));
}

TEST(RecordFile, StringFieldsNeverSplitATwoByteCharacter) {
    unsigned char field[5];
    PutCString(field, sizeof field, "ab\xC4\xE3" "c");
    EXPECT_EQ(GetCString(field, sizeof field), "ab\xC4\xE3");
    PutCString(field, sizeof field, "abc\xC4\xE3");
    EXPECT_EQ(GetCString(field, sizeof field), "abc") << "the character does not fit";
    EXPECT_EQ(field[3], 0);
    EXPECT_EQ(field[4], 0);
    PutCString(field, sizeof field, "x\xC4");  // a lead byte without its trail
    EXPECT_EQ(GetCString(field, sizeof field), "x");
}

TEST(RecordFile, IntegersAreLittleEndianAndSigned) {
    unsigned char b[4];
    PutInt32LE(b, 0x12345678);
    EXPECT_EQ(b[0], 0x78);
    EXPECT_EQ(b[3], 0x12);
    PutInt32LE(b, -2);
    EXPECT_EQ(GetInt32LE(b), -2);
    EXPECT_EQ(b[0], 0xFE);
    EXPECT_EQ(b[3], 0xFF);
}

TEST(RecordFile, LoadReadsAtMostTheRecordSize) {
    TempFolder tmp;
    unsigned char rec[4] = {9, 9, 9, 9};
    EXPECT_EQ(LoadRecordBytes(tmp.path() + "missing", rec, sizeof rec), 0u);
    EXPECT_EQ(rec[0], 9);
    EXPECT_EQ(LoadRecordBytes(tmp.Write("r.dat", "ab"), rec, sizeof rec), 2u);
    EXPECT_EQ(rec[0], 'a');
    EXPECT_EQ(rec[2], 9);
    EXPECT_EQ(LoadRecordBytes(tmp.Write("r.dat", "abcdefgh"), rec, sizeof rec), 4u);
    EXPECT_EQ(rec[3], 'd');
    ASSERT_TRUE(SaveRecordBytes(tmp.path() + "s.dat", rec, sizeof rec));
    EXPECT_EQ(FileSize(tmp.path() + "s.dat"), 4);
    EXPECT_FALSE(SaveRecordBytes(tmp.path() + "no/such/s.dat", rec, sizeof rec));
}

}  // namespace
}  // namespace quillon
