// The once-per-start download of a fresh mod filter list from the master web service. Win32 side; user interface
// thread only.
//
// A worker GETs "/filters" from the first web master the configuration names and reports the text through a channel
// that the window drains (WM_APP_FILTER_REPORT); a failed download reports nothing and changes nothing.
#pragma once

struct AppState;

// Starts the download; nothing when no worker could be had. With no web master listed, an empty mod filter box gets
// the built-in mods instead.
void StartFilterDownload(AppState& app);

// WM_APP_FILTER_REPORT: the downloaded text, once it has come, becomes the mod filter text and refills the box.
void TakeFilterDownload(AppState& app);

// The window's end: a download still going is cancelled and let go; its worker ends on its own.
void EndFilterDownload(AppState& app);
