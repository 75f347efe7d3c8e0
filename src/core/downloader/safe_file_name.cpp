#include "core/downloader/safe_file_name.h"

#include "core/text/byte_string.h"

namespace quillon {

namespace {

// Removes every occurrence of the ASCII byte `c` that stands on a character
// boundary. Trail bytes of GBK characters may equal '\\' or '|'; dropping
// them would turn the title into garbage.
void RemoveAsciiChar(std::string& s, char c) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (IsGbkLead(b) && i + 1 < s.size()) {
            out.push_back(s[i]);
            out.push_back(s[++i]);
            continue;
        }
        if (s[i] != c) out.push_back(s[i]);
    }
    s.swap(out);
}

// The name before the date and time that a short one gets.
std::string NameOfTitle(std::string_view title) {
    std::string name(title);
    for (;;) {
        size_t lt = name.find('<');
        if (lt == std::string::npos) break;
        size_t gt = name.find('>', lt);
        name.erase(lt, gt == std::string::npos ? std::string::npos : gt - lt + 1);
    }
    name = std::string(TrimAscii(name));
    for (char c : {'\\', '/', ':', '*', '?', '<', '>', '|', '"'}) RemoveAsciiChar(name, c);
    return std::string(TrimAscii(name));
}

}  // namespace

bool HasNameOfItsOwn(std::string_view title) { return NameOfTitle(title).size() >= 2; }

std::string MakeSafeFileName(std::string_view title, std::time_t now) {
    std::string name = NameOfTitle(title);
    if (name.size() < 2) {
        std::tm local{};
        localtime_r(&now, &local);
        name += Format("(%04d%02d%02d_%02d%02d%02d)", local.tm_year + 1900, local.tm_mon + 1,
                       local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    }
    return name;
}

}  // namespace quillon
