#include "core/net/update_checker.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/config/tag_file.h"
#include "core/net/md5.h"
#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"
#include "local_servers.h"
#include "update_zip_files.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using net_test::ClosedPort;
using net_test::HttpTestServer;
using net_test::TempFolder;
using net_test::WriteZip;

std::string DigestOf(const std::string& bytes, const std::string& scratch) {
    EXPECT_TRUE(WriteWholeFile(scratch, bytes));
    std::string digest = FileDigest(scratch);
    fs::remove(scratch);
    return digest;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every log line ends with CR LF";
    return lines;
}

class UpdateCheckerTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = tmp_.path() + "prog/";
        fs::create_directories(folder_ + "data");
        auto& svr = http_.server();
        svr.Get("/quillon/main500.asp", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex_);
            queries_.push_back(req.get_param_value("ver"));
            res.set_content(answer_, "text/html");
        });
        svr.Get(R"(/files/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex_);
            std::string name = req.matches[1];
            ++downloads_[name];
            auto it = files_.find(name);
            if (it == files_.end()) {
                res.status = 404;
                res.set_content("<html>missing</html>", "text/html");
                return;
            }
            res.set_content(it->second, "application/octet-stream");
        });
        http_.Start();
    }

    void WriteLocalMain(const std::string& serverValue) {
        ASSERT_TRUE(WriteWholeFile(folder_ + "data/main.htm",
                                   "[MAIN_URL]\r\nabout:blank\r\n// where updates come from\r\n"
                                   "[UPDATE_SERVER_URL]\r\n" +
                                       serverValue + "\r\n[HTML_END]\r\n"));
    }
    std::string Server() const { return http_.Url("/"); }
    std::string FileUrl(const std::string& name) const { return http_.Url("/files/" + name); }
    std::string Digest(const std::string& bytes) { return DigestOf(bytes, tmp_.path() + "scratch"); }

    UpdateOutcome RunChecker() {
        UpdateChecker checker(folder_, 530);
        checker.SetTimeouts(5, 5);
        checker.SetMainFileReplaced([this] { ++replacedCalls_; });
        return checker.Run();
    }
    std::string Read(const std::string& relative) {
        std::string bytes;
        ReadWholeFile(folder_ + relative, bytes);
        return bytes;
    }
    int Downloads(const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex_);
        return downloads_[name];
    }

    TempFolder tmp_;
    std::string folder_;
    HttpTestServer http_;
    std::mutex mutex_;
    std::string answer_;
    std::map<std::string, std::string> files_;
    std::map<std::string, int> downloads_;
    std::vector<std::string> queries_;
    std::atomic<int> replacedCalls_{0};
};

TEST_F(UpdateCheckerTest, ContactsNobodyUnlessAServerIsConfigured) {
    answer_ = "x[HTML_END]";
    // A missing file, a missing key, the shipped value, a key whose value
    // line is the next key, and an address of another scheme.
    EXPECT_EQ(RunChecker(), UpdateOutcome::kDisabled);
    ASSERT_TRUE(WriteWholeFile(folder_ + "data/main.htm", "[MAIN_URL]\r\nabout:blank\r\n"));
    EXPECT_EQ(RunChecker(), UpdateOutcome::kDisabled);
    for (const char* value : {"none", "[HTML_END]", "ftp://127.0.0.1/"}) {
        WriteLocalMain(value);
        EXPECT_EQ(RunChecker(), UpdateOutcome::kDisabled) << value;
    }
    // The tag file the program ships.
    fs::copy_file(std::string(QUILLON_TEST_DATA) + "/../../data/main.htm", folder_ + "data/main.htm",
                  fs::copy_options::overwrite_existing);
    EXPECT_EQ(RunChecker(), UpdateOutcome::kDisabled);
    EXPECT_TRUE(queries_.empty());
    EXPECT_EQ(replacedCalls_, 0);
    EXPECT_FALSE(fs::exists(folder_ + "data/update.txt"));
}

