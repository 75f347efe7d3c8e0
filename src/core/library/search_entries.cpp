#include "core/library/search_entries.h"

#include <algorithm>

#include "core/config/tag_file.h"
#include "core/text/byte_string.h"

namespace quillon {

void SearchEntries::LoadFromProgramTagFile() {
    lines_.clear();
    ProgramTagFile().GetBlock("[SEARCH_BEGIN]", "[SEARCH_END]", lines_, kSearchEntryCapacity);
}

std::vector<std::string> SearchEntries::Names() const {
    std::vector<std::string> names;
    for (const std::string& line : lines_) {
        if (std::count(line.begin(), line.end(), '*') < 2) continue;
        names.push_back(line.substr(0, line.find('*')));
    }
    return names;
}

int SearchEntries::InitialSelection() const {
    std::vector<std::string> names = Names();
    int selection = 0;
    for (size_t i = 0; i < names.size(); ++i)
        if (FindGbk(names[i], "#") != std::string_view::npos) selection = static_cast<int>(i);
    return selection;
}

std::vector<std::string> SearchEntries::Find(std::string_view name) const {
    for (const std::string& line : lines_) {
        FieldSplitter fields;
        fields.Split(line, '*', false);
        if (fields.count() > 0 && fields[0] == name) return fields.fields();
    }
    return {};
}

SearchKind SearchKindOf(std::string_view name) {
    if (FindGbk(name, "#") != std::string_view::npos) return SearchKind::InProgram;
    if (FindGbk(name, "!") != std::string_view::npos) return SearchKind::Unchanged;
    return SearchKind::Pattern;
}

std::string FillSearchAddress(std::string_view pattern, std::string_view encodedQuery) {
    size_t at = pattern.find("%s");
    if (at == std::string_view::npos) return std::string(pattern);
    std::string out(pattern.substr(0, at));
    out += encodedQuery;
    out += pattern.substr(at + 2);
    return out;
}

}  // namespace quillon
