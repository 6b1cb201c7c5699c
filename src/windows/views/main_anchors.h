// How the main dialog's controls follow its size. Only ids and flags, no Win32; it is built with the program, whose
// include path holds res/resource.h.
#pragma once

#include "core/display/anchor_layout.h"

extern const SizerAnchor MainAnchors[];
