#include "core/text/ansi_decoder.h"

#include <windows.h>

#include "core/protocol/status_reply.h"
#include "core/text/text.h"
#include "platform/win32/wide.h"

void DecodeAnsi(const char* text, char16_t* dest, size_t size) {
    if (size == 0) {
        return;
    }
    // A line holds at most 2047 bytes, and no code page makes more UTF-16 units than bytes.
    wchar_t wide[STATUS_LINE_SIZE];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, STATUS_LINE_SIZE) == 0) {
        wide[0] = 0;
    }
    if (!TextCopy(dest, size, AsU16(wide))) {
        size_t length = TextLength(dest);
        if (length > 0 && IS_HIGH_SURROGATE(dest[length - 1])) {
            dest[length - 1] = 0;
        }
    }
}
