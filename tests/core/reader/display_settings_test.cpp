#include "core/reader/display_settings.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../library/temp_home.h"
#include "core/config/record_file.h"
#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

DisplaySettings Changed() {
    DisplaySettings s;
    s.font.height = -40;
    s.font.weight = 700;
    s.font.italic = 1;
    s.font.charSet = 134;
    s.font.pitchAndFamily = 0x31;
    s.font.SetFace(Gbk("楷体"));
    s.textColour = MakeColour(1, 2, 3);
    s.backColour = 0x00123456;
    s.charSpacing = 20;
    s.lineSpacing = 33;
    s.showRowNumbers = 1;
    s.selTextColour = 7;
    s.selBackColour = 8;
    s.extra.showShadow = 0;
    s.extra.shadowDx = -3;
    s.extra.shadowDy = 5;
    s.extra.shadowColour = 0x00010203;
    s.extra.showPicture = 1;
    s.extra.pictureMode = 2;
    s.extra.pictureOrder = 1;
    s.extra.pictures[0] = "a.bmp";
    s.extra.pictures[19] = "last.bmp";
    return s;
}

TEST(DisplaySettingsRecord, DefaultsAndLayout) {
    DisplaySettings d = DisplaySettings::Defaults(96);
    EXPECT_EQ(d.font.height, -29);  // 22 points at 96 dpi, rounded
    EXPECT_EQ(DisplaySettings::Defaults(72).font.height, -22);
    EXPECT_EQ(DisplaySettings::Defaults(120).font.height, -37);
    EXPECT_EQ(d.font.Face(), Gbk("宋体"));
    EXPECT_EQ(d.font.weight, 0);
    EXPECT_EQ(ColourRed(d.textColour), 255);
    EXPECT_EQ(d.selBackColour, MakeColour(0, 0, 255));

    std::string r = Changed().ToRecord();
    ASSERT_EQ(r.size(), 6116u);
    auto at = [&](size_t offset) { return GetInt32LE(reinterpret_cast<const unsigned char*>(r.data()) + offset); };
    EXPECT_EQ(at(0), -40);
    EXPECT_EQ(at(16), 700);
    EXPECT_EQ(static_cast<unsigned char>(r[20]), 1);
    EXPECT_EQ(static_cast<unsigned char>(r[23]), 134);
    EXPECT_EQ(r.substr(28, 5), Gbk("楷体") + '\0');
    EXPECT_EQ(at(60), 0x030201);
    EXPECT_EQ(at(68), 20);
    EXPECT_EQ(at(72), 33);
    EXPECT_EQ(at(88), 0);     // showShadow
    EXPECT_EQ(at(92), -3);    // shadowDx
    EXPECT_EQ(at(108), 2);    // pictureMode
    EXPECT_EQ(at(112), 1);    // pictureOrder
    EXPECT_EQ(r.substr(116, 6), std::string("a.bmp\0", 6));
    EXPECT_EQ(r.substr(116 + 19 * 300, 9), std::string("last.bmp\0", 9));
}

// A new user's first look comes from the shipped record; the built-in
// defaults (for a missing file) stay as they were.
TEST(DisplaySettingsRecord, ShippedRecordIsTheDayLookAtAReadableSize) {
    const std::string shipped = std::string(QUILLON_TEST_DATA) + "/../../data/showcfg3.dat";
    ASSERT_EQ(FileSize(shipped), static_cast<long long>(DisplaySettings::kRecordSize));
    DisplaySettings s;
    s.Load(shipped);
    DisplaySettingsForm day;
    ApplyColourPreset(day, ColourPreset::Day);
    EXPECT_EQ(s.textColour, day.textColour);
    EXPECT_EQ(s.backColour, day.backColour);
    EXPECT_EQ(s.selBackColour, day.selBackColour);
    EXPECT_EQ(s.extra.showShadow, 0);
    EXPECT_EQ(s.font.Face(), Gbk("宋体"));
    // The glyphs fill their cells: a two-byte character spans two columns
    // of charSpacing + 1 pixels, a row is lineSpacing + 1 pixels high.
    const int px = -s.font.height;
    EXPECT_GE(px, 18);
    EXPECT_LE(px, 2 * (s.charSpacing + 1));
    EXPECT_LT(px, s.lineSpacing + 1);
    EXPECT_EQ(DisplaySettings::Defaults(96).textColour, MakeColour(255, 0, 0));
    EXPECT_EQ(DisplaySettings::Defaults(96).backColour, MakeColour(160, 160, 160));
}

