#pragma once

namespace quillon {

// Lets the main frame's favourites command show the favourites dialog; its
// addresses open in new tabs of that frame, each made current.
void RegisterFavouritesDialog();

}  // namespace quillon
