// The web page of the listed servers and their players ("/" and "/?mod=DIR" without raw): plain HTML with a little
// inline CSS, no script and nothing fetched from elsewhere, readable on a phone. Sorting by a column and paging are
// links; every text a server sent is escaped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "answer_cache.h"

namespace skerrow_master {

constexpr size_t SERVERS_PER_PAGE = 100;

enum class PageSort { Players, Name, Address, Map, Mod, Checked };

struct PageQuery {
    std::string mod; // the game directory, decoded; empty: every mod
    PageSort sort = PageSort::Players;
    size_t page = 1; // from 1
};

// Takes one parameter of the page's query ("mod", "sort", "page"); false for any other name or a bad value.
bool TakePageParameter(std::string_view name, std::string_view value, PageQuery* query);
// What tells one page from another in the answer cache.
std::string PageKey(const PageQuery& query);
std::string BuildServerPage(const ListPicture& picture, const PageQuery& query);

} // namespace skerrow_master
