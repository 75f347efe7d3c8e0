// The tag file shipped in data/main.htm, read the way the program reads it.
// Several keys are looked up one after the other without rewinding, so an
// edit that reorders or drops a key silently loses every later setting of
// that series; these tests catch that before a user does.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/config/tag_file.h"
#include "core/platform/file_io.h"
#include "core/text/gbk_codec.h"

namespace quillon {
namespace {

const std::string kShipped = std::string(QUILLON_TEST_DATA) + "/../../data/main.htm";

std::string ShippedText() {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(kShipped, bytes)) << kShipped;
    return bytes;
}

TEST(ShippedTagFile, HoldsEveryKeyTheProgramReads) {
    TagText text;
    ASSERT_EQ(text.Load(kShipped), 0) << kShipped;
    const char* keys[] = {
        "[MAIN_URL]",           "[BUTTON_MAIN_WND]",      "[TAB_BEGIN]",
        "[TAB_END]",            "[BUTTON_TJ]",            "[BUTTON_BBS]",
        "[NEW_URL_BEGIN]",      "[NEW_URL_END]",          "[WELCOME_WIDTH]",
        "[WELCOME_HEIGHT]",     "[TITLE_LOCAL_FILE_PATH]", "[SEARCH_BEGIN]",
        "[SEARCH_END]",         "[AD_HEIGHT2]",           "[NOVEL_TOP_URL2]",
        "[READER_ENGLISH_EXPLAIN]", "[READER_TTS_README]", "[TJ_BEGIN]",
        "[TJ_END]",             "[SEARCH_BOOK_DLG_WIDTH]", "[SEARCH_BOOK_URL]",
        "[SEARCH_BOOK_TITLE]",  "[SEARCH_BOOK_SEARCH_URL]", "[SEARCH_BOOK_SI_URL]",
        "[FILE_LIST_BEGIN]",    "[FILE_LIST_END]",        "[HTML_END]",
    };
    for (const char* key : keys) {
        text.Rewind();
        std::string line;
        EXPECT_EQ(text.FindLine(key, line), 0) << key << " is missing";
    }
}

TEST(ShippedTagFile, IsGbkWithCrLfLines) {
    const std::string bytes = ShippedText();
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
    EXPECT_EQ(GbkToUtf8(bytes).find(kUtf8Replacement), std::string::npos)
        << "a byte sequence that is not GBK (an editor saved it as UTF-8?)";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at byte " << i;
        }
    }
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST(ShippedTagFile, SequentialLookupsFindTheirValues) {
    // The bookshelf reads the welcome size with one running raw reader.
    RawTagReader raw;
    ASSERT_EQ(raw.Open(kShipped), 0);
    std::string width, height;
    ASSERT_EQ(raw.FindKey("[WELCOME_WIDTH]", width), 0);
    ASSERT_EQ(raw.NextValue(width), 0);
    ASSERT_EQ(raw.FindKey("[WELCOME_HEIGHT]", height), 0);
    ASSERT_EQ(raw.NextValue(height), 0);
    EXPECT_GT(std::atoi(width.c_str()), 0) << width;
    EXPECT_GT(std::atoi(height.c_str()), 0) << height;

    // The search page reads four keys in this order without rewinding.
    TagText text;
    ASSERT_EQ(text.Load(kShipped), 0);
    std::vector<std::string> values;
    for (const char* key : {"[SEARCH_BOOK_DLG_WIDTH]", "[SEARCH_BOOK_URL]", "[SEARCH_BOOK_TITLE]",
                            "[SEARCH_BOOK_SEARCH_URL]"}) {
        std::string line;
        ASSERT_EQ(text.FindLine(key, line), 0) << key << " stands before an earlier key";
        ASSERT_EQ(text.NextValue(line), 0) << key << " has no value";
        values.push_back(line);
    }
    EXPECT_EQ(std::atoi(values[0].c_str()), 330);
    EXPECT_FALSE(values[2].empty());

    // Values the program takes as numbers must be numbers; an address line
    // there would read as 0.
    TagFile tags;
    ASSERT_EQ(tags.Open(kShipped), 0);
    const std::string adHeight = tags.GetValue("[AD_HEIGHT2]");
    ASSERT_FALSE(adHeight.empty());
    EXPECT_TRUE(adHeight.find_first_not_of("0123456789") == std::string::npos) << adHeight;
}

TEST(ShippedTagFile, BlocksAreClosedAndValuesAreNotKeys) {
    TagFile tags;
    ASSERT_EQ(tags.Open(kShipped), 0);
    // A block whose end marker went missing would swallow the keys after it.
    const std::pair<const char*, const char*> blocks[] = {
        {"[TAB_BEGIN]", "[TAB_END]"},       {"[NEW_URL_BEGIN]", "[NEW_URL_END]"},
        {"[SEARCH_BEGIN]", "[SEARCH_END]"}, {"[TJ_BEGIN]", "[TJ_END]"},
        {"[FILE_LIST_BEGIN]", "[FILE_LIST_END]"},
    };
    for (const auto& [begin, end] : blocks) {
        std::vector<std::string> lines;
        tags.GetBlock(begin, end, lines, 1000);
        for (const std::string& line : lines) {
            EXPECT_NE(line.front(), '[') << begin << " runs into " << line;
        }
    }
    // A value key whose value line was deleted would take the next key as
    // its value.
    for (const char* key : {"[MAIN_URL]", "[BUTTON_MAIN_WND]", "[BUTTON_TJ]", "[BUTTON_BBS]",
                            "[TITLE_LOCAL_FILE_PATH]", "[NOVEL_TOP_URL2]",
                            "[READER_ENGLISH_EXPLAIN]", "[READER_TTS_README]"}) {
        const std::string value = tags.GetValue(key);
        EXPECT_FALSE(value.empty()) << key;
        if (!value.empty()) {
            EXPECT_NE(value.front(), '[') << key << " has the value " << value;
        }
    }
}

}  // namespace
}  // namespace quillon
