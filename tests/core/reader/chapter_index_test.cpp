#include "core/reader/chapter_index.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

const ChapterRules& ShippedRules() {
    static const ChapterRules rules = [] {
        std::string text;
        EXPECT_TRUE(
            ReadWholeFile(std::string(QUILLON_TEST_DATA) + "/../../data/chapter_rules.txt", text));
        return ChapterRules::Parse(text);
    }();
    return rules;
}

std::vector<std::string> Titles(const std::vector<Chapter>& chapters) {
    std::vector<std::string> out;
    for (const Chapter& c : chapters) out.push_back(GbkToUtf8(c.title));
    return out;
}

TEST(ChapterRules, ShippedRulesCompile) {
    const ChapterRules& rules = ShippedRules();
    EXPECT_TRUE(rules.invalid().empty()) << rules.invalid().front();
    EXPECT_EQ(rules.size(), 6u);
}

// Real heading styles of web novels, each on its own line amid prose, and
// lines that only look like them.
TEST(FindChapters, RecognisesTheCommonHeadingStyles) {
    struct Case {
        const char* line;
        bool heading;
    };
    const Case cases[] = {
        {"第一章 初入江湖", true},
        {"第12回 风云再起", true},
        {"第三百零五章：决战紫禁之巅", true},
        {"第二卷", true},
        {"第十集 归来", true},
        {"第１２章　夜雨", true},
        {"第一章初入江湖", true},
        {"楔子", true},
        {"序章 风起", true},
        {"番外一 旧事", true},
        {"后记：写在最后", true},
        {"尾声", true},
        {"Chapter 12", true},
        {"CHAPTER XII", true},
        {"Chapter 3: The Road", true},
        {"1、出山", true},
        {"12. 夜雨", true},
        {"一、缘起", true},
        {"1.1. 本 FAQ 文档是什么？", true},
        {"12.3.4. 安装软件包", true},
        {"2.5 倍", false},
        {"第一章的内容我们已经讲过了，现在来讲第二章，这一次的故事要长得多，足足超过了四十个字才结"
         "束。",
         false},
        {"第一次见面，他就说了谎。", false},
        {"序言里说得明白", false},
        {"3.14", false},
        {"Chapters of life", false},
        {"他说：第一章", false},
        {"2024年的春天", false},
    };
    std::string book = "  Some prose first.\r\n";
    for (const Case& c : cases)
        book += Gbk("　　他走了很远的路，终于到了。") + "\r\n" + Gbk(c.line) + "\r\n";
    std::vector<std::string> expected;
    for (const Case& c : cases)
        if (c.heading) expected.push_back(c.line);
    const std::vector<Chapter> found = FindChapters(book, ShippedRules());
    EXPECT_EQ(Titles(found), expected);
    // The literal pre-filter never loses a heading the rules alone find.
    FindChaptersOptions every;
    every.tryEveryLine = true;
    EXPECT_EQ(FindChapters(book, ShippedRules(), every), found);
}

TEST(FindChapters, OffsetsAreLineStartsAndIndentationIsIgnored) {
    const std::string first = Gbk("　　第一章　出发　　") + "\r\n";
    const std::string prose = Gbk("正文。") + "\n";
    const std::string book = first + prose + "\t  Chapter 2  \n" + prose + Gbk("第二章");
    const std::vector<Chapter> found = FindChapters(book, ShippedRules());
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0], (Chapter{0, Gbk("第一章　出发")}));
    EXPECT_EQ(found[1], (Chapter{static_cast<int32_t>(first.size() + prose.size()), "Chapter 2"}));
    EXPECT_EQ(found[2].offset, static_cast<int32_t>(book.size() - 6));
    EXPECT_EQ(CurrentChapter(found, 0), 0);
    EXPECT_EQ(CurrentChapter(found, found[1].offset - 1), 0);
    EXPECT_EQ(CurrentChapter(found, found[1].offset), 1);
    EXPECT_EQ(CurrentChapter(found, 1 << 20), 2);
    EXPECT_EQ(CurrentChapter({}, 5), -1);

    // Forty characters make a heading, forty-one do not.
    const std::string forty = "Chapter 1 " + std::string(30, 'x');
    EXPECT_EQ(FindChapters(forty + "\n" + forty + "y\n", ShippedRules()).size(), 1u);
}

TEST(ChapterRules, BadRulesAreSkippedAndNamedOthersStillWork) {
    // A GBK file (an editor's choice) reads as well as UTF-8.
    const ChapterRules rules = ChapterRules::Parse(Gbk("# 说明\n^第(\n\n^卷[一二三]\n^.*完$\n"));
    ASSERT_EQ(rules.invalid().size(), 1u);
    EXPECT_EQ(rules.invalid()[0].rfind("^第(: ", 0), 0u) << rules.invalid()[0];
    EXPECT_EQ(rules.size(), 2u);
    const std::string book = Gbk("卷二\n第(\n正文\n全书完\n卷四\n");
    EXPECT_EQ(Titles(FindChapters(book, rules)), (std::vector<std::string>{"卷二", "全书完"}));
    EXPECT_TRUE(FindChapters(book, ChapterRules::Parse("# nothing\n")).empty());
}

}  // namespace
}  // namespace quillon
