#include "core/downloader/start_addresses.h"

#include "core/config/tag_file.h"

namespace quillon {

StartAddresses LoadStartAddresses(const std::string& path) {
    StartAddresses result{kBuiltInTopUrl, kBuiltInDefaultUrl};
    RawTagReader reader;
    if (reader.Open(path) != 0) return result;
    std::string line;
    if (reader.FindKey("[TOP_URL]", line) == 0 && reader.NextValue(line) == 0) {
        result.topUrl = line;
    }
    if (reader.FindKey("[DEFAULT_URL]", line) == 0 && reader.NextValue(line) == 0) {
        result.defaultUrl = line;
    }
    return result;
}

}  // namespace quillon
