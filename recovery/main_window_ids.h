// Control ids of the main window that recovery reaches through its CWnd.
#pragma once

// The six-column call list, bound to the main window as control 1000.
constexpr int kCallListControlId = 1000;
