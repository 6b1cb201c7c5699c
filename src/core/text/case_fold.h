// Case-insensitive matching across Unicode: the simple case folding of Unicode's CaseFolding.txt (its C and S
// mappings, one code point to one), generated into the build from Debian's unicode-data. Portable (no Win32).
#pragma once

#include <string>
#include <string_view>

// The folded form of a code point; a code point without a folding, and anything that is no code point, as it is.
char32_t FoldCase(char32_t c);

// Appends the folded text, code unit for code unit: no code point folds across the edge of the Basic Multilingual
// Plane (the table's generator makes sure), so a surrogate pair folds into a pair. A lone surrogate stands for
// itself: broken text folds as well as any.
void AppendFolded(std::u16string_view text, std::u16string& out);
