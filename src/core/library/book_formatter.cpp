#include "core/library/book_formatter.h"

#include <algorithm>

#include "core/library/replacing_file.h"
#include "core/platform/file_io.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

constexpr std::string_view kIndent = "    ";
constexpr std::string_view kLineEnd = "\r\n";
// How much input passes between two byte-progress reports; small enough for
// a smooth bar, large enough that the callback costs nothing on big books.
constexpr size_t kProgressStep = 256 * 1024;

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// Blanks that a line loses at both ends. CR and LF never occur inside a line.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view UpToNul(std::string_view s) {
    size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Appends `line` without its full-width spaces. Walks whole characters so
// that A1 A1 straddling two characters (a trail byte A1 followed by a lead
// byte A1) is left alone; a lead byte cut off by the end of the line is
// copied as it is.
void AppendWithoutFullWidthSpaces(std::string& out, std::string_view line) {
    size_t i = 0;
    while (i < line.size()) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (IsGbkLead(c) && i + 1 < line.size()) {
            if (!(c == 0xA1 && static_cast<unsigned char>(line[i + 1]) == 0xA1)) out.append(line.substr(i, 2));
            i += 2;
        } else {
            out.push_back(line[i]);
            ++i;
        }
    }
}

// The line rules, calling `eachLine(lineNumber, bytesConsumed)` after every
// formatted line. Returns the formatted text.
template <typename EachLine>
std::string FormatLines(std::string_view text, EachLine&& eachLine) {
    std::string out;
    // Every line costs at least one byte of text plus one break byte (the
    // last line may have no break), and grows by at most six bytes, so the
    // text plus five bytes per break byte plus six bounds the output. The
    // bound "six per LF" would not: CR-only texts have lines but no LF.
    size_t breaks = static_cast<size_t>(std::count_if(text.begin(), text.end(), IsBreak));
    out.reserve(text.size() + 5 * breaks + kIndent.size() + kLineEnd.size());

    size_t pos = 0;
    // Breaks at the very start do not make an empty first line: a text of
    // nothing but breaks has no line at all.
    while (pos < text.size() && IsBreak(text[pos])) ++pos;
    int lineNumber = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && !IsBreak(text[end])) ++end;
        std::string_view line = TrimBlanks(text.substr(pos, end - pos));
        out.append(kIndent);
        AppendWithoutFullWidthSpaces(out, line);
        out.append(kLineEnd);
        while (end < text.size() && IsBreak(text[end])) ++end;
        pos = end;
        eachLine(++lineNumber, pos);
    }
    return out;
}

}  // namespace

std::string FormatBookText(std::string_view source,
                           const std::function<void(size_t done, size_t total)>& progress) {
    std::string_view text = UpToNul(source);
    size_t nextReport = kProgressStep;
    std::string out = FormatLines(text, [&](int, size_t done) {
        if (progress && done >= nextReport && done < text.size()) {
            progress(done, text.size());
            nextReport = done + kProgressStep;
        }
    });
    if (progress) progress(text.size(), text.size());
    return out;
}

int FormatBook(const std::string& sourcePath, const std::string& destPath,
               const std::function<void(const std::string& text)>& progress,
               Messenger& messenger) {
    std::string bytes;
    if (!ReadWholeFile(sourcePath, bytes)) {
        messenger.Inform(Gbk("源书目录不正确或书籍名字非法"));
        return 1;
    }
    return FormatBookBytes(bytes, destPath, progress, messenger);
}

int FormatBookBytes(std::string_view source, const std::string& destPath,
                    const std::function<void(const std::string& text)>& progress,
                    Messenger& messenger) {
    std::string_view text = UpToNul(source);

    ReplacingFile dest;
    if (!dest.Open(destPath)) {
        messenger.Inform(Gbk("结果目录不正确或书籍名字非法"));
        return 2;
    }

    // The shown total is estimated from LF bytes only, as users of earlier
    // versions know it; CR-only texts therefore count past it.
    size_t lfCount = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    if (!text.empty() && text.front() == '\n') --lfCount;
    long long total = 1 + static_cast<long long>(lfCount);
    const std::string pattern = Gbk("加入书籍 格式化(%d/%d) %2d%%");

    std::string out = FormatLines(text, [&](int lineNumber, size_t) {
        if (!progress) return;
        progress(Format(pattern.c_str(), lineNumber, static_cast<int>(total),
                        static_cast<int>(100LL * lineNumber / total)));
    });

    if (!dest.Write(out) || !dest.Commit()) {
        // A full disk or a name the file system refuses shows up only now;
        // reporting success would leave the user without the book.
        messenger.Inform(Gbk("结果目录不正确或书籍名字非法"));
        return 2;
    }
    return 0;
}

}  // namespace quillon
