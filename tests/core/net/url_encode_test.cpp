#include "core/net/url_encode.h"

#include <string>

#include <gtest/gtest.h>

namespace quillon {
namespace {

struct EncodeCase {
    std::string input;
    std::string form;
    std::string query;
};

TEST(UrlEncode, KeepsOnlyItsOwnByteClasses) {
    const EncodeCase cases[] = {
        {"a b&c=d", "a%20b&c=d", "a%20b%26c=d"},
        {"\xC4\xE3", "%C4%E3", "%C4%E3"},
        {"x.y-z_", "x%2Ey%2Dz%5F", "x%2Ey%2Dz%5F"},
        {"a&b", "a&b", "a%26b"},
        {"a+b@c", "a%2Bb%40c", "a+b@c"},
        {"#$", "%23%24", "#$"},
        {"AZaz09", "AZaz09", "AZaz09"},
        {std::string("\0\x7F\x80\xFF/", 5), "%00%7F%80%FF%2F", "%00%7F%80%FF%2F"},
        {"", "", ""},
    };
    for (const EncodeCase& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(UrlEncodeForm(c.input.data(), c.input.size()), c.form);
        EXPECT_EQ(UrlEncodeQuery(c.input), c.query);
    }
}

TEST(UrlEncode, EveryOtherByteBecomesThreeCharacters) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::string form = UrlEncodeForm(all.data(), all.size());
    std::string query = UrlEncodeQuery(all);
    // 62 letters and digits, plus two kept signs each, pass unchanged.
    EXPECT_EQ(form.size(), 64 + (256 - 64) * 3u);
    EXPECT_EQ(query.size(), 67 + (256 - 67) * 3u);
    EXPECT_EQ(form.find('+'), std::string::npos);
    EXPECT_NE(form.find("%2B"), std::string::npos);
}

TEST(UrlEncode, FormEncodesOnlyTheGivenLength) {
    const char bytes[] = "ab cd";
    EXPECT_EQ(UrlEncodeForm(bytes, 3), "ab%20");
    EXPECT_EQ(UrlEncodeForm(nullptr, 0), "");
}

}  // namespace
}  // namespace quillon
