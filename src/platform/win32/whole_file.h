// Small files read and written whole, for the stores in the local app data folder (the remembered lists, the
// servers' history). Win32 side.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Reads the file and at most one byte more than `maxBytes`, so a larger file is known as one without reading it all.
// False when it cannot be opened (none there).
bool ReadWholeFile(const std::wstring& path, size_t maxBytes, std::vector<unsigned char>& bytes);

// Writes the bytes to a temporary file of this process beside `path` and renames it over `path`; false, leaving the
// old file as it was, when either fails. One temporary name per process, so two programs that save at once never
// write into each other's file.
bool ReplaceFileWhole(const std::wstring& path, const std::vector<unsigned char>& bytes);
