// Reads an arbitrary English dictionary file and looks words up in it: the
// whole records read come back the same from a file built of them, and each
// headword is found.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/aids/word_dictionary.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    using fuzz::Check;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Dictionary first;
    first.Load(fuzz::WriteScratch("eng3.db", bytes));

    Dictionary second;
    second.Load(fuzz::WriteScratch("eng3.again", BuildDictionaryFile(first.entries())));
    Check(second.entries().size() == first.entries().size());
    for (size_t i = 0; i < first.entries().size() && i < 8; ++i) {
        const DictionaryEntry& a = first.entries()[i];
        const DictionaryEntry& b = second.entries()[i];
        Check(a.headword == b.headword && a.panelText == b.panelText && a.meaning == b.meaning);
        LookupResult r{a.headword, {}, {}, {}};
        first.Lookup(r);
    }
    CutPanelRuns(bytes.substr(0, 512));
    return 0;
}
