#include "core/platform/file_io.h"

#include <filesystem>
#include <string>

#include <sys/stat.h>

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
