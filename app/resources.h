// The application's resources as C++ data: dialog 102 (main window), dialog 100 (About),
// menu 129, string 101 and icon 5, registered with the window layer once at start-up.
#pragma once

#include "platform/ui/resources.h"

// Registers every resource of the application. Idempotent: later calls change nothing,
// so InitInstance and each test may call it.
void RegisterPeldmarkResources();

// Icon 5: a white phone handset on a green rounded square, drawn by our own code at
// 16, 24, 32, 48 and 256 pixels (ARGB premultiplied). Needs no QApplication.
IconTemplate buildApplicationIcon(int iconId);

// The caption dialog 102 starts with; an Android refill puts it back on the main window.
extern const char* const kMainWindowCaption;