class DisplaySettingsFile : public test::TempHome {
protected:
    void SetUp() override {
        test::TempHome::SetUp();
        std::filesystem::create_directories(home_ + "data/bkimg");
    }
};

TEST_F(DisplaySettingsFile, RoundTripsTheWholeRecord) {
    DisplaySettings s = Changed();
    // Bytes after the face's terminator belong to the font record too.
    s.font.faceName[31] = 0x5A;
    ASSERT_TRUE(SaveDisplaySettings(s));
    EXPECT_EQ(FileSize(DisplaySettingsPath()), 6116);
    DisplaySettings back = LoadDisplaySettings();
    EXPECT_EQ(back, s);
    EXPECT_EQ(back.font.faceName[31], 0x5A);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(DisplaySettingsPath(), bytes));
    EXPECT_EQ(bytes, s.ToRecord());
}

TEST_F(DisplaySettingsFile, ShortFileKeepsDefaultsBeyondItsLength) {
    const std::string full = Changed().ToRecord();
    const DisplaySettings defaults = DisplaySettings::Defaults();
    const std::string defaultBytes = defaults.ToRecord();
    for (size_t n : {0u, 2u, 60u, 62u, 64u, 88u, 100u, 116u, 6115u}) {
        ASSERT_TRUE(WriteWholeFile(DisplaySettingsPath(), full.substr(0, n)));
        DisplaySettings loaded = LoadDisplaySettings();
        EXPECT_EQ(loaded.ToRecord(), full.substr(0, n) + defaultBytes.substr(n)) << n;
    }
    // A file of 60 bytes sets the font only.
    ASSERT_TRUE(WriteWholeFile(DisplaySettingsPath(), full.substr(0, 60)));
    DisplaySettings fontOnly = LoadDisplaySettings();
    EXPECT_EQ(fontOnly.font, Changed().font);
    DisplaySettings expected = defaults;
    expected.font = Changed().font;
    EXPECT_EQ(fontOnly, expected);

    std::filesystem::remove(DisplaySettingsPath());
    EXPECT_EQ(LoadDisplaySettings(), defaults);
}

TEST_F(DisplaySettingsFile, LongerFileReadsOnlyTheRecord) {
    ASSERT_TRUE(WriteWholeFile(DisplaySettingsPath(), Changed().ToRecord() + "trailing bytes"));
    EXPECT_EQ(LoadDisplaySettings(), Changed());
}

TEST(ColourText, ParsesLikeTheDialog) {
    struct Case {
        const char* text;
        int red, green, blue;
    };
    const std::vector<Case> cases = {
        {"rgb(10,20,30)", 10, 20, 30},   {"RGB(10,20,30)", 10, 20, 30}, {"10 ,20,30", 10, 0, 0},
        {"300,0,0", 44, 0, 0},           {"", 0, 0, 0},                 {"RGB( 1, 2, 3)", 1, 2, 3},
        {"RGB(5,6", 5, 6, 0},            {"RGB(1,2,3) and more", 1, 2, 3}, {"-1,256,257", 255, 0, 1},
        {"blue", 0, 0, 0},               {"rgb(rgb(7,8,9", 7, 8, 9},    {"99999999999,1,1", 255, 1, 1},
    };
    for (const Case& c : cases) {
        uint32_t colour = ParseColour(c.text);
        EXPECT_EQ(colour, MakeColour(c.red, c.green, c.blue)) << c.text;
    }
    EXPECT_EQ(FormatColour(MakeColour(10, 20, 30)), "RGB(10,20,30)");
    EXPECT_EQ(ParseColour(FormatColour(0x00ABCDEF)), 0x00ABCDEFu);
}

