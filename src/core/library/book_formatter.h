#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/platform/messenger.h"

namespace quillon {

// The layout the reader expects of a book: one paragraph per line, every
// line "    " + text + "\r\n". Any run of CR and LF bytes is one break, so
// blank lines vanish; each line loses ASCII blanks at both ends and every
// full-width space (GBK A1 A1) inside it. A line of blanks only stays, as
// "    \r\n". The text ends at its first NUL byte.
//
// `progress`, when given, is called now and then with the bytes of `source`
// consumed so far and their total, and once at the end with done == total.
std::string FormatBookText(std::string_view source,
                           const std::function<void(size_t done, size_t total)>& progress = nullptr);

// Formats the file `sourcePath` into `destPath` (both UTF-8 paths). The
// destination is replaced only when the formatted text has been written
// whole, so a failure leaves an earlier file of that name as it was.
// `progress` receives the GBK text "加入书籍 格式化(i/total) pp%" once per line.
// Returns 0 on success; 1 when the source cannot be read and 2 when the
// destination cannot be written, each after telling the user through
// `messenger`.
int FormatBook(const std::string& sourcePath, const std::string& destPath,
               const std::function<void(const std::string& text)>& progress,
               Messenger& messenger);

// FormatBook over GBK text already read (a book converted from another
// encoding); returns 0 or 2 as FormatBook does.
int FormatBookBytes(std::string_view source, const std::string& destPath,
                    const std::function<void(const std::string& text)>& progress,
                    Messenger& messenger);

}  // namespace quillon
