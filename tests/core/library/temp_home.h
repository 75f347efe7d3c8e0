#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace quillon::test {

// A fresh program folder per test, named by QUILLON_HOME, removed afterwards.
class TempHome : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillon-library-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = std::string(pattern) + "/";
        setenv("QUILLON_HOME", home_.c_str(), 1);
        std::filesystem::create_directories(home_ + "book/lable");
    }
    void TearDown() override {
        unsetenv("QUILLON_HOME");
        std::error_code ec;
        std::filesystem::remove_all(home_, ec);
    }

    std::string home_;
};

}  // namespace quillon::test
