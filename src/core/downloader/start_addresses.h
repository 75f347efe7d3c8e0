#pragma once

#include <string>

namespace quillon {

// The two addresses the downloader window starts with.
struct StartAddresses {
    std::string topUrl;      // the browser pane's start page
    std::string defaultUrl;  // the address field's first text
};

inline constexpr const char* kBuiltInTopUrl = "http://www.fetchwell.example/fetchwell/top";
inline constexpr const char* kBuiltInDefaultUrl = "http://books.example/book/index_88406.html";

// Reads [TOP_URL] and then [DEFAULT_URL] from the tag file at `path` with one
// running read position, so [DEFAULT_URL] is only found after the [TOP_URL]
// value. A value that is missing (no file, no key, no value line) is replaced
// by its built-in address.
StartAddresses LoadStartAddresses(const std::string& path);

}  // namespace quillon
