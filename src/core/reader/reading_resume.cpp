#include "core/reader/reading_resume.h"

#include <cstdio>

#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/reader/bookmarks.h"

namespace quillon {

namespace {

// Digits only, no sign, no blanks, at most 10 of them within 32 bits: a
// position file says exactly one thing or nothing.
std::optional<int64_t> StrictNumber(std::string_view s) {
    if (s.empty() || s.size() > 10) return std::nullopt;
    int64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Lines split at LF with a trailing CR dropped, so a file touched by an
// editor that writes CR LF still reads.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const size_t lf = bytes.find('\n');
        std::string_view line = bytes.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (lf == std::string_view::npos) break;
        bytes.remove_prefix(lf + 1);
    }
    return lines;
}

std::string_view ValueOf(std::string_view line, std::string_view key) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key) return {};
    return line.substr(key.size());
}

bool MoveIfFree(const std::string& from, const std::string& to) {
    if (!FileExists(from) || FileExists(to)) return true;
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

std::string ReadingPosition::FilePath(std::string_view bookName) {
    std::string path = Bookmarks::FilePath(bookName);
    path.replace(path.size() - 4, 4, ".pos");
    return path;
}

std::string ReadingPosition::Format(int32_t offset) {
    return "offset=" + std::to_string(offset < 0 ? 0 : offset) + "\nend\n";
}

std::optional<int32_t> ReadingPosition::Parse(std::string_view bytes) {
    const std::vector<std::string_view> lines = SplitLines(bytes);
    if (lines.size() != 2 || lines[1] != "end") return std::nullopt;
    const std::optional<int64_t> value = StrictNumber(ValueOf(lines[0], "offset="));
    if (!value || *value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(*value);
}

std::optional<int32_t> ReadingPosition::Load(std::string_view bookName) {
    std::string bytes;
    if (!ReadWholeFile(FilePath(bookName), bytes)) return std::nullopt;
    return Parse(bytes);
}

bool ReadingPosition::Save(std::string_view bookName, int32_t offset) {
    return WriteFileAtomically(FilePath(bookName), Format(offset));
}

bool CarryBookState(std::string_view oldName, std::string_view newName) {
    const bool marks = MoveIfFree(Bookmarks::FilePath(oldName), Bookmarks::FilePath(newName));
    const bool position =
        MoveIfFree(ReadingPosition::FilePath(oldName), ReadingPosition::FilePath(newName));
    return marks && position;
}

std::string ResumeSettings::FilePath() { return GetProgramFolder() + "data/resume.ini"; }

ResumeSettings ResumeSettings::Load() {
    ResumeSettings settings;
    std::string bytes;
    if (!ReadWholeFile(FilePath(), bytes)) return settings;
    for (std::string_view line : SplitLines(bytes)) {
        if (std::string_view v = ValueOf(line, "resumePosition="); !v.empty())
            settings.resumePosition = v != "0";
        if (std::string_view v = ValueOf(line, "reopenBooks="); !v.empty())
            settings.reopenBooks = v != "0";
    }
    return settings;
}

bool ResumeSettings::Save() const {
    std::string bytes = "resumePosition=";
    bytes += resumePosition ? "1\n" : "0\n";
    bytes += "reopenBooks=";
    bytes += reopenBooks ? "1\n" : "0\n";
    return WriteFileAtomically(FilePath(), bytes);
}

std::string OpenBooks::FilePath() { return GetProgramFolder() + "data/opentabs.txt"; }

OpenBooks OpenBooks::Load() {
    OpenBooks open;
    std::string bytes;
    if (!ReadWholeFile(FilePath(), bytes)) return open;
    for (std::string_view line : SplitLines(bytes)) {
        if (std::string_view v = ValueOf(line, "book="); !v.empty()) {
            open.books.emplace_back(v);
        } else if (std::optional<int64_t> n = StrictNumber(ValueOf(line, "current="))) {
            open.current = static_cast<int>(*n);
        }
    }
    if (open.current >= static_cast<int>(open.books.size())) open.current = -1;
    return open;
}

bool OpenBooks::Save() const {
    std::string bytes = "current=" + std::to_string(current < 0 ? -1 : current) + "\n";
    for (const std::string& book : books) {
        // A line break in a name would split it into two entries.
        if (book.find_first_of("\r\n") != std::string::npos) continue;
        bytes += "book=" + book + "\n";
    }
    return WriteFileAtomically(FilePath(), bytes);
}

}  // namespace quillon
