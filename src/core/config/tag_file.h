#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Readers of the tag-file format of data/main.htm: GBK text whose lines are
// separated by runs of CR and LF; a line "[KEY]" is followed by its value
// line; lines beginning with "//" are comments wherever a value is expected.

// String reader with trimming. Holds the whole text and a byte cursor.
class TagText final {
public:
    // 1 when the file cannot be opened (text left empty); else the text is the
    // file's bytes up to its first NUL, the cursor is at 0, and 0 is returned.
    int Load(const std::string& path);
    // Sets the text directly (up to its first NUL), cursor at 0.
    void SetText(std::string_view text);

    // 1 at the end (out unchanged). Else out is the trimmed line at the
    // cursor, and the cursor moves past the run of CR/LF that follows.
    int NextLine(std::string& out);
    // Reads lines until one equals `key` ignoring ASCII case; 0 found (cursor
    // after it), 1 at the end. Continues from the cursor; no rewind.
    int FindLine(std::string_view key, std::string& out);
    // Reads lines until one that does not begin with "//"; 0 found, 1 at end.
    int NextValue(std::string& out);
    void Rewind() { cursor_ = 0; }
    void AppendLine(std::string_view s);
    // 1 when the file cannot be created, else 0.
    int Save(const std::string& path) const;

    const std::string& text() const { return text_; }
    size_t cursor() const { return cursor_; }

private:
    std::string text_;
    size_t cursor_ = 0;
};

// A TagText whose lookups each start from the beginning of the text.
// Lookups and loads are serialised by a lock, so the program-wide instance
// may be reloaded by a worker while the interface reads it.
class TagFile final {
public:
    int Open(const std::string& path);
    void SetText(std::string_view text);
    // The value line after `key`, or "" when the key or its value is missing.
    std::string GetValue(std::string_view key);
    // The value lines after `beginKey` up to (not including) a line equal to
    // `endKey` exactly (case-sensitive), the end of the text, or `capacity`
    // lines. `lines` receives them; returns their number (0 when the begin
    // key is missing).
    int GetBlock(std::string_view beginKey, std::string_view endKey,
                 std::vector<std::string>& lines, int capacity);

private:
    std::mutex mutex_;
    TagText text_;
};

// The program-wide tag file, loaded by the bookshelf and reloaded by the
// update worker. Starts empty (every lookup yields "").
TagFile& ProgramTagFile();

// Byte reader without trimming, over the whole file plus a terminating zero.
// Lines are returned as owned strings, so no line length can overflow
// anything.
class RawTagReader final {
public:
    // 0 ok; 1 cannot be opened; 2 size cannot be read; 3 reading failed.
    int Open(const std::string& path);
    void SetText(std::string_view text);
    // 1 when there is no text or the cursor is on the terminating zero. Else
    // `line` gets the bytes up to the next CR, LF or zero, untrimmed, and the
    // cursor moves past the run of CR/LF that follows.
    int ReadLine(std::string& line);
    // Reads lines until one begins with `key` (ASCII case ignored over the
    // key's length; trailing text allowed, leading spaces not). 0 found.
    int FindKey(std::string_view key, std::string& line);
    // Reads lines until one not beginning with "//". 0 found, 1 at the end.
    int NextValue(std::string& line);
    void Rewind() { cursor_ = 0; }

private:
    std::string buffer_;  // the bytes plus one zero byte; empty when closed
    size_t cursor_ = 0;
};

// Cuts a record into the fields that precede each delimiter; text after the
// last delimiter is dropped ("a*b*c" gives a and b).
class FieldSplitter final {
public:
    int Split(std::string_view text, char delimiter, bool trim);
    int count() const { return static_cast<int>(fields_.size()); }
    // The i-th field, or "" when there is none.
    const std::string& operator[](int i) const;
    const std::vector<std::string>& fields() const { return fields_; }

private:
    std::vector<std::string> fields_;
};

}  // namespace quillon
