// Reads an arbitrary favourites file (and the same bytes as the tag file
// with the recommended list): what was read survives a save and a new read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/net/favourites_store.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon;
    using fuzz::Check;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzz::WriteScratch("favourites.txt", bytes);
    std::vector<Favourite> first;
    Check(LoadUserFavourites(path, first) == FavouritesLoad::Loaded);
    Check(SaveUserFavourites(path, first));
    std::vector<Favourite> second;
    Check(LoadUserFavourites(path, second) == FavouritesLoad::Loaded);
    Check(second.size() == first.size());
    for (size_t i = 0; i < first.size(); ++i) {
        Check(first[i].description == second[i].description && first[i].url == second[i].url);
    }
    Check(LoadRecommendedFavourites(path).size() <= 100);
    return 0;
}
