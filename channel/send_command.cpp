#include "channel/command_block.h"
#include "channel/device_connection.h"

int32_t SendCommand(CommandBlock *block) { return DeviceTransfer(block) ? 1 : 0; }
