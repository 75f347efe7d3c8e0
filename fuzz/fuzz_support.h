#pragma once

// Shared by the fuzz targets that go through files: a scratch folder in
// memory (tmpfs), so the flushes of the atomic writes cost nothing.

#include <cstdlib>
#include <string>
#include <string_view>

#include <unistd.h>

#include "core/platform/file_io.h"

namespace quillon::fuzz {

inline void Check(bool ok) {
    if (!ok) std::abort();
}

// A folder (ending in '/') made once per process.
inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        std::string base = IsDirectory("/dev/shm") ? "/dev/shm/" : "/tmp/";
        std::string pattern = base + "quillon_fuzz_XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern + "/";
    }();
    return folder;
}

inline std::string WriteScratch(const std::string& name, std::string_view bytes) {
    std::string path = ScratchFolder() + name;
    Check(WriteWholeFile(path, bytes));
    return path;
}

inline std::string ReadScratch(const std::string& path) {
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

}  // namespace quillon::fuzz
