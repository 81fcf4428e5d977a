// The command block: eight address-wide slots, sent to the driver and
// answered in place. Slot 0 carries the code, slots 1-6 the arguments; the
// reply comes back in slot 1.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if UINTPTR_MAX > 0xFFFFFFFFu
typedef uint64_t Slot;
#else
typedef uint32_t Slot;
#endif

struct CommandBlock {
    Slot slot[8];
};

static_assert(sizeof(Slot) == sizeof(void *), "a slot holds an address");
static_assert(sizeof(CommandBlock) == 8 * sizeof(void *), "32 or 64 bytes");
static_assert(offsetof(CommandBlock, slot[1]) == sizeof(void *), "reply slot");

// The one device-control code of the driver.
constexpr uint32_t kControlCode = 0x222004;
// The driver answers into slots 0 and 1.
constexpr uint32_t kOutputSize = 2 * sizeof(Slot);

// Issues one transfer on the device connection. Returns nonzero when the
// driver completed it successfully.
int32_t SendCommand(CommandBlock *block);
