#include "core/config/record_file.h"

#include <algorithm>
#include <cstdio>

#include "core/platform/file_io.h"

namespace quillon {

size_t LoadRecordBytes(const std::string& path, void* record, size_t size) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    size_t n = std::fread(record, 1, size, f);
    std::fclose(f);
    return n;
}

bool SaveRecordBytes(const std::string& path, const void* record, size_t size) {
    return WriteFileAtomically(path, std::string_view(static_cast<const char*>(record), size));
}

void PutCString(unsigned char* p, size_t size, std::string_view s) {
    std::memset(p, 0, size);
    if (size == 0) return;
    size_t n = 0;
    // Walk whole characters so a cut never leaves half a GBK character.
    while (n < s.size()) {
        size_t len = static_cast<unsigned char>(s[n]) > 0x7F ? 2 : 1;
        if (n + len > size - 1 || n + len > s.size()) break;
        n += len;
    }
    std::memcpy(p, s.data(), n);
}

void PutUtf8CString(unsigned char* p, size_t size, std::string_view s) {
    std::memset(p, 0, size);
    if (size == 0) return;
    size_t n = std::min(s.size(), size - 1);
    // Back off continuation bytes to the start of the character that the
    // cut would split.
    if (n < s.size()) {
        while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(p, s.data(), n);
}

}  // namespace quillon
