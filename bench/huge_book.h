// The generated book of one gibibyte that the huge-book benchmarks open, and
// the process's memory figures they read.
#pragma once

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"

namespace quillon::bench {

inline constexpr size_t kHugeBookBytes = size_t{1} << 30;

// The book lives in memory-backed /dev/shm where there is one, so that the
// disk does not time the benchmark; it is removed when the program ends.
class HugeBook final {
public:
    HugeBook() {
        const std::string folder = IsDirectory("/dev/shm") ? "/dev/shm/" : "/tmp/";
        path_ = folder + "quillon-huge-book-" + std::to_string(::getpid()) + ".txt";
        const std::string para = Gbk(
            "　　话说天下大势，分久必合，合久必分。周末七国分争，并入于秦。及秦灭之后，楚、汉分争，"
            "又并入于汉。汉朝自高祖斩白蛇而起义，一统天下，后来光武中兴，传至献帝，遂分为三国。\r\n");
        std::string block;
        while (block.size() + para.size() <= (1u << 20)) block += para;
        block.resize(1u << 20, ' ');
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        for (size_t written = 0; f && written < kHugeBookBytes; written += block.size())
            std::fwrite(block.data(), 1, block.size(), f);
        if (f) std::fclose(f);
    }
    ~HugeBook() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline const std::string& HugeBookPath() {
    static const HugeBook book;
    return book.path();
}

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:").
inline long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, n, field) == 0) return std::stol(line.substr(n + 1));
    }
    return 0;
}

// Starts a new peak: VmHWM drops to the present resident size.
inline void ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

}  // namespace quillon::bench
