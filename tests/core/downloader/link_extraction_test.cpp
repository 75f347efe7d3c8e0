#include <cstdint>
#include <string>
#include <vector>

#include <sys/mman.h>

#include <gtest/gtest.h>

#include "core/downloader/html_page_parser.h"
#include "core/downloader/link_resolver.h"
#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

std::string Resolve(std::string_view href, std::string_view page) {
    std::string url = "<untouched>";
    ResolveLink(href, page, url);
    return url;
}

LinkList Extract(std::string page, std::string_view pageUrl) {
    HtmlPageParser parser;
    LinkList links;
    parser.ExtractLinks(page, pageUrl, links);
    return links;
}

TEST(ResolveLinkTest, ResolvesAgainstTheFolderOfThePage) {
    struct Case {
        const char* page;
        const char* href;
        const char* url;
    };
    const std::vector<Case> cases = {
        {"http://host/book/12/index.html", "1.html", "http://host/book/12/1.html"},
        {"http://host/book/12/index.html", "./1.html", "http://host/book/12/1.html"},
        {"http://host/book/12/index.html", "../13/1.html", "http://host/book/13/1.html"},
        {"http://host/book/12/index.html", "/read/1.html", "http://host/read/1.html"},
        {"http://host/book/12/index.html", "1.html#top", "http://host/book/12/1.html"},
        {"http://host/book/12/index.html", "http://other/x.html#top", "http://other/x.html#top"},
        {"http://host/book/12/index.html", "HTTP://Other/X.html", "HTTP://Other/X.html"},
        {"http://host/book/12/index.html", "www.other/a.html", "http://www.other/a.html"},
        {"http://host/book/12/index.html", "1.html?p=2", "http://host/book/12/1.html?p=2"},
        {"http://host/book/12/index.html", "../../../../x.html", "http://host/x.html"},
        {"http://host/book/12/index.html", "a//b/./c.html", "http://host/book/12/a/b/c.html"},
        {"http://host/book/12", "1.html", "http://host/book/12/1.html"},
        {"http://host/book/12/", "1.html", "http://host/book/12/1.html"},
        {"http://host/list.asp?id=5", "c1.asp", "http://host/c1.asp"},
        {"http://host", "a.html", "http://host/a.html"},
        {"HTTP://HOST/b/", "c.html", "HTTP://HOST/b/c.html"},
        // Other schemes are not recognised and resolve like paths.
        {"http://host/b/", "javascript:void(0)", "http://host/b/javascript:void(0)"},
    };
    for (const Case& c : cases) EXPECT_EQ(Resolve(c.href, c.page), c.url) << c.page << " + " << c.href;
}

TEST(ResolveLinkTest, HttpsWorksExactlyLikeHttp) {
    EXPECT_EQ(Resolve("1.html", "https://host/book/12/index.html"), "https://host/book/12/1.html");
    EXPECT_EQ(Resolve("../13/1.html#x", "HTTPS://host/book/12/"), "HTTPS://host/book/13/1.html");
    EXPECT_EQ(Resolve("/read/1.html", "https://host/book/12/index.html"), "https://host/read/1.html");
    EXPECT_EQ(Resolve("https://other/x.html#top", "http://host/"), "https://other/x.html#top");
    EXPECT_EQ(Resolve("https://other/x.html", "ftp://host/"), "<untouched>");
    // A one-byte host keeps the scheme and host together in both schemes.
    EXPECT_EQ(Resolve("b.html", "https://h/a.html"), "https://h/b.html");
    EXPECT_EQ(Resolve("b.html", "http://h/a.html"), "http://h/b.html");
}

TEST(ResolveLinkTest, FailsWithoutAnHttpPageOrAnHref) {
    std::string url = "kept";
    EXPECT_EQ(ResolveLink("1.html", "ftp://host/a/", url), 1);
    EXPECT_EQ(ResolveLink("1.html", "host/a/", url), 1);
    EXPECT_EQ(ResolveLink("", "http://host/a/", url), 1);
    EXPECT_EQ(url, "kept");
    EXPECT_EQ(ResolveLink("1.html", "http://host/a/", url), 0);
    EXPECT_EQ(url, "http://host/a/1.html");
}

