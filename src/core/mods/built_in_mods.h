// The browser's built-in mod filter list, written as a mod filter text (LF-separated pairs of a display name and a
// game directory, "(No Filter)" not among them). Portable (no Win32): the master service serves the same list.
#pragma once

// "Action Quake II", "action", "CTF", "ctf", ... in the order the entries are added to the box.
extern const char16_t BUILT_IN_MOD_FILTER_TEXT[];
