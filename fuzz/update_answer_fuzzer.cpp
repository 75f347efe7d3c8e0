// Reads an arbitrary update answer as the update check does: the server
// address, and the file list between its markers. A listed path the update
// would write is always relative, inside the program folder.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/config/tag_file.h"
#include "core/net/update_checker.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    using fuzz::Check;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    TagFile tags;
    tags.SetText(bytes);
    std::string server = UpdateServerAddress(tags);
    VersionQueryUrl(server, 530);

    RawTagReader list;
    list.SetText(bytes);
    std::string line;
    if (list.FindKey("[FILE_LIST_BEGIN]", line) != 0) return 0;
    for (int lines = 0; lines < 1000 && list.ReadLine(line) == 0; ++lines) {
        if (line == "[FILE_LIST_END]") break;
        UpdateFileEntry entry;
        if (!ParseFileListLine(line, entry)) continue;
        Check(entry.digest.size() == 32);
        std::string destination = UpdateDestination(entry.path);
        if (destination.empty()) continue;
        Check(destination[0] != '/');
        Check(destination.find('\\') == std::string::npos);
        Check(destination != ".." && destination.rfind("../", 0) != 0);
        Check(destination.find("/../") == std::string::npos);
        Check(destination.size() < 3 || destination.compare(destination.size() - 3, 3, "/..") != 0);
    }
    return 0;
}
