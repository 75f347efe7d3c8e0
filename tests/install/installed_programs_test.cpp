// Installs the build tree into a temporary prefix, as `cmake --install` does
// for a distribution, and checks what a user of the installed programs meets:
// the file layout, valid desktop entries and AppStream data, and programs
// that run from there as an ordinary user with an empty home.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/http_test_server.h"
#include "support/temp_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr uid_t kPlainUser = 65534;  // nobody/nogroup: exists on every Debian system

struct ProcessResult {
    int status = -1;  // exit status; -1 when killed or not started
    bool timedOut = false;
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs `argv` with `env` (the current environment when empty), its output
// caught in files under `scratch`, killed after `limit`.
ProcessResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& scratch,
               std::chrono::seconds limit = std::chrono::seconds(30)) {
    ProcessResult r;
    const std::string outFile = scratch + "run.out", errFile = scratch + "run.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.empty() ? environ : envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        r.err = "cannot start " + argv[0];
        return r;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int wstatus = 0;
    while (waitpid(pid, &wstatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            r.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!r.timedOut && WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    r.out = Slurp(outFile);
    r.err = Slurp(errFile);
    return r;
}

std::string Describe(const ProcessResult& r) {
    return (r.timedOut ? "timed out; " : "status " + std::to_string(r.status) + "; ") + "stdout: " + r.out +
           "\nstderr: " + r.err;
}

class InstalledProgramsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new quillon::test::TempFolder("installed");
        // The plain user must reach the prefix and own its home.
        chmod(root_->path().c_str(), 0755);
        installRun_ = new ProcessResult(RunProgram(
            {CMAKE_COMMAND_PATH, "--install", BUILD_TREE, "--prefix", Prefix()}, {}, root_->path(),
            std::chrono::seconds(120)));
    }
    static void TearDownTestSuite() {
        delete installRun_;
        delete root_;
    }
    void SetUp() override { ASSERT_EQ(installRun_->status, 0) << Describe(*installRun_); }

    static std::string Prefix() { return root_->path() + "prefix"; }
    static std::string Installed(const std::string& relative) { return Prefix() + "/" + relative; }

    // Runs an installed program as a user who is neither root nor the owner
    // of the prefix, with a home of its own and nothing of this environment
    // that points a program at a folder.
    ProcessResult RunAsPlainUser(std::vector<std::string> argv) {
        const std::string home = root_->path() + "home";
        fs::remove_all(home);
        fs::create_directory(home);
        std::vector<std::string> env = {"HOME=" + home,
                                        "PATH=/usr/bin:/bin",
                                        "LANG=C.UTF-8",
                                        "QT_QPA_PLATFORM=offscreen",
                                        "no_proxy=127.0.0.1,localhost",
                                        "NO_PROXY=127.0.0.1,localhost"};
        if (geteuid() == 0) {
            EXPECT_EQ(chown(home.c_str(), kPlainUser, kPlainUser), 0);
            argv.insert(argv.begin(), {"setpriv", "--reuid=" + std::to_string(kPlainUser),
                                       "--regid=" + std::to_string(kPlainUser), "--clear-groups", "--"});
        }
        return RunProgram(argv, env, root_->path());
    }

    static quillon::test::TempFolder* root_;
    static ProcessResult* installRun_;
};

quillon::test::TempFolder* InstalledProgramsTest::root_ = nullptr;
ProcessResult* InstalledProgramsTest::installRun_ = nullptr;

const std::vector<std::string> kAppIds = {"org.quillon.Quillon", "org.quillon.Fetchwell"};

// The value of `key` in a desktop entry's main group.
std::string DesktopValue(const std::string& file, const std::string& key) {
    std::istringstream in(Slurp(file));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return {};
}

