#include "core/aids/word_dictionary.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/config/record_file.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"

namespace quillon {

namespace {

constexpr unsigned char kKey = 0x6D;
constexpr std::string_view kMagic = "BDC-100";
// A record is at most 1023 bytes in files made for this format; anything
// much longer means the length field is damaged, and reading it would only
// swallow the rest of the file.
constexpr int32_t kMaxRecord = 64 * 1024;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool ReadInt32(std::FILE* f, int32_t& value) {
    unsigned char b[4];
    if (std::fread(b, 1, 4, f) != 4) return false;
    value = GetInt32LE(b);
    return true;
}

struct Ending {
    std::string_view ending;
    std::string_view replacement;
};

// Tried in this order, each on the word as clicked. "tion" gives back the
// verb ("creation" - "create").
constexpr Ending kEndings[] = {
    {"s", ""},   {"es", ""},  {"ies", "y"},  {"ing", ""},    {"ing", "e"}, {"d", ""},
    {"ed", ""},  {"ed", "e"}, {"er", ""},    {"est", ""},    {"ness", ""}, {"iness", "y"},
    {"ly", ""},  {"ly", "e"}, {"tion", "te"}, {"y", ""},
};

}  // namespace

DictionaryEntry ParseDictionaryRecord(std::string_view record) {
    DictionaryEntry e;
    std::string* fields[] = {&e.headword, &e.panelText, &e.meaning};
    size_t at = 0;
    for (std::string* field : fields) {
        const size_t tab = record.find('\t', at);
        if (tab == std::string_view::npos) break;
        *field = std::string(record.substr(at, tab - at));
        at = tab + 1;
    }
    return e;
}

std::string BuildDictionaryFile(const std::vector<DictionaryEntry>& entries) {
    std::string out(kMagic);
    unsigned char n[4];
    PutInt32LE(n, static_cast<int32_t>(entries.size()));
    out.append(reinterpret_cast<char*>(n), 4);
    for (const DictionaryEntry& e : entries) {
        std::string record = e.headword + '\t' + e.panelText + '\t' + e.meaning + '\t';
        for (char& c : record) c = static_cast<char>(static_cast<unsigned char>(c) ^ kKey);
        PutInt32LE(n, static_cast<int32_t>(record.size()));
        out.append(reinterpret_cast<char*>(n), 4);
        out += record;
    }
    return out;
}

void Dictionary::Load(const std::string& path) {
    loaded_ = true;
    entries_.clear();
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) return;
    char magic[7];
    if (std::fread(magic, 1, 7, f.get()) != 7 ||
        !EqualsIgnoreCase(std::string_view(magic, 7), kMagic))
        return;
    int32_t count = 0;
    if (!ReadInt32(f.get(), count) || count <= 0) return;
    // The count is not trusted for the allocation: a damaged one could ask
    // for gigabytes.
    entries_.reserve(static_cast<size_t>(std::min<int32_t>(count, 1 << 16)));
    std::string record;
    for (int32_t i = 0; i < count; ++i) {
        int32_t length = 0;
        if (!ReadInt32(f.get(), length) || length < 0 || length > kMaxRecord) break;
        record.resize(static_cast<size_t>(length));
        if (length > 0 && std::fread(record.data(), 1, record.size(), f.get()) != record.size())
            break;
        for (char& c : record) c = static_cast<char>(static_cast<unsigned char>(c) ^ kKey);
        entries_.push_back(ParseDictionaryRecord(record));
    }
}

void Dictionary::EnsureLoaded() {
    if (!loaded_) Load(GetProgramFolder() + "data/eng3.db");
}

Dictionary& Dictionary::Program() {
    static Dictionary dictionary;
    return dictionary;
}

const DictionaryEntry* Dictionary::Find(std::string_view headword) const {
    for (const DictionaryEntry& e : entries_)
        if (EqualsIgnoreCase(e.headword, headword)) return &e;
    return nullptr;
}

int Dictionary::Lookup(LookupResult& result) {
    EnsureLoaded();
    const std::string& q = result.query;
    auto take = [&](const DictionaryEntry* e, std::string found) {
        result.found = std::move(found);
        result.panelText = e->panelText;
        result.meaning = e->meaning;
        return 0;
    };
    if (q.empty()) return 1;
    if (const DictionaryEntry* e = Find(q)) return take(e, q);
    for (const Ending& rule : kEndings) {
        if (q.size() <= rule.ending.size()) continue;
        const std::string_view tail = std::string_view(q).substr(q.size() - rule.ending.size());
        if (!EqualsIgnoreCase(tail, rule.ending)) continue;
        std::string candidate = q.substr(0, q.size() - rule.ending.size());
        candidate += rule.replacement;
        if (const DictionaryEntry* e = Find(candidate)) return take(e, candidate);
    }
    for (std::string_view prefix : {std::string_view("un"), std::string_view("dis")}) {
        if (q.size() <= prefix.size() || !StartsWithIgnoreCase(q, prefix)) continue;
        std::string candidate = q.substr(prefix.size());
        if (const DictionaryEntry* e = Find(candidate)) return take(e, candidate);
    }
    return 1;
}

std::vector<PanelRun> CutPanelRuns(std::string_view text) {
    std::vector<PanelRun> runs;
    size_t i = 0;
    while (i < text.size() && runs.size() < 10) {
        const bool gbk = static_cast<unsigned char>(text[i]) >= 0x80;
        const size_t start = i;
        if (gbk) {
            while (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x80)
                i += std::min<size_t>(2, text.size() - i);
        } else {
            while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
        }
        runs.push_back({std::string(text.substr(start, i - start)), gbk});
    }
    return runs;
}

}  // namespace quillon
