// Splits arbitrary records and checks the splitter against its definition:
// one field per delimiter, and the untrimmed fields joined again give back
// the text up to its last delimiter.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/config/tag_file.h"
#include "core/text/byte_string.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    if (size == 0) return 0;
    // The first byte chooses the delimiter, the rest is the record.
    char delimiter = static_cast<char>(data[0]);
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    size_t delimiters = 0;
    for (char c : text) delimiters += c == delimiter;

    FieldSplitter split;
    Check(split.Split(text, delimiter, false) == static_cast<int>(delimiters));
    std::string joined;
    for (const std::string& f : split.fields()) {
        Check(f.find(delimiter) == std::string::npos);
        joined += f;
        joined += delimiter;
    }
    size_t end = text.rfind(delimiter);
    Check(joined == (end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1)));
    Check(split[split.count()].empty());

    FieldSplitter trimmed;
    Check(trimmed.Split(text, delimiter, true) == static_cast<int>(delimiters));
    for (int i = 0; i < trimmed.count(); ++i) {
        Check(trimmed[i] == TrimAscii(split[i]));
    }
    return 0;
}
