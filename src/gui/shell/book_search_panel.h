#pragma once

namespace quillon {

// Makes the novel-index search the page hosts' search panel: results open
// as tabs of the host's frame, and a search retitles the host's tab.
void RegisterBookSearchPanel();

}  // namespace quillon
