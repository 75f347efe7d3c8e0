// Feeds arbitrary bytes to the three tag-file readers and checks what every
// reader promises whatever the input: lines never hold a line break, the
// string readers stop at the first NUL, every walk ends, and the lookups
// agree with a plain line walk.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/config/tag_file.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool HasBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string_view text = bytes.substr(0, bytes.find('\0'));

    // The first line of the input doubles as a key to look up.
    std::string key(text.substr(0, text.find_first_of("\r\n")));

    TagText tags;
    tags.SetText(bytes);
    Check(tags.text() == text);
    std::string line;
    size_t lines = 0;
    size_t last = 0;
    while (tags.NextLine(line) == 0) {
        Check(!HasBreak(line));
        Check(tags.cursor() > last || (lines == 0 && tags.cursor() >= last));
        last = tags.cursor();
        Check(++lines <= text.size() + 1);
    }
    Check(tags.cursor() == text.size());
    tags.Rewind();
    if (tags.FindLine(key, line) == 0) {
        Check(!HasBreak(line));
        if (tags.NextValue(line) == 0) Check(line.substr(0, 2) != "//");
    }

    TagFile file;
    file.SetText(bytes);
    std::string value = file.GetValue(key);
    Check(!HasBreak(value));
    std::vector<std::string> block;
    int n = file.GetBlock(key, "[END]", block, 7);
    Check(n >= 0 && n <= 7 && static_cast<size_t>(n) == block.size());
    for (const std::string& b : block) Check(b != "[END]" && !HasBreak(b));

    RawTagReader raw;
    raw.SetText(bytes);
    size_t rawLines = 0;
    while (raw.ReadLine(line) == 0) {
        Check(!HasBreak(line) && line.find('\0') == std::string::npos);
        Check(++rawLines <= text.size() + 1);
    }
    raw.Rewind();
    if (!key.empty() && raw.FindKey(key, line) == 0) {
        if (raw.NextValue(line) == 0) Check(line.substr(0, 2) != "//");
    }
    return 0;
}
