#include "core/platform/file_io.h"

#include <filesystem>
#include <string>

#include <random>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace quillon {
namespace {

using platform_test::TempFolder;

TEST(FileIo, WholeFileRoundTripKeepsEveryByte) {
    TempFolder tmp;
    std::string path = tmp.path() + "f.bin";
    std::string data("a\0b\r\n\xFF", 6);
    ASSERT_TRUE(WriteWholeFile(path, data));
    std::string back = "left over";
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(back, data);
    EXPECT_EQ(FileSize(path), 6);
    EXPECT_TRUE(FileExists(path));
    EXPECT_FALSE(IsDirectory(path));

    ASSERT_TRUE(WriteWholeFile(path, ""));
    EXPECT_EQ(FileSize(path), 0) << "an existing file is truncated";
}

TEST(FileIo, FailuresAreReported) {
    TempFolder tmp;
    std::string out = "left over";
    EXPECT_FALSE(ReadWholeFile(tmp.path() + "missing", out));
    EXPECT_EQ(out, "");
    out = "left over";
    EXPECT_FALSE(ReadWholeFile(tmp.path(), out)) << "a folder is not a file";
    EXPECT_EQ(out, "");
    EXPECT_FALSE(WriteWholeFile(tmp.path() + "no/such/f", "x"));
    EXPECT_EQ(FileSize(tmp.path() + "missing"), -1);
    EXPECT_TRUE(IsDirectory(tmp.path()));
}

TEST(FileIo, AtomicWriteReplacesWithoutLeavingATemporary) {
    TempFolder tmp;
    std::string path = tmp.path() + "cfg.dat";
    ASSERT_TRUE(WriteWholeFile(path, "old"));
    ASSERT_TRUE(WriteFileAtomically(path, "new contents"));
    std::string back;
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(back, "new contents");
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(tmp.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    EXPECT_FALSE(WriteFileAtomically(tmp.path() + "no/such/cfg.dat", "x"));
}

int EntriesIn(const std::string& folder) {
    int n = 0;
    for (auto& e : std::filesystem::directory_iterator(folder)) {
        (void)e;
        ++n;
    }
    return n;
}

TEST(FileIo, AtomicWriteKeepsPermissionsAndCleansUpOnFailure) {
    TempFolder tmp;
    std::string path = tmp.path() + "private.txt";
    ASSERT_TRUE(WriteWholeFile(path, "old"));
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    for (WriteDurability d : {WriteDurability::kFlushed, WriteDurability::kProcessSafe}) {
        ASSERT_TRUE(WriteFileAtomically(path, "new", d));
        struct stat st{};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }

    // A target that cannot be replaced (a folder): the temporary goes away.
    std::string folder = tmp.path() + "sub";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_TRUE(WriteWholeFile(folder + "/x", "x"));
    EXPECT_FALSE(WriteFileAtomically(folder, "data"));
    EXPECT_EQ(EntriesIn(tmp.path()), 2);

    AtomicFileWriter abandoned;
    ASSERT_TRUE(abandoned.Open(path));
    ASSERT_TRUE(abandoned.Write("half"));
    abandoned.Discard();
    std::string back;
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(back, "new");
    EXPECT_EQ(EntriesIn(tmp.path()), 2);
}

// A saving process killed at any moment leaves the old content or the new,
// never a mixture or a short file.
TEST(FileIo, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
    TempFolder tmp;
    const std::string path = tmp.path() + "record.dat";
    const std::string oldContent(200000, 'o');
    const std::string newContent(300000, 'n');
    std::mt19937 random(12345);
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(WriteFileAtomically(path, oldContent, WriteDurability::kProcessSafe));
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const auto& durability = round % 2 ? WriteDurability::kFlushed : WriteDurability::kProcessSafe;
            for (;;) WriteFileAtomically(path, newContent, durability);
        }
        usleep(std::uniform_int_distribution<useconds_t>(0, 3000)(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        std::string back;
        ASSERT_TRUE(ReadWholeFile(path, back));
        ASSERT_TRUE(back == oldContent || back == newContent) << "round " << round << ": " << back.size();
        (back == oldContent ? sawOld : sawNew)++;
        // What a killed save leaves is its temporary, never the target.
        for (auto& e : std::filesystem::directory_iterator(tmp.path()))
            if (e.path() != path) std::filesystem::remove(e.path());
    }
    // Both outcomes happen, or the kills did not land during saves.
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
}

TEST(FileIo, DeleteFilesWithSuffixKeepsOtherFilesAndFolders) {
    TempFolder tmp;
    std::string t = tmp.path() + "temp";
    ASSERT_EQ(mkdir(t.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((t + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((t + "/folder.html").c_str(), 0755), 0);
    for (const char* name : {"a.html", "b.html", "keep.txt", "keep.htm", "html", "sub/inner.html"}) {
        ASSERT_TRUE(WriteWholeFile(t + "/" + name, "x")) << name;
    }
    // A link to a page elsewhere is not followed.
    std::string outside = tmp.path() + "outside.html";
    ASSERT_TRUE(WriteWholeFile(outside, "x"));
    std::filesystem::create_symlink(outside, t + "/link.html");

    DeleteFilesWithSuffix(t, ".html");

    EXPECT_FALSE(FileExists(t + "/a.html"));
    EXPECT_FALSE(FileExists(t + "/b.html"));
    for (const char* name : {"keep.txt", "keep.htm", "html", "sub/inner.html"}) {
        EXPECT_TRUE(FileExists(t + "/" + name)) << name;
    }
    EXPECT_TRUE(IsDirectory(t + "/sub"));
    EXPECT_TRUE(IsDirectory(t + "/folder.html"));
    EXPECT_TRUE(FileExists(outside));

    DeleteFilesWithSuffix(tmp.path() + "missing", ".html");  // no folder: nothing happens
}

}  // namespace
}  // namespace quillon
