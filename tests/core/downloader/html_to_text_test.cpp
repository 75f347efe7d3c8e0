#include "core/downloader/html_page_parser.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/text/byte_string.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

std::string ToText(std::string page) {
    HtmlPageParser parser;
    return parser.HtmlToText(page);
}

TEST(HtmlPageParserTest, NextTagReadsNamesTheWayOldPagesRelyOn) {
    struct Case {
        std::string text;
        std::vector<std::string> tags;  // names of the tags found, in order
    };
    const std::vector<Case> cases = {
        {"< p >", {"p"}},
        {"<BR>", {"br"}},
        {"<br/>", {"br/"}},
        {"<br />", {"br"}},
        {"<DiV class=x>", {"div"}},
        // A '<' in running text opens a "tag" named by the next word.
        {"a < b > c", {"b"}},
    };
    for (const Case& c : cases) {
        HtmlPageParser p;
        p.SetText(c.text);
        std::vector<std::string> found;
        std::string name;
        for (int r; (r = p.NextTag(name)) != HtmlPageParser::kEnd;) {
            if (r == HtmlPageParser::kText) {
                p.SkipText();
            } else {
                found.push_back(name);
                p.SkipTagRest();
            }
        }
        EXPECT_EQ(found, c.tags) << c.text;
    }

    HtmlPageParser p;
    p.SetText("  x<");
    std::string name = "unchanged";
    EXPECT_EQ(p.NextTag(name), HtmlPageParser::kText);
    EXPECT_EQ(p.position(), 2u);  // on the 'x', blanks skipped
    p.SkipText();
    EXPECT_EQ(p.position(), 3u);
    EXPECT_EQ(p.NextTag(name), HtmlPageParser::kEnd);  // '<' with nothing after it
    EXPECT_EQ(name, "unchanged");
}

TEST(HtmlToTextTest, ConvertsPagesByteForByte) {
    struct Case {
        std::string page;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"<html><p>Hello</p></html>", ""},
        {"", ""},
        {"<body>Line1<br>Line2<br/>Line3</body>", "Line1\r\nLine2Line3"},
        {"<body><a href=\"x\">One</a><a href=\"y\">Two</a></body>", "One Two "},
        {"<body>  <p>  text  </p>  </body>", "\r\n  text  \r\n"},
        {"<body>a&nbsp;&nbsp;b &lt;c&gt;</body>", "a  b &lt;c&gt;"},
        {"<body>A&NBSP;B</body>", "A&NBSP;B"},
        {"<body>x<script>var a=1;</script>y</body>", "xy"},
        {"<body>x<script>if(a<b){}</script>y</body>", "xif(ay"},
        {"<body>x<script>never closed", "xnever closed"},
        {"<body>a<!-- note -->b</body>", "ab"},
        {"<BODY><DIV>a</DIV>b</P>c<td>d</td>e<h6>f<li>g</BODY>", "\r\na\r\nb\r\ncdefg"},
        {"<body>1<table><tr>2</tr></table>3</body>", "1\r\n\r\n2\r\n\r\n3"},
        // Every removed element, in capitals too, and the text around them.
        {"<body>a<STYLE>p{}</STYLE>b<select><option>1</select>c<iframe src=x></iframe>d"
         "<noscript>n</noscript>e</body>",
         "abcde"},
        // A '>' inside a quoted attribute ends the tag there.
        {"<body><p title=\"a>b\">t</p></body>", "\r\nb\">t\r\n"},
        // Trailing blanks at the end of the text stay.
        {"<body>x<p>  ", "x\r\n  "},
        // Text before the body tag is not part of the result.
        {"<head><title>T</title></head>skip<body foo>kept", "kept"},
    };
    for (const Case& c : cases) EXPECT_EQ(ToText(c.page), c.text) << c.page;
}

