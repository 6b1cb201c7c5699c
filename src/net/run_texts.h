// The status texts of an update run, as the status line shows them. Portable (no Win32).
#pragma once

#include <cstdint>
#include <string>

#include "net/server_record.h"

std::u16string FetchingText(const std::u16string& masterHost);
std::u16string DownloadFailedText(const std::u16string& masterHost);
// The first query to a server, or a later one (`attempt` counts from 1).
std::u16string QueryText(uint32_t addr, uint16_t port, int32_t attempt);
std::u16string SendFailedText(int error);
std::u16string FoundText(const ServerRecord& record);
std::u16string ClosingText(bool aborted, int32_t responded, int32_t total);
