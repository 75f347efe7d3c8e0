// The fetchwell program itself, run as a user runs it: its network and
// traditional-to-simplified libraries are loaded on first use, so these runs
// check that the calls reach them intact.
#include <array>
#include <cstdio>
#include <sys/wait.h>
#include <string>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"
#include "core/text/gbk_codec.h"
#include "support/http_test_server.h"
#include "support/temp_folder.h"

namespace quillon {
namespace {

// Runs a shell command and returns its standard output and exit status.
std::pair<std::string, int> RunShell(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {out, -1};
    std::array<char, 4096> buf;
    while (size_t n = fread(buf.data(), 1, buf.size(), pipe)) out.append(buf.data(), n);
    int status = pclose(pipe);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(FetchwellProgram, ListsLinksOverHttpAndSimplifiesBig5Pages) {
    test::HttpTestServer server;
    server.server().Get("/book/index.html", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(Utf8ToGbk("<html><body><a href=\"1.html\">第一章 起</a>"
                                  "<a href=\"2.html\">第二章 承</a></body></html>"),
                        "text/html");
    });
    server.Start();
    const std::string program = FETCHWELL_BINARY;
    auto [listed, status] = RunShell(program + " --list " + server.Url("/book/index.html") + " 2>&1");
    EXPECT_EQ(status, 0) << listed;
    EXPECT_NE(listed.find("第一章 起\t" + server.Url("/book/1.html")), std::string::npos) << listed;
    EXPECT_NE(listed.find("第二章 承"), std::string::npos) << listed;

    test::TempFolder tmp;
    std::string page = "<html><head><meta charset=big5></head><body>" +
                       ConvertCharset("國語說話", "UTF-8", "BIG5", "?") + "</body></html>";
    ASSERT_TRUE(WriteWholeFile(tmp.path() + "big5.html", page));
    auto [text, textStatus] = RunShell(program + " --html-to-text " + tmp.path() + "big5.html --utf8 2>&1");
    EXPECT_EQ(textStatus, 0) << text;
    EXPECT_NE(text.find("国语说话"), std::string::npos) << text;
}

}  // namespace
}  // namespace quillon
