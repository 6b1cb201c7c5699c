#include "net/reply_parser.h"

#include "app/app_state.h"

#include <mmsystem.h>

#include "app/app_messages.h"
#include "app/status_bar.h"
#include "base/text.h"
#include "base/wide.h"
#include "net/status_reply.h"
#include "ui/views/server_list.h"

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

void ParseStatusReply(const char* datagram, int length, ServerRecord* record) {
    // Waiting for tableLock, done by the caller, counts into the ping.
    DWORD now = timeGetTime();

    // Parsed into a copy that the user interface thread stores and lists in one step: a refilter running there
    // meanwhile sees the record either untouched or complete, and lists it once.
    ServerRecord reply = *record;
    reply.answered = 1;
    ParseStatusText(datagram, length, DecodeAnsi, reply);
    reply.ping = ElapsedMs(reply.queryTime, now);

    bool stored = app.hMainDlg && SendMessageW(app.hMainDlg, WM_APP_STORE_REPLY, reinterpret_cast<WPARAM>(record),
                                               reinterpret_cast<LPARAM>(&reply));
    if (!stored) {
        *record = reply; // no dialog, so no list and no reader on another thread
    }

    SetStatus(L"Found %d player%s on '%s'", record->playerCount, AsWide(PluralSuffix(record->playerCount)),
              AsWide(record->hostname));
}
