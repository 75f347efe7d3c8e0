#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/reader/display_settings.h"

namespace quillon {

// A book shown as one self-scrolling web page. The page is the template
// data/scroll.html with its placeholders filled and is written to
// data/tmp/<n>.html; the template's scripts do the scrolling.

// Pause between scroll steps and pixels per step, shared by every scroll
// display of the run and never stored. Zero until the user sets them.
struct ScrollOptions final {
    int sleepTime = 0;
    int step = 0;

    // Values below 1 mean "not set": 100 ms and 2 pixels.
    void ApplyDefaults();
};
ScrollOptions& ProgramScrollOptions();

// What the page copies from the reading page when it is opened.
struct ScrollStyle final {
    uint32_t textColour = 0;  // 0x00BBGGRR
    uint32_t backColour = 0;
    int lineHeight = 0;
    FontRecord font;
};
ScrollStyle& ProgramScrollStyle();

// "#RRGGBB", upper-case hex, from a 0x00BBGGRR colour.
std::string FormatScrollColour(uint32_t colour);

// Book bytes (GBK) as HTML element content. Besides '<' and '>' the
// characters '&', '"' and '\'' are escaped: an unescaped '&' would turn a
// book's "&lt;" into "<" and let entities change the text. Each CR LF
// becomes "<br>", each space "&nbsp;"; a lone CR or LF is kept. Every byte
// that needs escaping is ASCII below 0x40, which no GBK trail byte is, so a
// byte-wise scan never cuts a character.
std::string EscapeScrollText(std::string_view text);
// The title the same way, but without line breaks or spaces changed.
std::string EscapeScrollTitle(std::string_view title);
// A face name made safe inside a quoted CSS string: quotes, backslashes,
// angle brackets, braces, semicolons and control bytes are dropped.
std::string SanitizeFontFamily(std::string_view face);

// What fills a template besides the options and style.
struct ScrollPageContent final {
    std::string title;       // GBK, unescaped
    std::string text;        // GBK, unescaped
    int fontSize = 0;        // pixel height of "中国" in the reading font
    std::string fontFamily;  // GBK face name
};

// Fills every placeholder of `templ` in one pass over the template: values
// put in are never searched again, so a title or text that happens to
// contain a placeholder's name is shown as it is.
std::string FillScrollTemplate(std::string_view templ, const ScrollOptions& options,
                               const ScrollStyle& style, const ScrollPageContent& content);

// The page's script call for new options: "Quillon_SetOption(%d,%d)".
std::string ScrollOptionScript(const ScrollOptions& options);

// Number of the next data/tmp/<n>.html; starts at 0 each run.
int& ScrollPageCounter();

// Reads data/scroll.html under `programFolder`, fills it and writes the next
// data/tmp/<n>.html (the counter moves on either way, as each attempt takes a
// number). The options get their defaults first.
enum class ScrollPageResult { Written, NoTemplate, NotWritten };
ScrollPageResult WriteScrollPage(const std::string& programFolder, ScrollOptions& options,
                                 const ScrollStyle& style, const ScrollPageContent& content,
                                 std::string& pagePath);

}  // namespace quillon
