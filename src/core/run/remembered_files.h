// Where the remembered lists live: one file per mod filter in "Skerrow" under the user's local application data
// folder, replaced whole (written to a temporary file, then renamed over the old one) so a crash or a full disk
// never leaves half a list (platform/win32). Called on an update run's controller thread. Portable (no Win32).
#pragma once

#include <string>

#include "core/run/run_snapshot.h"

// The folder, with its trailing backslash; empty when the system names none.
std::u16string RememberedListFolder();

RememberedStore RememberedListFiles();