TEST(HtmlToTextTest, CommentCutsEndAtTheFirstGreaterThanAfterTheFirstDoubleDash) {
    std::string t = "a<!-- x -- > y -->b";
    HtmlPageParser::RemoveComments(t);
    EXPECT_EQ(t, "a y -->b");

    // No '<' before "!--": the cut starts at the beginning of the text.
    t = "head !-- c -->tail";
    HtmlPageParser::RemoveComments(t);
    EXPECT_EQ(t, "tail");

    // No "--" after the marker: the rest stays.
    t = "a<!- b <!-- c";
    HtmlPageParser::RemoveComments(t);
    EXPECT_EQ(t, "a<!- b <!-- c");

    // A cut that joins "!-" and "-" makes a new comment marker, which is cut
    // in turn exactly as a fresh scan from the start would.
    t = "x<y!-<!--a-->-- z -->w";
    HtmlPageParser::RemoveComments(t);
    EXPECT_EQ(t, "xw");
}

// RemoveElements as the rule is stated: after every cut, scan again from 0.
void RemoveElementsRescanning(std::string& text, std::string_view open, std::string_view close) {
    for (;;) {
        HtmlPageParser s;
        s.SetText(text);
        std::string name;
        bool cut = false;
        for (;;) {
            int r = s.NextTag(name);
            if (r == HtmlPageParser::kEnd) break;
            if (r == HtmlPageParser::kText) {
                s.SkipText();
                continue;
            }
            if (name != open) {
                s.SkipTagRest();
                continue;
            }
            size_t p = s.position();
            s.SkipTagRest();
            bool closed = false;
            for (;;) {
                s.SkipText();
                r = s.NextTag(name);
                if (r == HtmlPageParser::kEnd) break;
                if (r == HtmlPageParser::kTag && name == close) {
                    closed = true;
                    break;
                }
            }
            if (!closed) return;
            size_t start = text.rfind('<', p);
            size_t end = text.find('>', s.position());
            text.erase(start, end == std::string::npos ? std::string::npos : end - start + 1);
            cut = true;
            break;
        }
        if (!cut) return;
    }
}

TEST(HtmlToTextTest, ElementRemovalMatchesAFullRescanAfterEveryCut) {
    // Random pages built from pieces that make scripts nest, stay open, hide
    // '<' in their code and follow each other without text between them.
    const std::vector<std::string> pieces = {
        "<script>", "</script>", "<SCRIPT src=a>", "< /script >", "x", " ", "<b>", "</b>", "<", ">",
        "if(a<b)", "<p>", "\r\n", "</scriptx>", "<scripts>",
        // A '<' inside a tag: the scan inside an element reads a name there.
        "<a title=\"</script>\">", "<i x=\"<b\" y=\"</SCRIPT \">", "<a<b>", "<x </script"};
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string page;
        int n = 1 + static_cast<int>(rng() % 14);
        for (int i = 0; i < n; ++i) page += pieces[rng() % pieces.size()];
        std::string expected = page;
        RemoveElementsRescanning(expected, "script", "/script");
        std::string got = page;
        HtmlPageParser::RemoveElements(got, "script", "/script");
        ASSERT_EQ(got, expected) << "page: " << page;
    }
}

void RemoveCommentsRescanning(std::string& text);

// HtmlToText as the rule is stated, from the scanner's steps: every cut
// rescans from the start, and the text is gathered tag by tag.
std::string HtmlToTextLiterally(std::string page) {
    ConvertPageCharset(page);
    RemoveCommentsRescanning(page);
    for (const auto& [open, close] : kRemovedElements)
        RemoveElementsRescanning(page, std::string(open), std::string(close));
    HtmlPageParser s;
    s.SetText(page);
    std::string name;
    bool body = false;
    for (int r; !body && (r = s.NextTag(name)) != HtmlPageParser::kEnd;) {
        if (r == HtmlPageParser::kText) {
            s.SkipText();
        } else {
            body = name == "body";
            s.SkipTagRest();
        }
    }
    if (!body) return "";
    std::string out;
    for (;;) {
        size_t f = s.position();
        int r = s.NextTag(name);
        if (r == HtmlPageParser::kEnd) {
            out += page.substr(f);
            break;
        }
        if (r == HtmlPageParser::kText) {
            s.SkipText();
            out += page.substr(f, s.position() - f);
            continue;
        }
        if (name == "/a") {
            out += " ";
        } else if (std::find(kLineBreakTags.begin(), kLineBreakTags.end(), name) !=
                   kLineBreakTags.end()) {
            out += "\r\n";
        }
        s.SkipTagRest();
    }
    return ReplaceAll(out, "&nbsp;", " ");
}

