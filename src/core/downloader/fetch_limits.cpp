#include "core/downloader/fetch_limits.h"

#include <cerrno>
#include <cstdlib>

#include "core/config/tag_file.h"
#include "core/platform/program_folder.h"

namespace quillon {

namespace {

// The value as a number in [1, max], or 0 when it is anything else.
long long PositiveValue(TagFile& tags, std::string_view key, long long max) {
    const std::string text = tags.GetValue(key);
    if (text.empty()) return 0;
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < 1 || value > max) return 0;
    return value;
}

}  // namespace

std::string FetchLimitsPath() { return GetProgramFolder() + "data/fetch_limits.txt"; }

FetchOptions LoadFetchLimits(const std::string& path) {
    FetchOptions options;
    TagFile tags;
    if (tags.Open(path) != 0) return options;
    // Up to 1 TiB and a day: beyond that a limit is no limit.
    if (long long mib = PositiveValue(tags, "[MAX_PAGE_MIB]", 1024 * 1024))
        options.maxPageBytes = mib * 1024 * 1024;
    if (long long seconds = PositiveValue(tags, "[DEADLINE_SECONDS]", 24 * 3600))
        options.deadlineSeconds = static_cast<long>(seconds);
    return options;
}

}  // namespace quillon
