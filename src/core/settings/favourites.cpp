#include "core/settings/favourites.h"

#include <algorithm>

#include "core/text/address.h"

namespace {

auto FindFavourite(const std::vector<FavouriteServer>& favourites, uint32_t addr, uint16_t port) {
    return std::find_if(favourites.begin(), favourites.end(),
                        [&](const FavouriteServer& server) { return server.addr == addr && server.port == port; });
}

} // namespace

size_t ParseFavourites(const std::vector<std::u16string>& strings, std::vector<FavouriteServer>* favourites) {
    favourites->clear();
    size_t leftOut = 0;
    for (const std::u16string& text : strings) {
        uint32_t addr = 0;
        uint16_t port = 0;
        if (!ParseServerAddress(text, &addr, &port) || !AddFavourite(favourites, addr, port)) {
            ++leftOut;
        }
    }
    return leftOut;
}

std::vector<std::u16string> FormatFavourites(const std::vector<FavouriteServer>& favourites) {
    std::vector<std::u16string> strings;
    for (const FavouriteServer& server : favourites) {
        char16_t text[32];
        FormatServerAddress(text, 32, server.addr, server.port);
        strings.emplace_back(text);
    }
    return strings;
}

bool IsFavourite(const std::vector<FavouriteServer>& favourites, uint32_t addr, uint16_t port) {
    return FindFavourite(favourites, addr, port) != favourites.end();
}

bool AddFavourite(std::vector<FavouriteServer>* favourites, uint32_t addr, uint16_t port) {
    if (port == 0 || IsFavourite(*favourites, addr, port)) {
        return false;
    }
    favourites->push_back({addr, port});
    return true;
}

bool RemoveFavourite(std::vector<FavouriteServer>* favourites, uint32_t addr, uint16_t port) {
    auto found = FindFavourite(*favourites, addr, port);
    if (found == favourites->end()) {
        return false;
    }
    favourites->erase(found);
    return true;
}