TEST_F(UpdateCheckerTest, AnAnswerWithoutTheEndMarkerPastItsFirstByteChangesNothing) {
    WriteLocalMain(Server());
    std::string before = Read("data/main.htm");
    for (const char* answer : {"[HTML_END]\r\n[MAIN_URL]\r\nhttp://evil/\r\n",
                               "[MAIN_URL]\r\nhttp://cut-short/\r\n", ""}) {
        answer_ = answer;
        EXPECT_EQ(RunChecker(), UpdateOutcome::kNoAnswer) << answer;
        EXPECT_EQ(Read("data/main.htm"), before);
    }
    ASSERT_EQ(queries_.size(), 3u);
    EXPECT_EQ(queries_[0], "530");

    // No server at the address at all.
    WriteLocalMain("http://127.0.0.1:" + std::to_string(ClosedPort()));
    before = Read("data/main.htm");
    EXPECT_EQ(RunChecker(), UpdateOutcome::kNoAnswer);
    EXPECT_EQ(Read("data/main.htm"), before);
    EXPECT_EQ(replacedCalls_, 0);
    EXPECT_FALSE(fs::exists(folder_ + "data/update.txt"));
}

TEST_F(UpdateCheckerTest, AnAnswerWithoutAFileListReplacesMainAndWritesNoLog) {
    WriteLocalMain(Server());
    answer_ = "[MAIN_URL]\r\nhttp://new.example/\r\n[UPDATE_SERVER_URL]\r\n" + Server() +
              "\r\n[HTML_END]\r\n";
    EXPECT_EQ(RunChecker(), UpdateOutcome::kNoFileList);
    EXPECT_EQ(Read("data/main.htm"), answer_);
    EXPECT_EQ(ProgramTagFile().GetValue("[MAIN_URL]"), "http://new.example/");
    EXPECT_EQ(replacedCalls_, 1);
    EXPECT_FALSE(fs::exists(folder_ + "data/update.txt"));
}

