#include "core/text/gbk_codec.h"

#include <cerrno>
#include <iconv.h>

#include "core/text/byte_string.h"
#include "core/text/counted_conversion.h"

namespace quillon {

namespace {

// Length of the UTF-8 sequence a lead byte announces (1 for anything that is
// not a valid lead, so that a bad byte is skipped on its own).
size_t Utf8SequenceLength(unsigned char lead) {
    if (lead < 0xC2) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF5) return 4;
    return 1;
}

// Wide source charsets come in fixed code units; a bad or unmappable
// character must be skipped by whole units, or every later character would
// be read out of step and come out as garbage.
struct WideSource {
    size_t unit = 1;  // 1 for byte-oriented charsets
    bool bigEndian = true;
};

WideSource WideSourceOf(std::string_view charset) {
    auto startsWith = [&](std::string_view p) {
        return charset.size() >= p.size() && charset.substr(0, p.size()) == p;
    };
    auto endsWith = [&](std::string_view p) {
        return charset.size() >= p.size() && charset.substr(charset.size() - p.size()) == p;
    };
    WideSource w;
    if (startsWith("UTF-16") || startsWith("UCS-2")) w.unit = 2;
    if (startsWith("UTF-32") || startsWith("UCS-4")) w.unit = 4;
    w.bigEndian = !endsWith("LE");
    return w;
}

// Bytes to skip over one bad or unmappable character of a wide source: one
// unit, or two for a well-formed UTF-16 surrogate pair (a character outside
// the basic plane, such as an emoji, which has no GBK form).
size_t WideSkip(const WideSource& w, const unsigned char* p, size_t left) {
    if (left < w.unit) return left;
    if (w.unit != 2 || left < 4) return w.unit;
    auto unitAt = [&](size_t k) {
        return w.bigEndian ? (p[k] << 8 | p[k + 1]) : (p[k + 1] << 8 | p[k]);
    };
    const unsigned first = unitAt(0);
    const unsigned second = unitAt(2);
    if (first >= 0xD800 && first < 0xDC00 && second >= 0xDC00 && second < 0xE000) return 4;
    return 2;
}

// The two-byte charsets of the system: a byte above 0x80 leads a character
// whose second byte lies in 0x40..0xFE.
bool IsDoubleByteCharset(std::string_view charset) {
    return charset == "CP936" || charset == "GBK" || charset == "GB18030" || charset == "CP950" ||
           charset == "BIG5" || charset == "BIG5-HKSCS";
}

// GB18030's four-byte form: lead, digit, lead, digit.
bool IsGb18030FourByte(const char* p) {
    auto in = [p](int k, unsigned lo, unsigned hi) {
        const auto b = static_cast<unsigned char>(p[k]);
        return b >= lo && b <= hi;
    };
    return in(0, 0x81, 0xFE) && in(1, 0x30, 0x39) && in(2, 0x81, 0xFE) && in(3, 0x30, 0x39);
}

}  // namespace

CharsetConverter::CharsetConverter(const char* from, const char* to, std::string_view replacement)
    : cd_(iconv_open(to, from)),
      replacement_(replacement),
      fromUtf8_(std::string_view(from) == "UTF-8"),
      wideUnit_(WideSourceOf(from).unit),
      wideBigEndian_(WideSourceOf(from).bigEndian),
      fromDoubleByte_(IsDoubleByteCharset(from)),
      fromGb18030_(std::string_view(from) == "GB18030") {}

CharsetConverter::~CharsetConverter() {
    if (ok()) iconv_close(static_cast<iconv_t>(cd_));
}

bool CharsetConverter::ok() const { return cd_ != reinterpret_cast<void*>(-1); }

void CharsetConverter::Convert(std::string_view input, std::string& out) {
    out.clear();
    if (input.empty()) return;
    if (!ok()) {
        out.assign(input);
        return;
    }
    auto cd = static_cast<iconv_t>(cd_);
    const WideSource wide{wideUnit_, wideBigEndian_};
    char buffer[4096];
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    while (inLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        const int error = rc == static_cast<size_t>(-1) ? errno : 0;  // before append may touch it
        out.append(buffer, dst - buffer);
        if (error == 0 || error == E2BIG) continue;
        // Invalid or unmappable input (EILSEQ), or a sequence cut off by the
        // end of the text (EINVAL): one replacement, then skip it.
        out.append(replacement_);
        ++replaced_;
        size_t skip = 1;
        if (error == EINVAL) {
            skip = inLeft;
        } else if (wide.unit > 1) {
            skip = WideSkip(wide, reinterpret_cast<const unsigned char*>(in), inLeft);
        } else if (fromUtf8_) {
            size_t len = Utf8SequenceLength(static_cast<unsigned char>(*in));
            // Skip a whole character only when it is well-formed (it is then
            // merely unmappable); a broken sequence loses just its first byte.
            if (len > 1 && len <= inLeft && IsValidUtf8(std::string_view(in, len))) skip = len;
        } else if (fromGb18030_ && inLeft >= 4 && IsGb18030FourByte(in)) {
            // A four-byte character without a form in the target goes as a
            // whole, or its digits would show as text.
            skip = 4;
        } else if (fromDoubleByte_ && inLeft >= 2) {
            // A well-formed pair without a form in the target (a Big5
            // character GBK lacks) goes as a whole; otherwise its trail byte
            // would be read as the start of the next character.
            const auto lead = static_cast<unsigned char>(in[0]);
            const auto trail = static_cast<unsigned char>(in[1]);
            if (lead > 0x80 && lead < 0xFF && trail >= 0x40 && trail < 0xFF && trail != 0x7F) skip = 2;
        }
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush any shift state (none for these charsets, but harmless).
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
}

std::string ConvertCharset(std::string_view input, const char* from, const char* to,
                           std::string_view replacement) {
    size_t replaced = 0;
    return ConvertCharsetCounted(input, from, to, replacement, replaced);
}

std::string ConvertCharsetCounted(std::string_view input, const char* from, const char* to,
                                  std::string_view replacement, size_t& replaced) {
    if (input.empty()) return {};
    CharsetConverter converter(from, to, replacement);
    std::string out;
    out.reserve(input.size() * 3 / 2 + 16);
    converter.Convert(input, out);
    replaced += converter.replaced();
    return out;
}

std::string GbkToUtf8(std::string_view gbk) {
    // Pure ASCII needs no conversion; most tag-file values and paths are.
    if (IsAscii(gbk)) return std::string(gbk);
    return ConvertCharset(gbk, "CP936", "UTF-8", kUtf8Replacement);
}

std::string Utf8ToGbk(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    return ConvertCharset(utf8, "UTF-8", "CP936", kGbkReplacement);
}

bool IsValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len = Utf8SequenceLength(c);
        if (len == 1 || i + len > n) return false;
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
        }
        unsigned char c1 = p[i + 1];
        if (c == 0xE0 && c1 < 0xA0) return false;  // overlong
        if (c == 0xED && c1 >= 0xA0) return false;  // surrogate
        if (c == 0xF0 && c1 < 0x90) return false;  // overlong
        if (c == 0xF4 && c1 >= 0x90) return false;  // beyond U+10FFFF
        i += len;
    }
    return true;
}

}  // namespace quillon
