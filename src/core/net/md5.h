#pragma once

#include <string>
#include <string_view>

namespace quillon {

// MD5 of a file's bytes as 32 lower-case hexadecimal digits; "" when the
// file cannot be opened (which never equals a listed digest).
std::string FileDigest(const std::string& path);

// MD5 of `bytes` as 32 upper-case hexadecimal digits (the downloader's
// per-book folder name).
std::string Md5Hex(std::string_view bytes);

}  // namespace quillon
