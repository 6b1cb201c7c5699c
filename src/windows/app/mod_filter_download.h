// The once-per-start download of a fresh mod filter list from the master web service. Win32 side; user interface
// thread only.
//
// A worker GETs "/filters" from the first master web service the configuration names and reports the text through
// a channel that the window drains (WM_APP_FILTER_REPORT); a failed download, or a web page for an answer, reports
// nothing and changes nothing.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "core/protocol/master_entry.h"
#include "windows/views/mod_filter_box.h"

struct FilterDownload;

// Starts the download from the first master web service among `masters`, keeping it in `download`; nothing when no
// worker could be had. With none listed, an empty mod filter box gets the built-in mods instead.
void StartFilterDownload(HWND dialog, const std::vector<MasterEntry>& masters,
                         std::shared_ptr<FilterDownload>& download, ModFilterBox& filters);

// WM_APP_FILTER_REPORT: the downloaded text, once it has come, becomes the mod filter text and refills the box.
void TakeFilterDownload(std::shared_ptr<FilterDownload>& download, ModFilterBox& filters);

// The window's end: a download still going is cancelled and let go; its worker ends on its own.
void EndFilterDownload(std::shared_ptr<FilterDownload>& download);
