// Unpacks the first entry of arbitrary archives: a failure leaves nothing
// behind, a success leaves exactly the one file beside the archive.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <unistd.h>

#include "core/net/update_archive.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    using fuzz::Check;
    const std::string archive =
        fuzz::WriteScratch("update.zip", std::string_view(reinterpret_cast<const char*>(data), size));
    std::string extracted = "left over";
    int rc = ExtractFirstEntry(archive, extracted);
    if (rc == 0) {
        Check(extracted == archive + ".entry");
        Check(FileSize(extracted) >= 0 && static_cast<uint64_t>(FileSize(extracted)) <= kMaxExtractedBytes);
        unlink(extracted.c_str());
    } else {
        Check(extracted.empty());
        Check(!FileExists(archive + ".entry"));
    }
    return 0;
}
