#include "core/net/url_encode.h"

namespace quillon {

namespace {

bool IsAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

template <typename Keep>
std::string Encode(const char* bytes, size_t length, Keep keep) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (keep(c)) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

}  // namespace

std::string UrlEncodeForm(const char* bytes, size_t length) {
    if (bytes == nullptr) return std::string();
    return Encode(bytes, length,
                  [](unsigned char c) { return IsAlnum(c) || c == '&' || c == '='; });
}

std::string UrlEncodeQuery(std::string_view text) {
    return Encode(text.data(), text.size(), [](unsigned char c) {
        return IsAlnum(c) || c == '@' || c == '#' || c == '$' || c == '+' || c == '=';
    });
}

}  // namespace quillon
