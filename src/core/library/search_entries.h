#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The bookshelf's web-search entries: the lines between [SEARCH_BEGIN] and
// [SEARCH_END] of the program tag file, each name*address*search-box text*...*
// (GBK). A name holding '#' is the program's own novel-index search, a name
// holding '!' an address opened as it stands; any other address is a
// pattern whose "%s" receives the encoded query.

inline constexpr int kSearchEntryCapacity = 100;

enum class SearchKind { InProgram, Unchanged, Pattern };

class SearchEntries final {
public:
    // Reads the block from the program-wide tag file.
    void LoadFromProgramTagFile();
    void SetLines(std::vector<std::string> lines) { lines_ = std::move(lines); }

    // Field 0 of every line holding at least two '*', in block order: the
    // combo box's items.
    std::vector<std::string> Names() const;
    // Index into Names() of the last name holding '#', else 0.
    int InitialSelection() const;

    // The fields of the first line whose field 0 equals `name` (split at '*',
    // untrimmed, text after the last '*' dropped); empty when there is none.
    std::vector<std::string> Find(std::string_view name) const;

private:
    std::vector<std::string> lines_;
};

SearchKind SearchKindOf(std::string_view name);

// `pattern` with its first "%s" replaced by `encodedQuery`. Only that one
// place is filled: the pattern comes from a downloaded file, and treating it
// as a printf format would let any other '%' in it read past the arguments.
std::string FillSearchAddress(std::string_view pattern, std::string_view encodedQuery);

}  // namespace quillon
