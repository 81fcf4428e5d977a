// The process-wide connection to the board's driver. The platform layer opens
// it when the library is loaded and closes it when the library is unloaded;
// every command travels over it.
#pragma once

#include "channel/command_block.h"

// Tries "\\.\ZTV", then "\\.\ZTV.vxd". Returns whether a device was opened.
bool OpenDeviceConnection();
void CloseDeviceConnection();
// False when neither device could be opened (a Linux load stays unconnected).
bool DeviceConnected();
// One synchronous device-control transfer of the block; false on failure,
// and at once, without a system call, when unconnected.
bool DeviceTransfer(CommandBlock *block);
// The error box: a modal message on Windows, a line on standard error elsewhere.
void ShowErrorText(const char *text);
