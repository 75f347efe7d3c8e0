#include "core/platform/process.h"

#include <chrono>
#include <string>
#include <thread>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"
#include "temp_folder.h"

namespace quillon {
namespace {

using platform_test::TempFolder;

// Waits up to five seconds for `path` to hold a whole line.
std::string WaitForLine(const std::string& path) {
    std::string text;
    for (int i = 0; i < 500; ++i) {
        if (ReadWholeFile(path, text) && !text.empty() && text.back() == '\n') return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return text;
}

class StartDetachedTest : public ::testing::Test {
protected:
    void SetUp() override {
        script_ = tmp_.path() + "replacer";
        out_ = tmp_.path() + "out.txt";
        ASSERT_TRUE(WriteWholeFile(
            script_, "#!/bin/sh\necho \"$# $1\" > '" + out_ + ".part'\nmv '" + out_ + ".part' '" +
                         out_ + "'\n"));
        ASSERT_EQ(chmod(script_.c_str(), 0755), 0);
    }

    TempFolder tmp_;
    std::string script_;
    std::string out_;
};

TEST_F(StartDetachedTest, StartsTheProgramWithItsArgument) {
    EXPECT_TRUE(StartDetached(script_, "update"));
    EXPECT_EQ(WaitForLine(out_), "1 update\n");
}

TEST_F(StartDetachedTest, EmptyArgumentMeansNoArgument) {
    EXPECT_TRUE(StartDetached(script_, ""));
    EXPECT_EQ(WaitForLine(out_), "0 \n");
}

TEST_F(StartDetachedTest, MissingOrUnrunnableProgramIsFalse) {
    EXPECT_FALSE(StartDetached(tmp_.path() + "npquillon2", "update"));
    ASSERT_EQ(chmod(script_.c_str(), 0644), 0);
    EXPECT_FALSE(StartDetached(script_, "update"));
    // Executable, but the system cannot run it.
    std::string junk = tmp_.path() + "junk";
    ASSERT_TRUE(WriteWholeFile(junk, "#!/no/such/interpreter\n"));
    ASSERT_EQ(chmod(junk.c_str(), 0755), 0);
    EXPECT_FALSE(StartDetached(junk, "update"));
    EXPECT_FALSE(StartDetached(tmp_.path(), "update")) << "a folder";
}

}  // namespace
}  // namespace quillon
