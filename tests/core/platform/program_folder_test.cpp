#include "core/platform/program_folder.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"
#include "temp_folder.h"

namespace quillon {
namespace {

using platform_test::ScopedCwd;
using platform_test::ScopedEnv;
using platform_test::TempFolder;

TEST(EnsureFolders, RelativePathCreatesNothing) {
    TempFolder tmp;
    ScopedCwd keep;
    std::filesystem::current_path(tmp.path());
    EXPECT_EQ(EnsureFolders("a/b/"), 1);
    EXPECT_EQ(EnsureFolders("a\\b\\"), 1);
    EXPECT_EQ(EnsureFolders(""), 1);
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

TEST(EnsureFolders, CreatesEachFolderEndingInASeparator) {
    TempFolder tmp;
    EXPECT_EQ(EnsureFolders(tmp.path() + "a//b/c"), 0);
    EXPECT_TRUE(IsDirectory(tmp.path() + "a"));
    EXPECT_TRUE(IsDirectory(tmp.path() + "a/b"));
    EXPECT_FALSE(FileExists(tmp.path() + "a/b/c")) << "the last name is not a folder";
}

TEST(EnsureFolders, BackSlashesCountAsSeparators) {
    TempFolder tmp;
    EXPECT_EQ(EnsureFolders(tmp.path() + "book\\lable\\"), 0);
    EXPECT_TRUE(IsDirectory(tmp.path() + "book/lable"));
    EXPECT_EQ(EnsureFolders(tmp.path() + "x\\\\y/\\z\\"), 0);
    EXPECT_TRUE(IsDirectory(tmp.path() + "x/y/z"));
    // Running it again over existing folders is harmless.
    EXPECT_EQ(EnsureFolders(tmp.path() + "book/lable/"), 0);
    EXPECT_TRUE(IsDirectory(tmp.path() + "book/lable"));
}

TEST(ProgramFolder, HomeVariableOverridesTheExecutableFolder) {
    TempFolder tmp;
    {
        ScopedEnv home("QUILLON_HOME", "/some/where");
        EXPECT_EQ(GetProgramFolder(), "/some/where/");
    }
    {
        ScopedEnv home("QUILLON_HOME", tmp.path().c_str());
        EXPECT_EQ(GetProgramFolder(), tmp.path());
    }
    {
        ScopedEnv home("QUILLON_HOME", "");
        std::string file = GetProgramFile();
        EXPECT_NE(file.find("test_core_platform"), std::string::npos) << file;
        std::string folder = GetProgramFolder();
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(folder.back(), '/');
        EXPECT_EQ(file.substr(0, folder.size()), folder);
        EXPECT_EQ(file.find('/', folder.size()), std::string::npos);
    }
}

TEST(ProgramFolder, DownloaderUsesItsOwnVariable) {
    ScopedEnv quillon("QUILLON_HOME", "/reader");
    ScopedEnv fetchwell("FETCHWELL_HOME", "/downloader");
    SetProgramHomeVariable("FETCHWELL_HOME");
    std::string seen = GetProgramFolder();
    SetProgramHomeVariable("QUILLON_HOME");
    EXPECT_EQ(seen, "/downloader/");
    EXPECT_EQ(GetProgramFolder(), "/reader/");
}

TEST(ProgramFolder, RelativeHomeStaysTheFolderItNamedAtStart) {
    TempFolder tmp;
    ScopedCwd keep;
    std::filesystem::current_path(tmp.path());
    const std::string start = std::filesystem::current_path().string() + "/";
    {
        ScopedEnv home("QUILLON_HOME", "myhome");
        EXPECT_EQ(EnterProgramFolder(), start + "myhome/");
        EXPECT_EQ(std::filesystem::current_path().string() + "/", start + "myhome/");
        // The current directory has moved; the folder has not.
        EXPECT_EQ(GetProgramFolder(), start + "myhome/");
        EXPECT_EQ(EnsureFolders(GetProgramFolder() + "book/lable/"), 0);
        EXPECT_TRUE(IsDirectory(start + "myhome/book/lable"));
        EXPECT_FALSE(FileExists(start + "myhome/myhome"));
    }
    std::filesystem::current_path(tmp.path());
    {
        ScopedEnv home("QUILLON_HOME", ".");
        EXPECT_EQ(GetProgramFolder(), start);
        EXPECT_EQ(EnsureFolders(GetProgramFolder() + "data/"), 0);
        EXPECT_TRUE(IsDirectory(start + "data"));
    }
}

TEST(ProgramFolder, EnterMakesTheFolderCurrentEvenWhenNew) {
    TempFolder tmp;
    ScopedCwd keep;
    std::string fresh = tmp.path() + "home/";
    ScopedEnv home("QUILLON_HOME", fresh.c_str());
    EXPECT_EQ(EnterProgramFolder(), fresh);
    EXPECT_EQ(std::filesystem::current_path().string() + "/",
              std::filesystem::canonical(fresh).string() + "/");
}

}  // namespace
}  // namespace quillon
