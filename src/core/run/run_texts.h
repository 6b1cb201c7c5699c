// The status texts of an update run, as the status line shows them. Portable (no Win32).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/protocol/master_entry.h"
#include "core/protocol/server_record.h"
#include "core/run/run_snapshot.h"
#include "core/run/udp_master.h"

// A master as the status line names it: a web master by its host (and port, when not 80), a classic master by its
// host and port, a list URL by its host (and port) and path.
std::u16string MasterStatusName(const MasterEntry& master);

// Why a download gave no list, as a clause ("its host name is not found"); empty for a list, and for a failure that
// has no reason of its own (a status other than 200, a dropped connection, a cancel).
std::u16string ListDownloadWhy(ListDownload end);

// The run's first line: the one master it asks, or how many.
std::u16string FetchingText(const std::vector<MasterEntry>& masters);
// A web master's or a list URL's download that gave no list; a list URL's says why.
std::u16string DownloadFailedText(const MasterEntry& master, ListDownload end);
// A classic master that gave no list; empty for UdpMasterEnd::Answered and Interrupted.
std::u16string UdpMasterFailedText(const std::u16string& masterName, UdpMasterResult result);
// The first query to a server, or a later one (`attempt` counts from 1).
std::u16string QueryText(uint32_t addr, uint16_t port, int32_t attempt);
std::u16string SendFailedText(int error);
std::u16string FoundText(const ServerRecord& record);
std::u16string ClosingText(bool aborted, int32_t responded, int32_t total);
// A run aborted before any source gave it a server.
std::u16string AbortedBeforeServersText();
// The sources named more servers than the run holds (or memory ran out): only the first `queried` are asked.
std::u16string TooManyServersText(size_t queried);

// When every master failed: the remembered list is queried, or was not used, and the closing line says so.
std::u16string RememberedUsedText(size_t servers, int64_t rememberedAt);
std::u16string RememberedIgnoredText(const char16_t* reason);
std::u16string RememberedClosingText(const std::u16string& closing, int64_t rememberedAt);

// Seconds since 1970 (UTC) as local date and time, "2026-12-08 17:40".
std::u16string LocalTimeText(int64_t seconds);
// Seconds since 1970 (UTC) as the local time of day, "17:40:12"; "?" when the system cannot say.
std::u16string LocalClockText(int64_t seconds);
