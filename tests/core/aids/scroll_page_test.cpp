#include "core/aids/scroll_page.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

ScrollPageContent Content(std::string title, std::string text) {
    ScrollPageContent c;
    c.title = std::move(title);
    c.text = std::move(text);
    return c;
}

TEST(ScrollEscape, TextBecomesInertMarkupWithBreaksAndFixedSpaces) {
    EXPECT_EQ(EscapeScrollText("a < b"), "a&nbsp;&lt;&nbsp;b");
    EXPECT_EQ(EscapeScrollText("x\r\n\r\ny"), "x<br><br>y");
    // Only CR LF pairs are breaks; lone ones stay as they are.
    EXPECT_EQ(EscapeScrollText("a\nb\rc\n\r"), "a\nb\rc\n\r");
    EXPECT_EQ(EscapeScrollText("</p><script>alert(1)</script>"),
              "&lt;/p&gt;&lt;script&gt;alert(1)&lt;/script&gt;");
    // A book that spells out an entity keeps its text.
    EXPECT_EQ(EscapeScrollText("&lt;&amp;"), "&amp;lt;&amp;amp;");
    EXPECT_EQ(EscapeScrollText("\"'"), "&quot;&#39;");
    // GBK characters pass untouched, whatever their trail byte.
    const std::string chinese = Gbk("中国人\\[");
    EXPECT_EQ(EscapeScrollText(chinese), chinese);
}

TEST(ScrollEscape, TitleKeepsSpacesAndBreaksButNotMarkup) {
    EXPECT_EQ(EscapeScrollTitle("a <b>\r\n& c"), "a &lt;b&gt;\r\n&amp; c");
}

TEST(ScrollEscape, FontFamilyCannotLeaveItsCssString) {
    EXPECT_EQ(SanitizeFontFamily("A\"}</style><script>;x\\'\n"), "A/stylescriptx");
    EXPECT_EQ(SanitizeFontFamily(Gbk("宋体")), Gbk("宋体"));
}

TEST(ScrollOptionsTest, ValuesBelowOneTakeDefaultsAndTheScriptCarriesThem) {
    ScrollOptions o{0, -5};
    o.ApplyDefaults();
    EXPECT_EQ(ScrollOptionScript(o), "Quillon_SetOption(100,2)");
    ScrollOptions set{1, 7};
    set.ApplyDefaults();
    EXPECT_EQ(ScrollOptionScript(set), "Quillon_SetOption(1,7)");
}

TEST(ScrollTemplate, FillsEveryOccurrenceOfEveryPlaceholder) {
    EXPECT_EQ(FormatScrollColour(0x001000FF), "#FF0010");
    EXPECT_EQ(FormatScrollColour(0x00ABCDEF), "#EFCDAB");

    ScrollOptions o{250, 3};
    ScrollStyle s;
    s.textColour = 0x001000FF;
    s.backColour = 0x00A0A0A0;
    s.lineHeight = 40;
    ScrollPageContent c = Content("T<1>", "a b\r\nc");
    c.fontSize = 29;
    c.fontFamily = Gbk("宋体");
    const std::string templ =
        "***---SCROLL_SLEEP_TIME---***|***---SCROLL_STEP---***|***---SCROLL_LINE_HEIGHT---***|"
        "***---SCROLL_FONT_SIZE---***|***---SCROLL_FONT_FAMILY---***|***---SCROLL_LINE_HEIGHT---***"
        "|"
        "***---SCROLL_COLOR---***|***---SCROLL_BACKGROUND_COLOR---***|***---SCROLL_HTML_TITLE---***"
        "|"
        "***---SCROLL_HTML_TEXT---***|***---SCROLL_HTML_TEXT---***|***---UNKNOWN---***|****---"
        "SCROLL_STEP---***";
    EXPECT_EQ(
        FillScrollTemplate(templ, o, s, c),
        "250|3|40|29|" + Gbk("宋体") +
            "|40|#FF0010|#A0A0A0|T&lt;1&gt;|a&nbsp;b<br>c|a&nbsp;b<br>c|***---UNKNOWN---***|*3");
}

TEST(ScrollTemplate, PlaceholderNamesInsideTheBookAreNotExpanded) {
    ScrollOptions o{100, 2};
    ScrollPageContent c = Content("***---SCROLL_HTML_TEXT---***",
                                  "***---SCROLL_STEP---*** ***---SCROLL_HTML_TITLE---***");
    EXPECT_EQ(FillScrollTemplate("[***---SCROLL_HTML_TITLE---***][***---SCROLL_HTML_TEXT---***]", o,
                                 {}, c),
              "[***---SCROLL_HTML_TEXT---***][***---SCROLL_STEP---***&nbsp;***---SCROLL_HTML_TITLE-"
              "--***]");
}

class ScrollPageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "quillon_scroll_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        home_ = pattern + "/";
        std::filesystem::create_directories(home_ + "data");
    }
    void TearDown() override { std::filesystem::remove_all(home_); }
    std::string home_;
};

TEST_F(ScrollPageFiles, EachPageTakesTheNextNumberAndGetsDefaults) {
    ASSERT_TRUE(WriteWholeFile(home_ + "data/scroll.html",
                               "<p>***---SCROLL_HTML_TEXT---***</p>***---SCROLL_SLEEP_TIME---***,"
                               "***---SCROLL_STEP---***"));
    const int first = ScrollPageCounter();
    ScrollOptions o{0, -5};
    std::string path;
    ASSERT_EQ(WriteScrollPage(home_, o, {}, Content("t", "a < b"), path),
              ScrollPageResult::Written);
    EXPECT_EQ(path, home_ + "data/tmp/" + std::to_string(first) + ".html");
    std::string page;
    ASSERT_TRUE(ReadWholeFile(path, page));
    EXPECT_EQ(page, "<p>a&nbsp;&lt;&nbsp;b</p>100,2");
    EXPECT_EQ(o.sleepTime, 100);
    EXPECT_EQ(o.step, 2);

    ASSERT_EQ(WriteScrollPage(home_, o, {}, Content("t", "second"), path),
              ScrollPageResult::Written);
    EXPECT_EQ(path, home_ + "data/tmp/" + std::to_string(first + 1) + ".html");
    ASSERT_TRUE(ReadWholeFile(path, page));
    EXPECT_EQ(page, "<p>second</p>100,2");
}

TEST_F(ScrollPageFiles, MissingTemplateAndUnwritablePageAreReported) {
    std::filesystem::remove(home_ + "data/scroll.html");
    ScrollOptions o;
    std::string path = "stale";
    const int before = ScrollPageCounter();
    EXPECT_EQ(WriteScrollPage(home_, o, {}, Content("t", "x"), path), ScrollPageResult::NoTemplate);
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(ScrollPageCounter(), before);

    ASSERT_TRUE(WriteWholeFile(home_ + "data/scroll.html", "x"));
    // A folder where the page file should go cannot be opened as a file.
    std::filesystem::create_directories(home_ + "data/tmp/" + std::to_string(before) + ".html");
    EXPECT_EQ(WriteScrollPage(home_, o, {}, Content("t", "x"), path), ScrollPageResult::NotWritten);
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(ScrollPageCounter(), before + 1);
}

}  // namespace
}  // namespace quillon
