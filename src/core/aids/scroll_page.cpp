#include "core/aids/scroll_page.h"

#include <array>
#include <utility>

#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"

namespace quillon {

namespace {

constexpr std::string_view kPlaceholderStart = "***---";

void AppendEscaped(std::string& out, char c) {
    switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
            break;
    }
}

}  // namespace

void ScrollOptions::ApplyDefaults() {
    if (sleepTime < 1) sleepTime = 100;
    if (step < 1) step = 2;
}

ScrollOptions& ProgramScrollOptions() {
    static ScrollOptions options;
    return options;
}

ScrollStyle& ProgramScrollStyle() {
    static ScrollStyle style;
    return style;
}

std::string FormatScrollColour(uint32_t colour) {
    return Format("#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

std::string EscapeScrollText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "<br>";
            ++i;
        } else if (c == ' ') {
            out += "&nbsp;";
        } else {
            AppendEscaped(out, c);
        }
    }
    return out;
}

std::string EscapeScrollTitle(std::string_view title) {
    std::string out;
    out.reserve(title.size());
    for (char c : title) AppendEscaped(out, c);
    return out;
}

std::string SanitizeFontFamily(std::string_view face) {
    std::string out;
    for (char c : face) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) continue;
        switch (c) {
            case '"':
            case '\'':
            case '\\':
            case '<':
            case '>':
            case '{':
            case '}':
            case ';':
                continue;
            default:
                out += c;
        }
    }
    return out;
}

std::string FillScrollTemplate(std::string_view templ, const ScrollOptions& options,
                               const ScrollStyle& style, const ScrollPageContent& content) {
    const std::array<std::pair<std::string_view, std::string>, 9> values{{
        {"***---SCROLL_SLEEP_TIME---***", std::to_string(options.sleepTime)},
        {"***---SCROLL_STEP---***", std::to_string(options.step)},
        {"***---SCROLL_LINE_HEIGHT---***", std::to_string(style.lineHeight)},
        {"***---SCROLL_FONT_SIZE---***", std::to_string(content.fontSize)},
        {"***---SCROLL_FONT_FAMILY---***", SanitizeFontFamily(content.fontFamily)},
        {"***---SCROLL_COLOR---***", FormatScrollColour(style.textColour)},
        {"***---SCROLL_BACKGROUND_COLOR---***", FormatScrollColour(style.backColour)},
        {"***---SCROLL_HTML_TITLE---***", EscapeScrollTitle(content.title)},
        {"***---SCROLL_HTML_TEXT---***", EscapeScrollText(content.text)},
    }};
    std::string out;
    out.reserve(templ.size() + content.text.size() * 9 / 8 + 64);
    size_t pos = 0;
    while (pos < templ.size()) {
        const size_t at = templ.find(kPlaceholderStart, pos);
        if (at == std::string_view::npos) {
            out.append(templ.substr(pos));
            break;
        }
        out.append(templ.substr(pos, at - pos));
        const std::string_view rest = templ.substr(at);
        size_t used = 0;
        for (const auto& [name, value] : values) {
            if (rest.starts_with(name)) {
                out += value;
                used = name.size();
                break;
            }
        }
        if (used == 0) {
            // Not one of ours (or a longer run of stars before one): keep a
            // single byte and look again from the next.
            out += templ[at];
            used = 1;
        }
        pos = at + used;
    }
    return out;
}

std::string ScrollOptionScript(const ScrollOptions& options) {
    return Format("Quillon_SetOption(%d,%d)", options.sleepTime, options.step);
}

int& ScrollPageCounter() {
    static int counter = 0;
    return counter;
}

ScrollPageResult WriteScrollPage(const std::string& programFolder, ScrollOptions& options,
                                 const ScrollStyle& style, const ScrollPageContent& content,
                                 std::string& pagePath) {
    pagePath.clear();
    std::string templ;
    if (!ReadWholeFile(programFolder + "data/scroll.html", templ))
        return ScrollPageResult::NoTemplate;
    options.ApplyDefaults();
    const std::string page = FillScrollTemplate(templ, options, style, content);
    const std::string path = programFolder + Format("data/tmp/%d.html", ScrollPageCounter()++);
    EnsureFolders(path);
    if (!WriteWholeFile(path, page)) return ScrollPageResult::NotWritten;
    pagePath = path;
    return ScrollPageResult::Written;
}

}  // namespace quillon
