#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/downloader/page_fetcher.h"

namespace quillon {

// fetchwell without its window:
//   --list URL                  the page's links: title TAB address (UTF-8)
//   --download URL [--select LIST] [--out DIR] [--txt] [--html] [--format]
//   --html-to-text FILE [--utf8]
//   --help, --version
// Exit status: 0 done, 1 something failed (a page, a chapter, a file),
// 2 bad arguments.
int RunCommandLine(int argc, char** argv);
// The same with its output streams given, for tests.
int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err);
// The same with every page got by `loader` (a browser) instead of over HTTP.
int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err, const PageLoader& loader);

// The help text RunCommandLine prints for --help.
std::string CommandLineHelp();

// Parses a row selection such as "1-10,15" (1-based, inclusive ranges) into
// ranges. False with `error` set when the text is not such a list.
bool ParseRowSelection(std::string_view text, std::vector<std::pair<int, int>>& ranges,
                       std::string& error);

}  // namespace quillon