TEST_F(UpdateCheckerTest, BringsListedFilesUpToDateAndLogsEachOne) {
    WriteLocalMain(Server());
    const std::string current = "index one\r\n";
    const std::string fresh = "index two, new\r\n";
    const std::string zipped = std::string(30000, 'z') + "end";
    const std::string oldLocal = "old local copy";
    ASSERT_TRUE(WriteWholeFile(folder_ + "data/current.dat", current));
    fs::create_directories(folder_ + "list/taken");
    ASSERT_TRUE(WriteWholeFile(folder_ + "list/kept.dat", oldLocal));
    ASSERT_TRUE(WriteWholeFile(folder_ + "list/upper.dat", oldLocal));

    // The archive's entry is named like the tag file it sits beside.
    std::string zipPath = tmp_.path() + "pack.zip";
    ASSERT_TRUE(WriteZip(zipPath, {{"main.htm", zipped}}));
    std::string zipBytes;
    ASSERT_TRUE(ReadWholeFile(zipPath, zipBytes));
    files_["current.dat"] = current;
    files_["fresh.dat"] = fresh;
    files_["pack.zip"] = zipBytes;
    files_["PACK.ZIP"] = zipBytes;
    files_["tampered.dat"] = "not what the list says";
    files_["taken.dat"] = fresh;

    const std::string deadUrl = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/x.dat";
    // The answer names the server again, or the next start would not ask.
    answer_ = "[MAIN_URL]\r\nhttp://new.example/\r\n[UPDATE_SERVER_URL]\r\n" + Server() +
              "\r\n[FILE_LIST_BEGIN] data files\r\n"
              "// digest path address\r\n" +
              Digest(current) + " data/current.dat " + FileUrl("current.dat") + "\r\n\r\n" +
              Digest(fresh) + "   list\\sub\\fresh.dat\t" + FileUrl("fresh.dat") + " extra\r\n" +
              Digest(zipped) + " list/zipped.dat " + FileUrl("pack.zip") + "\r\n" +
              Digest(zipped) + " list/upper.dat " + FileUrl("PACK.ZIP") + "\r\n" +
              Digest(fresh) + " list/kept.dat " + FileUrl("tampered.dat") + "\r\n" +
              Digest(fresh) + " list/gone.dat " + deadUrl + "\r\n" +
              Digest(fresh) + " ..\\outside.dat " + FileUrl("fresh.dat") + "\r\n" +
              Digest(fresh) + " list/taken " + FileUrl("taken.dat") + "\r\n" +
              "only two\r\n"
              "[FILE_LIST_END]\r\n" +
              Digest(fresh) + " list/after.dat " + FileUrl("fresh.dat") + "\r\n"
              "[HTML_END]\r\n";

    EXPECT_EQ(RunChecker(), UpdateOutcome::kFinished);

    EXPECT_EQ(Read("data/main.htm"), answer_);
    EXPECT_EQ(replacedCalls_, 1);
    EXPECT_EQ(Downloads("current.dat"), 0);
    EXPECT_EQ(Read("list/sub/fresh.dat"), fresh);
    EXPECT_EQ(Read("list/zipped.dat"), zipped);
    EXPECT_EQ(Read("list/upper.dat"), oldLocal);
    EXPECT_EQ(Read("list/kept.dat"), oldLocal);
    EXPECT_FALSE(fs::exists(folder_ + "list/gone.dat"));
    EXPECT_FALSE(fs::exists(tmp_.path() + "outside.dat"));
    EXPECT_TRUE(fs::is_directory(folder_ + "list/taken"));
    EXPECT_FALSE(fs::exists(folder_ + "list/after.dat"));
    EXPECT_EQ(Downloads("fresh.dat"), 1);
    // The working files are gone.
    EXPECT_FALSE(fs::exists(folder_ + "data/data_tmp.dat"));
    EXPECT_FALSE(fs::exists(folder_ + "data/data_tmp.dat.entry"));

    std::vector<std::string> expected = {
        Gbk("检测更新"),
        Gbk("更新文件:list\\sub\\fresh.dat ...."),
        "FileLength:" + std::to_string(fresh.size()),
        Gbk("更新文件:list\\sub\\fresh.dat 成功"),
        Gbk("更新文件:list/zipped.dat ...."),
        "FileLength:" + std::to_string(zipBytes.size()),
        Gbk("更新文件:list/zipped.dat 成功"),
        Gbk("更新文件:list/upper.dat ...."),
        "FileLength:" + std::to_string(zipBytes.size()),
        Gbk("更新文件:list/upper.dat 错误"),
        Gbk("更新文件:list/kept.dat ...."),
        "FileLength:22",
        Gbk("更新文件:list/kept.dat 错误"),
        Gbk("更新文件:list/gone.dat ...."),
        Gbk("更新文件:..\\outside.dat 错误"),
        Gbk("更新文件:list/taken ...."),
        "FileLength:" + std::to_string(fresh.size()),
        Gbk("更新文件:list/taken 错误"),
        Gbk("更新完成"),
    };
    EXPECT_EQ(Lines(Read("data/update.txt")), expected);

    // A second run finds everything it placed up to date.
    EXPECT_EQ(RunChecker(), UpdateOutcome::kFinished);
    EXPECT_EQ(Downloads("fresh.dat"), 1);
    EXPECT_EQ(Downloads("pack.zip"), 1);
    EXPECT_EQ(Downloads("PACK.ZIP"), 2);
}

TEST_F(UpdateCheckerTest, AListWithoutItsEndMarkerRunsToTheEndOfTheText) {
    WriteLocalMain(Server());
    files_["a.dat"] = "aaa";
    files_["b.dat"] = "bbb";
    answer_ = "[HTML_END]\r\n[HTML_END]\r\n[file_list_begin]\r\n" + Digest("aaa") + " list/a.dat " +
              FileUrl("a.dat") + "\r\n// a comment\r\n" + Digest("bbb") + " list/b.dat " +
              FileUrl("b.dat");
    EXPECT_EQ(RunChecker(), UpdateOutcome::kFinished);
    EXPECT_EQ(Read("list/a.dat"), "aaa");
    EXPECT_EQ(Read("list/b.dat"), "bbb");
    std::vector<std::string> log = Lines(Read("data/update.txt"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), Gbk("更新完成"));
}

