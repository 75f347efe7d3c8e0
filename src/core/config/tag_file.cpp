#include "core/config/tag_file.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "core/platform/file_io.h"
#include "core/text/byte_string.h"

namespace quillon {

namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

bool IsComment(std::string_view line) { return line.size() >= 2 && line[0] == '/' && line[1] == '/'; }

std::string_view UpToNul(std::string_view s) {
    size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

}  // namespace

// ---- TagText ----

int TagText::Load(const std::string& path) {
    std::string bytes;
    text_.clear();
    cursor_ = 0;
    if (!ReadWholeFile(path, bytes)) return 1;
    SetText(bytes);
    return 0;
}

void TagText::SetText(std::string_view text) {
    text_.assign(UpToNul(text));
    cursor_ = 0;
}

int TagText::NextLine(std::string& out) {
    if (cursor_ >= text_.size()) return 1;
    size_t e = cursor_;
    while (e < text_.size() && !IsLineBreak(text_[e])) ++e;
    out.assign(TrimAscii(std::string_view(text_).substr(cursor_, e - cursor_)));
    while (e < text_.size() && IsLineBreak(text_[e])) ++e;
    cursor_ = e;
    return 0;
}

int TagText::FindLine(std::string_view key, std::string& out) {
    std::string line;
    while (NextLine(line) == 0) {
        if (EqualsIgnoreCase(line, key)) {
            out = line;
            return 0;
        }
    }
    return 1;
}

int TagText::NextValue(std::string& out) {
    std::string line;
    while (NextLine(line) == 0) {
        if (!IsComment(line)) {
            out = line;
            return 0;
        }
    }
    return 1;
}

void TagText::AppendLine(std::string_view s) {
    text_.append(s);
    text_.append("\r\n");
}

int TagText::Save(const std::string& path) const { return WriteFileAtomically(path, text_) ? 0 : 1; }

// ---- TagFile ----

int TagFile::Open(const std::string& path) {
    TagText loaded;
    int rc = loaded.Load(path);
    std::lock_guard lock(mutex_);
    text_ = std::move(loaded);
    return rc;
}

void TagFile::SetText(std::string_view text) {
    std::lock_guard lock(mutex_);
    text_.SetText(text);
}

std::string TagFile::GetValue(std::string_view key) {
    std::lock_guard lock(mutex_);
    text_.Rewind();
    std::string line;
    if (text_.FindLine(key, line) != 0) return std::string();
    if (text_.NextValue(line) != 0) return std::string();
    return line;
}

int TagFile::GetBlock(std::string_view beginKey, std::string_view endKey,
                      std::vector<std::string>& lines, int capacity) {
    lines.clear();
    std::lock_guard lock(mutex_);
    text_.Rewind();
    std::string line;
    if (text_.FindLine(beginKey, line) != 0) return 0;
    while (static_cast<int>(lines.size()) < capacity && text_.NextValue(line) == 0) {
        if (line == endKey) break;
        lines.push_back(line);
    }
    return static_cast<int>(lines.size());
}

TagFile& ProgramTagFile() {
    static TagFile instance;
    return instance;
}

// ---- RawTagReader ----

int RawTagReader::Open(const std::string& path) {
    buffer_.clear();
    cursor_ = 0;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 1;
    struct stat st{};
    if (fstat(fileno(f), &st) != 0 || st.st_size < 0) {
        std::fclose(f);
        return 2;
    }
    std::string bytes(static_cast<size_t>(st.st_size), '\0');
    size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), f);
    bool failed = got != bytes.size();
    std::fclose(f);
    if (failed) return 3;
    SetText(bytes);
    return 0;
}

void RawTagReader::SetText(std::string_view text) {
    buffer_.assign(text);
    buffer_.push_back('\0');
    cursor_ = 0;
}

int RawTagReader::ReadLine(std::string& line) {
    if (buffer_.empty() || buffer_[cursor_] == '\0') return 1;
    size_t e = cursor_;
    while (buffer_[e] != '\0' && !IsLineBreak(buffer_[e])) ++e;
    line.assign(buffer_, cursor_, e - cursor_);
    while (IsLineBreak(buffer_[e])) ++e;
    cursor_ = e;
    return 0;
}

int RawTagReader::FindKey(std::string_view key, std::string& line) {
    while (ReadLine(line) == 0) {
        if (StartsWithIgnoreCase(line, key)) return 0;
    }
    return 1;
}

int RawTagReader::NextValue(std::string& line) {
    while (ReadLine(line) == 0) {
        if (!IsComment(line)) return 0;
    }
    return 1;
}

// ---- FieldSplitter ----

int FieldSplitter::Split(std::string_view text, char delimiter, bool trim) {
    fields_.clear();
    size_t start = 0;
    while (true) {
        size_t d = text.find(delimiter, start);
        if (d == std::string_view::npos) break;
        std::string_view field = text.substr(start, d - start);
        fields_.emplace_back(trim ? TrimAscii(field) : field);
        start = d + 1;
    }
    return count();
}

const std::string& FieldSplitter::operator[](int i) const {
    static const std::string empty;
    if (i < 0 || i >= count()) return empty;
    return fields_[static_cast<size_t>(i)];
}

}  // namespace quillon