TEST(CollectRules, SpacingAndOffsets) {
    struct Case {
        const char* text;
        int spacing;
        int decimal;
    };
    const std::vector<Case> cases = {{"0", 14, 0},   {"101", 14, 101}, {"abc", 14, 0}, {"100", 100, 100},
                                     {"1", 1, 1},     {"-7", 14, -7},   {" 25px", 25, 25}, {"", 14, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(SpacingFromText(c.text), c.spacing) << c.text;
        EXPECT_EQ(DecimalFromText(c.text), c.decimal) << c.text;
    }
}

TEST_F(DisplaySettingsFile, CollectRebuildsPictureSlotsWithGaps) {
    ASSERT_TRUE(WriteWholeFile(PictureFolder() + "two.bmp", "BM"));
    ASSERT_TRUE(WriteWholeFile(PictureFolder() + "three.bmp", "BM"));
    DisplaySettings start = Changed();
    start.extra.pictures = {};
    start.extra.pictures[0] = "gone.bmp";
    start.extra.pictures[3] = "two.bmp";
    start.extra.pictures[5] = "three.bmp";

    DisplaySettingsForm form = FormFromSettings(start);
    EXPECT_EQ(form.pictures, (std::vector<std::string>{"gone.bmp", "two.bmp", "three.bmp"}));
    EXPECT_EQ(form.charSpacing, "20");
    EXPECT_EQ(form.shadowDx, "-3");
    form.charSpacing = "0";
    form.lineSpacing = "abc";

    DisplaySettings collected = CollectDisplaySettings(form);
    EXPECT_EQ(collected.charSpacing, 14);
    EXPECT_EQ(collected.lineSpacing, 14);
    EXPECT_EQ(collected.extra.shadowDx, -3);
    EXPECT_EQ(collected.font, start.font);
    EXPECT_EQ(collected.extra.pictureMode, 2);
    // The list is packed; a missing file leaves a gap at its list position.
    EXPECT_EQ(collected.extra.pictures[0], "");
    EXPECT_EQ(collected.extra.pictures[1], "two.bmp");
    EXPECT_EQ(collected.extra.pictures[2], "three.bmp");
    for (size_t i = 3; i < 20; ++i) EXPECT_EQ(collected.extra.pictures[i], "") << i;
}

TEST_F(DisplaySettingsFile, AddingAndDeletingPictures) {
    std::string outside = home_ + "Sky.bmp";
    ASSERT_TRUE(WriteWholeFile(outside, "BMsky"));
    RecordingMessenger messenger;
    std::vector<std::string> list;
    ASSERT_TRUE(AddPicture(list, outside, messenger));
    EXPECT_EQ(list, (std::vector<std::string>{"Sky.bmp"}));
    std::string copied;
    ASSERT_TRUE(ReadWholeFile(PictureFolder() + "Sky.bmp", copied));
    EXPECT_EQ(copied, "BMsky");

    // Same name in other letters is refused.
    ASSERT_TRUE(WriteWholeFile(home_ + "SKY.BMP", "other"));
    EXPECT_FALSE(AddPicture(list, home_ + "SKY.BMP", messenger));
    ASSERT_EQ(messenger.entries.size(), 1u);
    EXPECT_EQ(messenger.entries[0].text, Gbk("己存在同名图片文件，如需要重新加入图片，请先将原图片删除。"));

    // A picture already in the folder, picked again, is not destroyed.
    list.clear();
    ASSERT_TRUE(AddPicture(list, PictureFolder() + "Sky.bmp", messenger));
    ASSERT_TRUE(ReadWholeFile(PictureFolder() + "Sky.bmp", copied));
    EXPECT_EQ(copied, "BMsky");

    messenger.entries.clear();
    EXPECT_FALSE(DeletePicture(list, -1, messenger));
    ASSERT_EQ(messenger.entries.size(), 1u);
    EXPECT_EQ(messenger.entries[0].text, Gbk("请先选中要删除的文件"));
    EXPECT_TRUE(DeletePicture(list, 0, messenger));
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(FileExists(PictureFolder() + "Sky.bmp"));
}

TEST_F(DisplaySettingsFile, TwentyFirstPictureIsRefused) {
    std::vector<std::string> list;
    for (int i = 0; i < 20; ++i) list.push_back("p" + std::to_string(i) + ".bmp");
    ASSERT_TRUE(WriteWholeFile(home_ + "new.bmp", "BM"));
    RecordingMessenger messenger;
    EXPECT_FALSE(CanAddPicture(list, messenger));
    EXPECT_FALSE(AddPicture(list, home_ + "new.bmp", messenger));
    EXPECT_EQ(list.size(), 20u);
    ASSERT_EQ(messenger.entries.size(), 2u);
    EXPECT_EQ(messenger.entries[0].text, Gbk("己超过最大的背景图片数了。"));
    EXPECT_FALSE(FileExists(PictureFolder() + "new.bmp"));
    list.pop_back();
    EXPECT_TRUE(CanAddPicture(list, messenger));
}

}  // namespace
}  // namespace quillon
