#include "windows/views/main_anchors.h"

#include "resource.h"

// The server list takes the new room; the player list moves down and widens; buttons and filters keep to the bottom
// right corner.
const SizerAnchor MainAnchors[] = {
    {IDC_CONFIG, SIZER_MOVE_X | SIZER_MOVE_Y},
    {IDC_UPDATE, SIZER_MOVE_X | SIZER_MOVE_Y},
    {IDC_EXIT, SIZER_MOVE_X | SIZER_MOVE_Y},
    {IDC_SERVER_LIST, SIZER_GROW_X | SIZER_GROW_Y},
    {IDC_PLAYER_LIST, SIZER_MOVE_Y | SIZER_GROW_X},
    {IDC_SERVERS_GROUP, SIZER_GROW_X | SIZER_GROW_Y},
    {IDC_PLAYERS_GROUP, SIZER_MOVE_Y | SIZER_GROW_X},
    {IDC_CONTROLS_GROUP, SIZER_MOVE_X | SIZER_MOVE_Y},
    {IDC_STATUS_BAR, SIZER_MOVE_X | SIZER_MOVE_Y | SIZER_GROW_X},
    {IDC_SHOW_EMPTY, SIZER_MOVE_X | SIZER_MOVE_Y},
    {IDC_SHOW_FULL, SIZER_MOVE_X | SIZER_MOVE_Y},
    {IDC_FILTERS_GROUP, SIZER_MOVE_X | SIZER_MOVE_Y},
    {IDC_MOD_FILTER, SIZER_MOVE_X | SIZER_MOVE_Y},
    {IDC_MOD_LABEL, SIZER_MOVE_X | SIZER_MOVE_Y},
    // Finding a game: with the filters
    {IDC_SEARCH_LABEL, SIZER_MOVE_X | SIZER_MOVE_Y},
    {IDC_SEARCH, SIZER_MOVE_X | SIZER_MOVE_Y},
    {IDC_SHOW_LABEL, SIZER_MOVE_X | SIZER_MOVE_Y},
    {IDC_SHOW, SIZER_MOVE_X | SIZER_MOVE_Y},
    {-1, SIZER_END_FLAGS},
};
