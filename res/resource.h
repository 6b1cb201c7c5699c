// Resource and control identifiers, shared by skerrow.rc and the code.
#pragma once

// Dialog templates
#define IDD_CONFIG 164
#define IDD_MAIN 165
#define IDD_SERVER_INFO 166
#define IDD_SOURCES 167

// Icons
#define IDI_APP 132
#define IDI_PLAYER 134
#define IDI_COMPUTER 135
#define IDI_STATUS 136
#define IDI_PING_GOOD 137
#define IDI_PING_BAD 138
#define IDI_PING_MEDIUM 139
#define IDI_OS_WINDOWS 168
#define IDI_OS_LINUX 169
#define IDI_OS_FREEBSD 170
#define IDI_OS_APPLE 171
#define IDI_FAVOURITE 172

// Main dialog controls
#define IDC_SERVER_LIST 1017
#define IDC_PLAYER_LIST 1018
#define IDC_EXIT 1019
#define IDC_CONFIG 1020
#define IDC_UPDATE 1021
#define IDC_SERVERS_GROUP 1022
#define IDC_PLAYERS_GROUP 1023
#define IDC_CONTROLS_GROUP 1024
#define IDC_SHOW_FULL 1028
#define IDC_SHOW_EMPTY 1029
#define IDC_MOD_FILTER 1031
#define IDC_FILTERS_GROUP 1034
#define IDC_MOD_LABEL 1035

// Main dialog: finding a game
#define IDC_SEARCH_LABEL 1036
#define IDC_SEARCH 1037
#define IDC_FIND 1038 // Ctrl+F, from the main window's accelerators
#define IDC_SHOW_LABEL 1039
#define IDC_SHOW 1043
#define IDA_MAIN 173
#define IDI_RECENT 174
#define IDI_FAVOURITE_RECENT 175
#define IDI_LAN 176
#define IDI_LAN_FAVOURITE 177
#define IDI_LAN_RECENT 178
#define IDI_LAN_FAVOURITE_RECENT 179
// A watched server's mark, drawn over its row's icon.
#define IDI_WATCHED 180

// Config dialog controls
#define IDC_CONFIG_MEDIUM_PING 109
#define IDC_CONFIG_GAME_DIR 1014
#define IDC_CONFIG_GAME_EXE 1015
#define IDC_CONFIG_BUDDIES 1025
#define IDC_CONFIG_QUERY_RATE 1027
#define IDC_CONFIG_GOOD_PING 1028
#define IDC_CONFIG_MASTERS 1030
#define IDC_CONFIG_SEARCH_LAN 1044
#define IDC_CONFIG_REFRESH 1046
#define IDC_CONFIG_KEEP_IN_TRAY 1047
#define IDC_CONFIG_BUDDY_ALERTS 1048
#define IDC_CONFIG_KEEP_HISTORY 1049

// Server info dialog controls
#define IDC_INFO_LIST 1040
#define IDC_INFO_SOURCES_LABEL 1041
#define IDC_INFO_SOURCES 1042
// The server's last day: its ping and player count drawn over time, and the sample under the pointer.
#define IDC_INFO_PING_GRAPH 1050
#define IDC_INFO_PLAYERS_GRAPH 1051
#define IDC_INFO_SAMPLE 1052

// Sources dialog controls
#define IDC_SOURCES_LIST 1045

// The status bar is created at run time.
#define IDC_STATUS_BAR 140
