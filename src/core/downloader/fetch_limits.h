#pragma once

#include <string>

#include "core/downloader/page_fetcher.h"

namespace quillon {

// The limits every page fetch of the downloader keeps, from
// data/fetch_limits.txt in the program folder, a tag file the user may write:
//
//   [MAX_PAGE_MIB]       largest page held, in MiB (default 64)
//   [DEADLINE_SECONDS]   longest a request may take, in seconds (default 120)
//
// A missing file, key or a value that is not a positive number keeps the
// default, so a damaged file never lifts a limit.
std::string FetchLimitsPath();
FetchOptions LoadFetchLimits(const std::string& path = FetchLimitsPath());

}  // namespace quillon
