// Loads an arbitrary bookmark file, saves it, and loads it again: the list
// survives the round trip entry for entry, and every position reads.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/platform/program_folder.h"
#include "core/reader/bookmarks.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("QUILLON_HOME", quillon::fuzz::ScratchFolder().c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    using fuzz::Check;
    const std::string path = Bookmarks::FilePath("fuzz");
    EnsureFolders(path);
    Check(WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(data), size)));

    Bookmarks first;
    first.Load("fuzz");
    for (size_t i = 1; i <= first.entries().size(); ++i) Check(first.JumpTarget(static_cast<int>(i)).has_value());
    Check(first.Save());
    Bookmarks second;
    second.Load("fuzz");
    Check(second.entries() == first.entries());
    return 0;
}
