#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The English-Chinese dictionary of data/eng3.db. File: the 7-byte magic
// "BDC-100" (any case), an int32 count, then per record an int32 length and
// that many bytes, each XOR 0x6D; unscrambled, a record is GBK
// "headword TAB panelText TAB meaning TAB".
struct DictionaryEntry {
    std::string headword;
    std::string panelText;  // pronunciation and a short gloss
    std::string meaning;
};

struct LookupResult {
    std::string query;
    std::string found;  // the form that is a headword
    std::string panelText;
    std::string meaning;
};

class Dictionary final {
public:
    // Reads the file once; a missing, foreign or damaged file leaves the
    // dictionary with whatever whole records came before the damage.
    void Load(const std::string& path);
    // Loads <program folder>data/eng3.db on first use; never retried.
    void EnsureLoaded();

    // 0 when found (result filled), 1 when not: the exact form, then
    // common endings removed, then the prefixes "un" and "dis".
    int Lookup(LookupResult& result);

    bool loaded() const { return loaded_; }
    int32_t count() const { return static_cast<int32_t>(entries_.size()); }
    const std::vector<DictionaryEntry>& entries() const { return entries_; }

    // The program's one dictionary.
    static Dictionary& Program();

private:
    const DictionaryEntry* Find(std::string_view headword) const;

    bool loaded_ = false;
    std::vector<DictionaryEntry> entries_;
};

// Splits one unscrambled record into its three TAB-ended fields; a field
// without its closing TAB reads as empty.
DictionaryEntry ParseDictionaryRecord(std::string_view record);

// The file bytes of a dictionary of `entries`, as Load reads them.
std::string BuildDictionaryFile(const std::vector<DictionaryEntry>& entries);

// A run of the panel text drawn in one font: GBK characters, or single-byte
// (phonetic) characters.
struct PanelRun {
    std::string text;
    bool gbk = false;
};
// At most 10 runs cut from the front of `panelText`.
std::vector<PanelRun> CutPanelRuns(std::string_view panelText);

}  // namespace quillon
