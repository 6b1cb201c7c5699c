// The favourite servers: queried in every run whatever the masters answer. Stored as one "a.b.c.d:port" string
// each (a multi-string value). Portable (no Win32); the user interface thread owns the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FavouriteServer {
    uint32_t addr; // network byte order
    uint16_t port; // host byte order, 1 to 65535
};

// The stored strings, in order; a string that is not exactly "a.b.c.d:port" (ParseServerAddress) and a repeat of
// an earlier favourite are left out, never guessed at. Replaces `favourites`; returns how many strings were left out.
size_t ParseFavourites(const std::vector<std::u16string>& strings, std::vector<FavouriteServer>* favourites);

std::vector<std::u16string> FormatFavourites(const std::vector<FavouriteServer>& favourites);

// Whether the server is among the favourites.
bool IsFavourite(const std::vector<FavouriteServer>& favourites, uint32_t addr, uint16_t port);

// Adds the server at the end; false when it is there already or its port is 0.
bool AddFavourite(std::vector<FavouriteServer>* favourites, uint32_t addr, uint16_t port);

// Removes the server; false when it was not there.
bool RemoveFavourite(std::vector<FavouriteServer>* favourites, uint32_t addr, uint16_t port);