TEST(HtmlToTextTest, WholeConversionMatchesTheRuleAsStated) {
    // Pieces of every kind the conversion treats apart: the body tag, line
    // breaks, anchors, each removed element (closing inside a tag too),
    // comments, blanks between tags, "&nbsp;" split by tags, GBK text.
    const std::vector<std::string> pieces = {"<body>",
                                             "< BODY class=x>",
                                             "<p>",
                                             "</P>",
                                             "<br/>",
                                             "<br >",
                                             "<div>",
                                             "</a>",
                                             "<a href=x>",
                                             "<td>",
                                             "<h1>",
                                             "</table>",
                                             "<script>",
                                             "</script>",
                                             "<style>",
                                             "</STYLE>",
                                             "<select>",
                                             "</select>",
                                             "<iframe src=\"</iframe>\">",
                                             "</iframe>",
                                             "<noscript>",
                                             "</noscript>",
                                             "<!--",
                                             "-->",
                                             "--",
                                             "!",
                                             "<",
                                             ">",
                                             " ",
                                             "\r\n",
                                             "\t",
                                             "x",
                                             "&nbsp;",
                                             "&nb",
                                             "sp;",
                                             "&",
                                             "<a title=\"</script>\">",
                                             "<i x=\"<style\">",
                                             "<a<b>",
                                             "<!-- c -->",
                                             "< ",
                                             "text ",
                                             Gbk("第一章"),
                                             Gbk("，"),
                                             "\x81",
                                             "<scripts>",
                                             "</body>"};
    std::mt19937 rng(2024);
    for (int round = 0; round < 20000; ++round) {
        std::string page;
        int n = 1 + static_cast<int>(rng() % 24);
        for (int i = 0; i < n; ++i) page += pieces[rng() % pieces.size()];
        ASSERT_EQ(ToText(page), HtmlToTextLiterally(page)) << "page: " << page;
    }
    // A parser is reused page after page: nothing of one page reaches the next.
    HtmlPageParser parser;
    for (int round = 0; round < 200; ++round) {
        std::string page;
        for (int i = 0; i < 30; ++i) page += pieces[rng() % pieces.size()];
        std::string copy = page;
        ASSERT_EQ(parser.HtmlToText(copy), HtmlToTextLiterally(page)) << "page: " << page;
    }
}

// RemoveComments as the rule is stated: cut, then search again from 0.
void RemoveCommentsRescanning(std::string& text) {
    for (;;) {
        size_t mark = text.find("!--");
        if (mark == std::string::npos) return;
        size_t lt = mark > 0 ? text.rfind('<', mark - 1) : std::string::npos;
        size_t start = lt == std::string::npos ? 0 : lt;
        size_t dashes = text.find("--", mark + 3);
        if (dashes == std::string::npos) return;
        size_t end = text.find('>', dashes + 2);
        text.erase(start, end == std::string::npos ? std::string::npos : end - start + 1);
    }
}

TEST(HtmlToTextTest, CommentRemovalMatchesAFullRescanAfterEveryCut) {
    const std::vector<std::string> pieces = {"<!--", "-->", "!",   "-",  "--", "<", ">",
                                             "a",    " ",   "<p>", "!-", "<!", "->"};
    std::mt19937 rng(777);
    for (int round = 0; round < 5000; ++round) {
        std::string page;
        int n = 1 + static_cast<int>(rng() % 16);
        for (int i = 0; i < n; ++i) page += pieces[rng() % pieces.size()];
        std::string expected = page;
        RemoveCommentsRescanning(expected);
        std::string got = page;
        HtmlPageParser::RemoveComments(got);
        ASSERT_EQ(got, expected) << "page: " << page;
    }
}

