#include "windows/support/local_time.h"

#include <windows.h>

CivilTime LocalCivilTime(int64_t seconds) {
    CivilTime utc = CivilFromSeconds(seconds);
    SYSTEMTIME at{static_cast<WORD>(utc.year),
                  static_cast<WORD>(utc.month),
                  0,
                  static_cast<WORD>(utc.day),
                  static_cast<WORD>(utc.hour),
                  static_cast<WORD>(utc.minute),
                  static_cast<WORD>(utc.second),
                  0};
    SYSTEMTIME local;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &at, &local)) {
        return utc;
    }
    return CivilTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}