TEST(UpdateFileListTest, KeepsListedPathsInsideTheProgramFolder) {
    EXPECT_EQ(UpdateDestination("list\\libdata_1.dat"), "list/libdata_1.dat");
    EXPECT_EQ(UpdateDestination("list//./a.dat"), "list/a.dat");
    EXPECT_EQ(UpdateDestination(Gbk("list/书.dat")), "list/书.dat");
    for (const char* unsafe : {"", "/etc/passwd", "\\etc\\passwd", "list/../../x", "..", "list/",
                               "data/data_tmp.dat", "data\\data_tmp.dat.entry", "data/update.txt"})
        EXPECT_EQ(UpdateDestination(unsafe), "") << unsafe;

    UpdateFileEntry e;
    ASSERT_TRUE(ParseFileListLine("0123456789ABCDEFabcdef0123456789 p u tail", e));
    EXPECT_EQ(e.digest, "0123456789abcdefabcdef0123456789");
    EXPECT_EQ(e.path, "p");
    EXPECT_EQ(e.url, "u");
    EXPECT_FALSE(ParseFileListLine("0123456789abcdef0123456789abcdef p", e));
    EXPECT_FALSE(ParseFileListLine(Gbk("本地文件: txt html htm"), e));
    EXPECT_FALSE(ParseFileListLine("0123456789abcdef0123456789abcdeg p u", e));
}

TEST_F(UpdateCheckerTest, WorkerWaitsBeforeAskingAndStopsAtOnceWhenTold) {
    WriteLocalMain(Server());
    answer_ = "x[HTML_END]";
    {
        UpdateWorker worker;
        auto begin = std::chrono::steady_clock::now();
        worker.Start(folder_, 530, UpdateWorker::kStartDelay, [] {});
        std::this_thread::sleep_for(50ms);
        worker.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 2s);
        EXPECT_EQ(worker.Wait(), UpdateOutcome::kStopped);
    }
    EXPECT_TRUE(queries_.empty());

    UpdateWorker worker;
    std::atomic<int> calls{0};
    worker.Start(folder_, 530, 0ms, [&calls] { ++calls; });
    EXPECT_EQ(worker.Wait(), UpdateOutcome::kNoFileList);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Read("data/main.htm"), answer_);
}

TEST(UpdateWorkerTest, StoppingAbandonsATransferThatHangs) {
    TempFolder tmp;
    std::atomic<bool> release{false};
    HttpTestServer http;
    http.server().Get("/quillon/main500.asp", [&release](const httplib::Request&, httplib::Response& res) {
        for (int i = 0; i < 200 && !release; ++i) std::this_thread::sleep_for(50ms);
        res.set_content("x[HTML_END]", "text/html");
    });
    http.Start();
    fs::create_directories(tmp.path() + "data");
    ASSERT_TRUE(WriteWholeFile(tmp.path() + "data/main.htm",
                               "[UPDATE_SERVER_URL]\r\n" + http.Url("") + "\r\n"));
    UpdateWorker worker;
    worker.Start(tmp.path(), 530, 0ms, [] {});
    std::this_thread::sleep_for(300ms);
    auto begin = std::chrono::steady_clock::now();
    worker.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 3s);
    EXPECT_EQ(worker.Wait(), UpdateOutcome::kStopped);
    release = true;
    std::string main;
    ASSERT_TRUE(ReadWholeFile(tmp.path() + "data/main.htm", main));
    EXPECT_EQ(main.find("x[HTML_END]"), std::string::npos);
}

}  // namespace
}  // namespace quillon
