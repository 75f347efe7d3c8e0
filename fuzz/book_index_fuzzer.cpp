// Feeds arbitrary bytes to the novel-index reader, whose files arrive with
// the data updates, and checks what it promises whatever the input: no read
// past the bytes (the sanitizers see that), no more records than the bytes
// can hold or the header announces, every string within its limit, and a
// search over the result ends.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/net/book_index.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    // An exact-size copy, so that a read one byte too far is caught.
    std::string bytes(reinterpret_cast<const char*>(data), size);

    BookIndexFile file;
    int rc = file.Parse(bytes);
    Check(rc == 0 || rc == 1);
    if (rc == 1) {
        Check(file.count() == 0);
        return 0;
    }
    Check(file.count() <= file.declared());
    // Header (at least 4 + 4 + 9 + 4 bytes) and 8 bytes per record at least.
    Check(21 + static_cast<size_t>(file.count()) * 8 <= size);
    Check(!file.sites().empty());
    for (const BookIndexRecord& r : file.records()) {
        Check(r.url.size() <= static_cast<size_t>(kBookIndexMaxString));
        Check(r.title.size() <= static_cast<size_t>(kBookIndexMaxString));
        Check(r.site >= 0 && static_cast<size_t>(r.site) < file.sites().size());
    }

    // The first title doubles as a query.
    std::string query = file.count() > 0 ? file.records()[0].title : std::string("a b");
    int rows = 0;
    file.Search(SplitSearchWords(query), [&](BookSearchRow&&) { return ++rows <= file.count(); });
    Check(rows <= file.count());
    return 0;
}
