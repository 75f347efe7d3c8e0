#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"

namespace quillon::test {

// A fresh empty folder (path ending in '/') under the system's temporary
// folder, removed with everything in it at the end of the test.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "quillon") {
        std::string pattern = ::testing::TempDir() + prefix + "_XXXXXX";
        path_ = mkdtemp(pattern.data()) ? pattern + "/" : std::string();
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }

    // Writes `bytes` to a file of the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string p = path_ + name;
        EXPECT_TRUE(WriteWholeFile(p, bytes)) << p;
        return p;
    }

private:
    std::string path_;
};

}  // namespace quillon::test
