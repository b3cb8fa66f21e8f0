#pragma once
// What the main windows of every generation show alike: the typeface of the
// monitor and the filter grids, the captions of the status panels that name
// the connected device, and the wait cursor.

#include <QFont>

namespace hlx {

// Each followed by the device's value.
inline constexpr const char* kDevicePanelPrefix = "Device: ";
inline constexpr const char* kVersionPanelPrefix = "Version: ";
inline constexpr const char* kSerialPanelPrefix = "Serial: ";

// Courier, or the system's typewriter face where it is missing; the caller sets the size.
QFont TypewriterFont();

// Busy cursor on (nesting) or off.
void ShowWaitCursor(bool on);

}  // namespace hlx