TEST(PageCharsetTest, DeclaredUtf8AndBig5BecomeGbk) {
    const std::string utf8Page =
        "<meta charset=utf-8><body>\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0</body>";  // 第一章
    EXPECT_EQ(ToText(utf8Page), Gbk("第一章"));

    // A gb2312 page is left alone: its GBK bytes come out unchanged.
    std::string gbPage =
        "<meta content=\"text/html; charset=gb2312\"><body>" + Gbk("开始") + "</body>";
    EXPECT_EQ(ToText(gbPage), Gbk("开始"));

    // Big5 with traditional characters comes out as simplified GBK.
    std::string big5 = ConvertCharset("這是開始，傳統漢字。", "UTF-8", "CP950", "?");
    ASSERT_NE(big5, "?");
    std::string big5Page =
        "<META HTTP-EQUIV=Content-Type CONTENT=\"text/html; CHARSET=BIG5\">"
        "<body>" +
        big5 + "</body>";
    EXPECT_EQ(ToText(big5Page), Gbk("这是开始，传统汉字。"));
}

TEST(PageCharsetTest, OnlyTheFirstCharsetWithinNineteenBytesCounts) {
    const std::string word = "\xE5\xAD\x97";  // 字 in UTF-8
    // "utf-8" starting 19 bytes after "charset": converted.
    std::string near = "charset" + std::string(12, ' ') + "utf-8" + word;
    ConvertPageCharset(near);
    EXPECT_EQ(near, "charset" + std::string(12, ' ') + "utf-8" + Gbk("字"));
    // 20 bytes after: left as it is.
    std::string far = "charset" + std::string(13, ' ') + "utf-8" + word;
    std::string before = far;
    ConvertPageCharset(far);
    EXPECT_EQ(far, before);
    // A second "charset" is never looked at.
    std::string second = "charset=x" + std::string(40, ' ') + "charset=utf-8" + word;
    before = second;
    ConvertPageCharset(second);
    EXPECT_EQ(second, before);
    // Letters match in either case, also where a near miss overlaps the word.
    std::string shouted = "CCHARSCharSet=UuTF-8\"UTF-8" + word;
    ConvertPageCharset(shouted);
    EXPECT_EQ(shouted, "CCHARSCharSet=UuTF-8\"UTF-8" + Gbk("字"));
}

TEST(PageCharsetTest, UnmappableAndBrokenInputBecomesOneReplacementEach) {
    // An emoji has no GBK form; a stray continuation byte is invalid UTF-8.
    std::string page =
        "charset=utf-8 a\xF0\x9F\x98\x80"
        "b\x80"
        "c";
    ConvertPageCharset(page);
    EXPECT_EQ(page, "charset=utf-8 a?b?c");
    // The conversion reads up to the first NUL, as the page decoder did.
    std::string withNul = std::string("charset=utf-8 ab\0cd", 19);
    ConvertPageCharset(withNul);
    EXPECT_EQ(withNul, "charset=utf-8 ab");
}

TEST(PageCharsetTest, SpacesGbkLacksBecomeSpacesNotReplacements) {
    // A byte-order mark, then no-break, thin, narrow no-break and zero-width
    // spaces around the words; the full-width space is GBK's own.
    std::string page = "\xEF\xBB\xBF<meta charset=utf-8>第\xC2\xA0" "1\xE2\x80\x89" "章\xE2\x80\xAF" "标题"
                       "\xE2\x80\x8B" "。\xE3\x80\x80";
    ConvertPageCharset(page);
    EXPECT_EQ(page, "<meta charset=utf-8>" + Gbk("第 1 章 标题。　"));
    // A Latin charset named by the header: its no-break space (A0) too.
    std::string latin = "caf\xE9\xA0" "bar";
    ApplyHeaderCharset(latin, "text/html; charset=windows-1252");
    EXPECT_EQ(latin, Gbk("café bar"));
}

TEST(PageCharsetTest, TraditionalMappingIsCharacterByCharacter) {
    // The character table maps each character alone (phrase tables would
    // keep 乾 in 乾隆) and keeps ASCII.
    EXPECT_EQ(MapTraditionalToSimplified(Gbk("後來 abc 頭髮")), Gbk("后来 abc 头发"));
    EXPECT_EQ(MapTraditionalToSimplified(Gbk("乾隆")), Gbk("干隆"));
    EXPECT_EQ(MapTraditionalToSimplified("plain ascii"), "plain ascii");
}

}  // namespace
}  // namespace quillon
