#pragma once

// Builds index files byte by byte for the tests, including damaged ones.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/platform/file_io.h"
#include "core/text/gbk_codec.h"

namespace quillon::net_test {

class IndexBytes {
public:
    IndexBytes& Int(int32_t v) {
        auto u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
        return *this;
    }
    // A string of the format; `utf8` is turned into GBK first.
    IndexBytes& Str(std::string_view utf8) { return Raw(Utf8ToGbk(utf8)); }
    IndexBytes& Raw(std::string_view gbk) {
        Int(static_cast<int32_t>(gbk.size()));
        bytes_.append(gbk);
        return *this;
    }
    const std::string& bytes() const { return bytes_; }

    // A well-formed file: the header naming `site`, then one record per
    // (url, title) pair.
    static std::string File(std::string_view site, const std::vector<std::pair<std::string, std::string>>& records) {
        IndexBytes b;
        b.Int(static_cast<int32_t>(records.size() + 1)).Str("site_name").Str(site);
        for (const auto& [url, title] : records) b.Str(url).Str(title);
        return b.bytes();
    }

private:
    std::string bytes_;
};

inline void WriteIndex(const std::string& path, const std::string& bytes) { WriteWholeFile(path, bytes); }

}  // namespace quillon::net_test