TEST_F(InstalledProgramsTest, LaysOutProgramsDefaultsAndDesktopIntegration) {
    std::vector<std::string> programs = {"quillon", "fetchwell"};
    if (HAS_FETCHWELL_GUI) programs.push_back("fetchwell-gui");
    for (const std::string& p : programs) {
        EXPECT_EQ(access(Installed("bin/" + p).c_str(), X_OK), 0) << p;
        EXPECT_TRUE(fs::exists(Installed("share/man/man1/" + p + ".1.gz"))) << p;
    }
    for (const char* f : {"share/quillon/data/main.htm", "share/quillon/list/libdata_1.dat",
                          "share/quillon/fetchwell/data/main.htm", "share/doc/quillon/copyright"}) {
        EXPECT_TRUE(fs::is_regular_file(Installed(f))) << f;
    }
    bool demoBook = false;
    for (const auto& e : fs::directory_iterator(Installed("share/quillon/book"))) {
        demoBook = demoBook || e.path().extension() == ".txt";
    }
    EXPECT_TRUE(demoBook);

    for (const std::string& id : kAppIds) {
        EXPECT_TRUE(fs::exists(Installed("share/icons/hicolor/scalable/apps/" + id + ".svg"))) << id;
        // Panels pick the bitmap of their size by the folder name, so the
        // picture must really have that size (PNG header: width, height).
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            std::string dim = std::to_string(size) + "x" + std::to_string(size);
            std::string png = Slurp(Installed("share/icons/hicolor/" + dim + "/apps/" + id + ".png"));
            ASSERT_GE(png.size(), 24u) << id << " " << dim;
            auto be32 = [&png](size_t at) {
                return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
                       (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
            };
            EXPECT_EQ(be32(16), static_cast<unsigned>(size)) << id << " " << dim;
            EXPECT_EQ(be32(20), static_cast<unsigned>(size)) << id << " " << dim;
        }
        // A menu entry whose program is not installed starts nothing.
        std::string desktop = Installed("share/applications/" + id + ".desktop");
        std::string exec = DesktopValue(desktop, "Exec");
        std::string program = exec.substr(0, exec.find(' '));
        EXPECT_EQ(access(Installed("bin/" + program).c_str(), X_OK), 0) << desktop << ": Exec=" << exec;
        EXPECT_EQ(DesktopValue(desktop, "Icon"), id);
    }
    // File managers offer the reader for text files and pass their paths.
    std::string reader = Installed("share/applications/org.quillon.Quillon.desktop");
    EXPECT_EQ(DesktopValue(reader, "Exec"), "quillon %F");
    EXPECT_EQ(DesktopValue(reader, "MimeType"), "text/plain;");
}

TEST_F(InstalledProgramsTest, DesktopEntriesAndAppStreamDataValidate) {
    ASSERT_STRNE(DESKTOP_FILE_VALIDATE, "") << "desktop-file-validate is missing (desktop-file-utils)";
    ASSERT_STRNE(APPSTREAMCLI, "") << "appstreamcli is missing (appstream)";
    for (const std::string& id : kAppIds) {
        ProcessResult desktop = RunProgram({DESKTOP_FILE_VALIDATE, Installed("share/applications/" + id + ".desktop")}, {},
                                 root_->path());
        EXPECT_EQ(desktop.status, 0) << Describe(desktop);
        EXPECT_EQ(desktop.out, "") << "warnings count as faults";
        ProcessResult meta = RunProgram({APPSTREAMCLI, "validate", "--no-net", Installed("share/metainfo/" + id + ".metainfo.xml")},
                              {}, root_->path());
        EXPECT_EQ(meta.status, 0) << Describe(meta);
    }
    // The whole tree: each metainfo file's launchable names an installed
    // desktop entry.
    ProcessResult tree = RunProgram({APPSTREAMCLI, "validate-tree", "--no-net", Prefix()}, {}, root_->path());
    EXPECT_EQ(tree.status, 0) << Describe(tree);
}

TEST_F(InstalledProgramsTest, ProgramsRunFromThePrefixAsAPlainUser) {
    ProcessResult version = RunAsPlainUser({Installed("bin/quillon"), "--version"});
    EXPECT_EQ(version.status, 0) << Describe(version);
    EXPECT_EQ(version.out.rfind("quillon ", 0), 0u) << Describe(version);

    version = RunAsPlainUser({Installed("bin/fetchwell"), "--version"});
    EXPECT_EQ(version.status, 0) << Describe(version);
    EXPECT_NE(version.out.find("etchwell"), std::string::npos) << Describe(version);

    quillon::test::HttpTestServer server;
    server.server().Get("/novel/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head><body>"
            "<a href=\"1.html\">第一章 开端</a><br><a href=\"/other/2.html\">第二章</a></body></html>",
            "text/html; charset=utf-8");
    });
    server.Start();
    ProcessResult list = RunAsPlainUser({Installed("bin/fetchwell"), "--list", server.Url("/novel/")});
    EXPECT_EQ(list.status, 0) << Describe(list);
    EXPECT_EQ(list.out, "第一章 开端\t" + server.Url("/novel/1.html") + "\n" + "第二章\t" +
                            server.Url("/other/2.html") + "\n")
        << Describe(list);
}

}  // namespace
