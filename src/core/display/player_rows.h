// What a player list row shows and how rows order. Portable (no Win32); the player list calls these.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/protocol/server_record.h"

constexpr int PLAYER_COLUMN_NAME = 0;
constexpr int PLAYER_COLUMN_SCORE = 1;
constexpr int PLAYER_COLUMN_PING = 2;

// Writes a cell's text (bounded, always terminated): the name, or "%d" of score or ping. Other columns: nothing.
void FormatPlayerCell(const PlayerRecord& player, int column, char16_t* dest, size_t size);

// Negative when `a` sorts before `b` on the column: names by UTF-16 code units, highest score first, lowest ping
// first. 0 for other columns. There is no reversed order.
int ComparePlayerRecords(const PlayerRecord& a, const PlayerRecord& b, int column);
