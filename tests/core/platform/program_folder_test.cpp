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

// A fake install tree: <tmp>/prefix/bin/quillon with its defaults in
// <tmp>/prefix/share/quillon/, and a fresh home folder.
class InstalledModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string share = tmp_.path() + "prefix/share/quillon/";
        EnsureFolders(tmp_.path() + "prefix/bin/");
        EnsureFolders(share + "data/");
        EnsureFolders(share + "book/");
        EnsureFolders(share + "fetchwell/data/");
        EnsureFolders(tmp_.path() + "home/");
        WriteWholeFile(share + "data/main.htm", "shipped");
        WriteWholeFile(share + "book/demo.txt", "demo");
        WriteWholeFile(share + "fetchwell/data/config.dat", "fw");
        SetProgramFileOverride(tmp_.path() + "prefix/bin/quillon");
    }
    void TearDown() override {
        SetProgramFileOverride(std::string());
        SetProgramHomeVariable("QUILLON_HOME");
    }
    std::string Home() const { return tmp_.path() + "home/"; }

    TempFolder tmp_;
    ScopedEnv noHome_{"QUILLON_HOME", nullptr};
    ScopedEnv noFetchwellHome_{"FETCHWELL_HOME", nullptr};
    ScopedEnv home_{"HOME", (tmp_.path() + "home").c_str()};
    ScopedEnv noXdg_{"XDG_DATA_HOME", nullptr};
};

TEST_F(InstalledModeTest, FillsThePerUserFolderOnlyWhereFilesAreMissing) {
    std::string folder = Home() + ".local/share/quillon/";
    EXPECT_TRUE(IsInstalledMode());
    EXPECT_EQ(GetProgramFolder(), folder);
    std::string error;
    ASSERT_TRUE(PrepareProgramFolder(error)) << error;
    std::string text;
    ASSERT_TRUE(ReadWholeFile(folder + "book/demo.txt", text));
    EXPECT_EQ(text, "demo");
    ASSERT_TRUE(ReadWholeFile(folder + "fetchwell/data/config.dat", text));

    WriteWholeFile(folder + "data/main.htm", "mine");
    std::filesystem::remove(folder + "book/demo.txt");
    ASSERT_TRUE(PrepareProgramFolder(error)) << error;
    ASSERT_TRUE(ReadWholeFile(folder + "data/main.htm", text));
    EXPECT_EQ(text, "mine");
    EXPECT_TRUE(FileExists(folder + "book/demo.txt"));

    // The downloader keeps its own subfolder, filled from its own defaults.
    SetProgramHomeVariable("FETCHWELL_HOME", "fetchwell/");
    EXPECT_EQ(GetProgramFolder(), folder + "fetchwell/");
    ASSERT_TRUE(PrepareProgramFolder(error)) << error;
    EXPECT_TRUE(FileExists(folder + "fetchwell/data/config.dat"));
    EXPECT_FALSE(FileExists(folder + "fetchwell/book/demo.txt"));
}

TEST_F(InstalledModeTest, PortableWhereTheHomeVariableOrADataFolderSaysSo) {
    ScopedEnv xdg("XDG_DATA_HOME", (tmp_.path() + "xdg").c_str());
    EXPECT_EQ(GetProgramFolder(), tmp_.path() + "xdg/quillon/");
    {
        ScopedEnv relative("XDG_DATA_HOME", "relative/xdg");
        EXPECT_EQ(GetProgramFolder(), Home() + ".local/share/quillon/");
    }
    {
        ScopedEnv home("QUILLON_HOME", (tmp_.path() + "portable").c_str());
        EXPECT_FALSE(IsInstalledMode());
        EXPECT_EQ(GetProgramFolder(), tmp_.path() + "portable/");
    }
    EnsureFolders(tmp_.path() + "prefix/bin/data/");
    EXPECT_FALSE(IsInstalledMode());
    EXPECT_EQ(GetProgramFolder(), tmp_.path() + "prefix/bin/");
}

TEST_F(InstalledModeTest, AFolderThatCannotBeCreatedOrWrittenIsAnError) {
    WriteWholeFile(tmp_.path() + "afile", "x");
    std::string error;
    {
        ScopedEnv xdg("XDG_DATA_HOME", (tmp_.path() + "afile").c_str());
        EXPECT_FALSE(PrepareProgramFolder(error));
        EXPECT_NE(error.find(tmp_.path() + "afile/quillon/"), std::string::npos) << error;
    }
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    // A writable folder whose data/ (the settings) is read-only is refused too.
    std::string locked = tmp_.path() + "portable/data/";
    EnsureFolders(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    ScopedEnv home("QUILLON_HOME", (tmp_.path() + "portable").c_str());
    EXPECT_FALSE(PrepareProgramFolder(error));
    EXPECT_NE(error.find("cannot write in the program folder " + locked), std::string::npos) << error;
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
}

TEST(UserDownloadFolder, FollowsUserDirsElseHome) {
    TempFolder tmp;
    ScopedEnv home("HOME", (tmp.path() + "h").c_str());
    ScopedEnv config("XDG_CONFIG_HOME", tmp.path().c_str());
    const struct {
        const char* file;
        std::string want;
    } cases[] = {
        {nullptr, tmp.path() + "h/"},
        {"# comment\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n", tmp.path() + "h/Downloads/"},
        {"XDG_DOWNLOAD_DIR=\"/srv/dl\"\n", "/srv/dl/"},
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", tmp.path() + "h/"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(tmp.path() + "user-dirs.dirs");
        if (c.file) WriteWholeFile(tmp.path() + "user-dirs.dirs", c.file);
        EXPECT_EQ(UserDownloadFolder(), c.want) << (c.file ? c.file : "(none)");
    }
}

}  // namespace
}  // namespace quillon
