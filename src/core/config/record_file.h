#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quillon {

// Settings are raw fixed-size little-endian records without header, version
// or checksum. A missing or short file leaves the defaults: the bytes read
// are laid over the start of the record.

// Reads up to `size` bytes of the file over `record`. Returns the number of
// bytes read (0 when the file is missing).
size_t LoadRecordBytes(const std::string& path, void* record, size_t size);

// Writes exactly `size` bytes. False when the file cannot be written. The
// write goes through a temporary file and a rename, so a failed save never
// leaves a truncated record behind.
bool SaveRecordBytes(const std::string& path, const void* record, size_t size);

inline int32_t GetInt32LE(const unsigned char* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) |
                                (static_cast<uint32_t>(p[3]) << 24));
}

inline void PutInt32LE(unsigned char* p, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<unsigned char>(u);
    p[1] = static_cast<unsigned char>(u >> 8);
    p[2] = static_cast<unsigned char>(u >> 16);
    p[3] = static_cast<unsigned char>(u >> 24);
}

// A NUL-terminated string field of `size` bytes: the text up to the first NUL.
inline std::string GetCString(const unsigned char* p, size_t size) {
    size_t n = 0;
    while (n < size && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

// Stores `s` in a field of `size` bytes, cut to size - 1 bytes if longer
// (never in the middle of a two-byte GBK character), zero-filled after it.
void PutCString(unsigned char* p, size_t size, std::string_view s);

// PutCString for fields that hold file names or paths, which are UTF-8: a
// cut never falls inside a multi-byte character, so what is stored is always
// a whole prefix of the name.
void PutUtf8CString(unsigned char* p, size_t size, std::string_view s);

}  // namespace quillon