TEST(SplitUrlPathTest, FoldsDotsAndKeepsTheLastSegmentAsItIs) {
    std::vector<std::string> segments;
    int count = kMaxUrlSegments;
    SplitUrlPath("http://host/a//./b/../c/..", segments, count);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(segments, (std::vector<std::string>{"http://host", "a", "c", ".."}));

    count = kMaxUrlSegments;
    SplitUrlPath("http://host", segments, count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(segments[0], "http://host");

    count = kMaxUrlSegments;
    SplitUrlPath("https://host/x/", segments, count);
    EXPECT_EQ(segments, (std::vector<std::string>{"https://host", "x", ""}));

    // ".." never removes the host.
    count = kMaxUrlSegments;
    SplitUrlPath("http://host/../../x", segments, count);
    EXPECT_EQ(segments, (std::vector<std::string>{"http://host", "x"}));

    // The capacity bounds the segments; the rest of the path is dropped.
    count = 3;
    SplitUrlPath("http://host/a/b/c/d", segments, count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(segments, (std::vector<std::string>{"http://host", "a", "b"}));
}

TEST(TagAttributesTest, ParsesQuotedBareAndMissingValues) {
    TagAttributes a;
    a.Parse(" HREF = 'x y.html' title=\"T\" data=bare checked name=\"open>");
    std::string v;
    EXPECT_EQ(a.Get("href", v), 0);
    EXPECT_EQ(v, "x y.html");
    EXPECT_EQ(a.Get("TITLE", v), 0);
    EXPECT_EQ(v, "T");
    EXPECT_EQ(a.Get("data", v), 0);
    EXPECT_EQ(v, "bare");
    EXPECT_EQ(a.Get("checked", v), 0);
    EXPECT_EQ(v, "");
    // An unclosed quote runs to the end of the text.
    EXPECT_EQ(a.Get("name", v), 0);
    EXPECT_EQ(v, "open>");
    v = "stale";
    EXPECT_EQ(a.Get("src", v), 1);
    EXPECT_EQ(v, "");

    // The closing '>' stores empty pairs until the table is full.
    a.Parse(" href=\"1.html\">");
    EXPECT_EQ(a.pairs().size(), TagAttributes::kMaxPairs);
    EXPECT_EQ(a.pairs()[0], (std::pair<std::string, std::string>{"href", "1.html"}));
    EXPECT_EQ(a.pairs()[1], (std::pair<std::string, std::string>{"", ""}));
}

TEST(ExtractLinksTest, ListsEveryAnchorInDocumentOrderWithRawTitles) {
    const std::string page = "<html><body>"
                             "<A HREF=\"1.html\"><b>" + Gbk("第一章") + "</b></A>\r\n"
                             "<a href='2.html'> two <i>x</i> </a>"
                             "<a name=top>no address</a>"
                             "<a href=\"1.html\">again</a>"
                             "<a href=3.html>outer <a href=4.html>inner</a> tail</a>"
                             "</body></html>";
    LinkList links = Extract(page, "http://host/book/12/index.html");
    ASSERT_EQ(links.size(), 5u);
    EXPECT_EQ(links[0].url, "http://host/book/12/1.html");
    EXPECT_EQ(links[0].title, "<b>" + Gbk("第一章") + "</b>");
    // Blanks before the closing tag go when a tag precedes them.
    EXPECT_EQ(links[1].title, " two <i>x</i>");
    EXPECT_EQ(links[2].url, "");
    EXPECT_EQ(links[2].title, "no address");
    EXPECT_EQ(links[3].url, "http://host/book/12/1.html");
    // A nested anchor ends the outer title; its own text is not listed.
    EXPECT_EQ(links[4].url, "http://host/book/12/3.html");
    EXPECT_EQ(links[4].title, "outer <a href=4.html>inner");
}

TEST(ExtractLinksTest, AnUnclosedAnchorEndsTheExtraction) {
    LinkList links = Extract("<a href=1.html>one</a><a href=2.html>two", "http://h/x/");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].title, "one");
}

TEST(ExtractLinksTest, BaseTagGivesTheSiteButNotItsPath) {
    LinkList links = Extract("<head><BASE href=\"http://mirror/x/\"></head><a href=1.html>1</a>",
                             "http://host/book/");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].url, "http://mirror/1.html");

    links = Extract("<base href=\"https://secure.mirror/x/\"><a href=\"/r/1.html\">1</a>",
                    "http://host/book/");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].url, "https://secure.mirror/r/1.html");

    // A base without a '/' behind its host is not used.
    links = Extract("<base href=\"http://mirror\"><a href=1.html>1</a>", "http://host/b/");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].url, "http://host/b/1.html");
}

TEST(ExtractLinksTest, PageWithoutHttpAddressListsEmptyAddresses) {
    LinkList links = Extract("<a href=1.html>1</a><a href=http://x/2.html>2</a>", "file:///tmp/");
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].url, "");
    EXPECT_EQ(links[1].url, "");
}

TEST(ExtractLinksTest, Utf8ContentsPageGivesGbkTitles) {
    LinkList links = Extract("<meta charset=\"utf-8\"><a href=1.html>\xE7\xAC\xAC\xE4\xB8\x80</a>",
                             "http://h/b/");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].title, Gbk("第一"));
}

// Offsets into a page are 64-bit: anchors past 2 GiB and 4 GiB keep their
// places and titles. Four gigabytes of text is too slow to scan in the
// unoptimised sanitizer build, which checks the same code on small pages.
TEST(ExtractLinksTest, AnchorsPastTwoAndFourGibKeepTheirTitles) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "too slow without optimisation";
#endif
    std::string page = "<a href=1.html>one</a>";
    page.reserve((size_t{4} << 30) + 100);
    // Huge pages: faulting in 4 GiB page by page costs more than the scan.
    const auto from = (reinterpret_cast<uintptr_t>(page.data()) + (2u << 20) - 1) & ~uintptr_t{(2u << 20) - 1};
    madvise(reinterpret_cast<void*>(from), page.capacity() - (from - reinterpret_cast<uintptr_t>(page.data())),
            MADV_HUGEPAGE);
    for (const char* anchor : {"<a href=2.html>two</a>", "<a href=3.html>three</a>"}) {
        page.resize(page.size() + (size_t{2} << 30), 'x');
        page += anchor;
    }
    LinkList links;
    HtmlPageParser().ExtractLinks(page, "http://h/b/", links);
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[1].url, "http://h/b/2.html");
    EXPECT_EQ(links[1].title, "two");
    EXPECT_EQ(links[2].url, "http://h/b/3.html");
    EXPECT_EQ(links[2].title, "three");
}

}  // namespace
}  // namespace quillon
