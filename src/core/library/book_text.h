#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Reads a book file whole for reading and hands its text as GBK: the bytes
// up to the first NUL. Most books are GBK and are taken byte for byte, but
// files written on Linux are mostly UTF-8, so a file that starts with a
// UTF-8, UTF-16 or UTF-32 byte-order mark, or that is valid UTF-8 holding
// non-ASCII bytes, is converted to GBK (characters without a GBK form become
// the codec's replacement; for the wide forms the NUL rule applies after
// conversion). The file is never changed. False when it cannot be read.
bool ReadBookText(const std::string& path, std::string& gbkText);

// The conversion of ReadBookText over bytes already in memory.
std::string BookBytesToGbk(std::string_view bytes);

}  // namespace quillon
