#include "core/config/tag_file.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace quillon {
namespace {

using test::TempFolder;

// What the three readers make of the value of "[MAIN_URL]" in one file.
struct Lookup {
    std::string tagFile;  // TagFile::GetValue
    bool rawFound = false;
    std::string raw;  // RawTagReader::FindKey + NextValue
};

Lookup LookUpMainUrl(const std::string& text) {
    TempFolder tmp;
    std::string path = tmp.Write("main.htm", text);
    Lookup r;
    TagFile tags;
    EXPECT_EQ(tags.Open(path), 0);
    r.tagFile = tags.GetValue("[MAIN_URL]");
    RawTagReader raw;
    EXPECT_EQ(raw.Open(path), 0);
    std::string line;
    r.rawFound = raw.FindKey("[MAIN_URL]", line) == 0 && raw.NextValue(line) == 0;
    if (r.rawFound) r.raw = line;
    return r;
}

TEST(TagFile, KeyAndValueVariantsAcrossTheReaders) {
    struct Case {
        const char* name;
        std::string text;
        std::string tagFile;
        bool rawFound;
        std::string raw;
    };
    const Case cases[] = {
        {"plain", "[MAIN_URL]\r\nhttp://a/\r\n", "http://a/", true, "http://a/"},
        {"key in lower case", "[main_url]\r\nhttp://a/\r\n", "http://a/", true, "http://a/"},
        {"spaces around the key: TagFile only", "  [MAIN_URL]  \r\nhttp://a/\r\n", "http://a/",
         false, ""},
        {"key followed by text: RawTagReader only", "[MAIN_URL] old\r\nhttp://a/\r\n", "", true,
         "http://a/"},
        {"value trimmed by TagFile only", "[MAIN_URL]\r\n \t http://a/  \r\n", "http://a/", true,
         " \t http://a/  "},
        {"comments and blank lines before the value",
         "[MAIN_URL]\r\n// first\r\n//second\r\n\r\n\r\nhttp://a/\r\n", "http://a/", true,
         "http://a/"},
        {"single slash is not a comment", "[MAIN_URL]\r\n/x\r\n", "/x", true, "/x"},
        {"indented comment: a comment once trimmed", "[MAIN_URL]\r\n  // c\r\nhttp://a/\r\n",
         "http://a/", true, "  // c"},
        {"CR-only line breaks", "x\r[MAIN_URL]\rhttp://a/\r", "http://a/", true, "http://a/"},
        {"LF-only line breaks", "x\n[MAIN_URL]\nhttp://a/", "http://a/", true, "http://a/"},
        {"mixed runs of breaks", "x\n\r\r\n[MAIN_URL]\n\n\r\rhttp://a/", "http://a/", true,
         "http://a/"},
        {"key without a value", "[MAIN_URL]\r\n// only a comment\r\n", "", false, ""},
        {"key on the last line", "[MAIN_URL]", "", false, ""},
        {"key missing", "[OTHER]\r\nx\r\n", "", false, ""},
        {"empty file", "", "", false, ""},
        {"first of two", "[MAIN_URL]\r\none\r\n[MAIN_URL]\r\ntwo\r\n", "one", true, "one"},
        {"GBK value", "[MAIN_URL]\r\n\xC4\xE3\xBA\xC3\r\n", "\xC4\xE3\xBA\xC3", true,
         "\xC4\xE3\xBA\xC3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lookup got = LookUpMainUrl(c.text);
        EXPECT_EQ(got.tagFile, c.tagFile);
        EXPECT_EQ(got.rawFound, c.rawFound);
        EXPECT_EQ(got.raw, c.raw);
    }
}

TEST(TagFile, TextEndsAtTheFirstNul) {
    TempFolder tmp;
    std::string path =
        tmp.Write("main.htm", std::string("[A]\r\none\0[B]\r\ntwo\r\n[C]\r\nthree", 30));
    TagText text;
    ASSERT_EQ(text.Load(path), 0);
    EXPECT_EQ(text.text(), "[A]\r\none");
    TagFile tags;
    ASSERT_EQ(tags.Open(path), 0);
    EXPECT_EQ(tags.GetValue("[A]"), "one");
    EXPECT_EQ(tags.GetValue("[B]"), "");
    EXPECT_EQ(tags.GetValue("[C]"), "");
    // The raw reader stops there too.
    RawTagReader raw;
    ASSERT_EQ(raw.Open(path), 0);
    std::string line;
    EXPECT_EQ(raw.FindKey("[B]", line), 1);
}

TEST(TagFile, NextLineSplitsAtRunsOfLineBreaks) {
    TagText text;
    text.SetText("\r\nfirst\r\n\r\n\n second \rthird");
    std::vector<std::string> lines;
    std::string line;
    while (text.NextLine(line) == 0) lines.push_back(line);
    // Only a break at the very start gives an empty line.
    EXPECT_EQ(lines, (std::vector<std::string>{"", "first", "second", "third"}));
    line = "unchanged";
    EXPECT_EQ(text.NextLine(line), 1);
    EXPECT_EQ(line, "unchanged");

    RawTagReader raw;
    raw.SetText("\nfirst\r\n\r\n second \rthird");
    std::vector<std::string> rawLines;
    while (raw.ReadLine(line) == 0) rawLines.push_back(line);
    EXPECT_EQ(rawLines, (std::vector<std::string>{"", "first", " second ", "third"}));
}

TEST(TagFile, TextWithoutLineBreaksIsOneLine) {
    TagText text;
    text.SetText("[MAIN_URL]");
    std::string line;
    EXPECT_EQ(text.FindLine("[main_url]", line), 0);
    EXPECT_EQ(text.NextValue(line), 1);
}

TEST(TagFile, TenMegabyteLineIsReadWhole) {
    TempFolder tmp;
    std::string big(10 << 20, 'v');
    std::string path = tmp.Write("main.htm", "[BIG]\r\n" + big + "\r\n[NEXT]\r\nafter");
    TagFile tags;
    ASSERT_EQ(tags.Open(path), 0);
    EXPECT_EQ(tags.GetValue("[BIG]").size(), big.size());
    EXPECT_EQ(tags.GetValue("[NEXT]"), "after");
    RawTagReader raw;
    ASSERT_EQ(raw.Open(path), 0);
    std::string line;
    ASSERT_EQ(raw.FindKey("[BIG]", line), 0);
    ASSERT_EQ(raw.NextValue(line), 0);
    EXPECT_EQ(line.size(), big.size());
    ASSERT_EQ(raw.FindKey("[NEXT]", line), 0);
    ASSERT_EQ(raw.NextValue(line), 0);
    EXPECT_EQ(line, "after");
}

TEST(TagFile, SequentialLookupsNeedTheFileOrder) {
    TagText text;
    text.SetText("[A]\r\n1\r\n[B]\r\n2\r\n");
    std::string line;
    ASSERT_EQ(text.FindLine("[B]", line), 0);
    ASSERT_EQ(text.NextValue(line), 0);
    EXPECT_EQ(line, "2");
    // [A] lies behind the cursor: not found, and the cursor is at the end.
    EXPECT_EQ(text.FindLine("[A]", line), 1);
    EXPECT_EQ(text.cursor(), text.text().size());
    text.Rewind();
    EXPECT_EQ(text.FindLine("[A]", line), 0);

    RawTagReader raw;
    raw.SetText("[A]\r\n1\r\n[B]\r\n2\r\n");
    ASSERT_EQ(raw.FindKey("[B]", line), 0);
    EXPECT_EQ(raw.FindKey("[A]", line), 1);
    raw.Rewind();
    EXPECT_EQ(raw.FindKey("[A]", line), 0);

    // TagFile rewinds for every lookup.
    TagFile tags;
    tags.SetText("[A]\r\n1\r\n[B]\r\n2\r\n");
    EXPECT_EQ(tags.GetValue("[B]"), "2");
    EXPECT_EQ(tags.GetValue("[A]"), "1");
}

TEST(TagFile, BlocksEndAtTheExactEndMarkerOrTheCapacity) {
    struct Case {
        const char* name;
        std::string text;
        int capacity;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"plain", "[TAB_BEGIN]\r\n1*a*b*\r\n2*c*d*\r\n[TAB_END]\r\nafter", 10,
         {"1*a*b*", "2*c*d*"}},
        {"comments skipped", "[TAB_BEGIN]\r\n// no\r\n1*a*\r\n//x\r\n[TAB_END]", 10, {"1*a*"}},
        {"lower-case end marker does not end it",
         "[tab_begin]\r\na\r\n[tab_end]\r\nb\r\n[TAB_END]\r\nc", 10, {"a", "[tab_end]", "b"}},
        {"end marker with spaces is trimmed first", "[TAB_BEGIN]\r\na\r\n  [TAB_END] \r\nb", 10,
         {"a"}},
        {"no end marker: to the end of the text", "[TAB_BEGIN]\r\na\r\nb", 10, {"a", "b"}},
        {"capacity", "[TAB_BEGIN]\r\n1\r\n2\r\n3\r\n4\r\n5\r\n[TAB_END]", 3, {"1", "2", "3"}},
        {"empty block", "[TAB_BEGIN]\r\n[TAB_END]\r\nx", 10, {}},
        {"begin key missing", "[OTHER]\r\na\r\n[TAB_END]", 10, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TagFile tags;
        tags.SetText(c.text);
        std::vector<std::string> lines{"left over"};
        EXPECT_EQ(tags.GetBlock("[TAB_BEGIN]", "[TAB_END]", lines, c.capacity),
                  static_cast<int>(c.lines.size()));
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(TagFile, MissingFileFailsEveryLookup) {
    TempFolder tmp;
    std::string missing = tmp.path() + "main.htm";
    TagText text;
    text.SetText("old");
    EXPECT_EQ(text.Load(missing), 1);
    EXPECT_EQ(text.text(), "");
    TagFile tags;
    tags.SetText("[MAIN_URL]\r\nold\r\n");
    EXPECT_EQ(tags.Open(missing), 1);
    EXPECT_EQ(tags.GetValue("[MAIN_URL]"), "");
    std::vector<std::string> lines;
    EXPECT_EQ(tags.GetBlock("[MAIN_URL]", "[END]", lines, 10), 0);
    RawTagReader raw;
    EXPECT_EQ(raw.Open(missing), 1);
    std::string line;
    EXPECT_EQ(raw.ReadLine(line), 1);
    // An empty file opens but has no lines.
    EXPECT_EQ(raw.Open(tmp.Write("empty.htm", "")), 0);
    EXPECT_EQ(raw.ReadLine(line), 1);
    // A folder is not a file.
    EXPECT_NE(raw.Open(tmp.path()), 0);
    EXPECT_EQ(raw.ReadLine(line), 1);
}

TEST(TagFile, AppendedLinesAreSavedWithCrLf) {
    TempFolder tmp;
    TagText log;
    log.AppendLine("first");
    log.AppendLine("\xC4\xE3");
    std::string path = tmp.path() + "update.txt";
    ASSERT_EQ(log.Save(path), 0);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, "first\r\n\xC4\xE3\r\n");
    EXPECT_EQ(log.Save(tmp.path() + "no/such/update.txt"), 1);
}

TEST(TagFile, ProgramWideFileMayBeReloadedWhileRead) {
    TagFile& tags = ProgramTagFile();
    EXPECT_EQ(tags.GetValue("[MAIN_URL]"), "") << "starts empty";
    // A worker reloads while this thread reads; every read sees one whole
    // text or the other.
    std::thread reloader([&tags] {
        for (int i = 0; i < 2000; ++i) {
            tags.SetText(i % 2 ? "[MAIN_URL]\r\nodd\r\n" : "[MAIN_URL]\r\neven\r\n");
        }
    });
    for (int i = 0; i < 2000; ++i) {
        std::string v = tags.GetValue("[MAIN_URL]");
        ASSERT_TRUE(v == "" || v == "odd" || v == "even") << v;
    }
    reloader.join();
    tags.SetText("");
}

TEST(FieldSplitter, FieldsAreThePiecesBeforeEachDelimiter) {
    struct Case {
        std::string text;
        bool trim;
        std::vector<std::string> fields;
    };
    const Case cases[] = {
        {"a*b*c", false, {"a", "b"}},
        {"a*b*c*", false, {"a", "b", "c"}},
        {"*a*", false, {"", "a"}},
        {"**", false, {"", ""}},
        {"abc", false, {}},
        {"", false, {}},
        {" 1 * title *  http://x/ *", true, {"1", "title", "http://x/"}},
        {" 1 * title *", false, {" 1 ", " title "}},
        {"\xC4\xE3*NONE*", false, {"\xC4\xE3", "NONE"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FieldSplitter split;
        EXPECT_EQ(split.Split(c.text, '*', c.trim), static_cast<int>(c.fields.size()));
        EXPECT_EQ(split.fields(), c.fields);
    }
}

TEST(FieldSplitter, OtherDelimitersAndOutOfRangeFields) {
    FieldSplitter split;
    ASSERT_EQ(split.Split("data/a.dat 123 abcdef ", ' ', false), 3);
    EXPECT_EQ(split[0], "data/a.dat");
    EXPECT_EQ(split[2], "abcdef");
    EXPECT_EQ(split[3], "");
    EXPECT_EQ(split[-1], "");
    // A new split forgets the old fields.
    EXPECT_EQ(split.Split("x", ' ', false), 0);
    EXPECT_EQ(split.count(), 0);
    EXPECT_EQ(split[0], "");
}

}  // namespace
}  // namespace quillon
