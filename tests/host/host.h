// The platform boundary as the tests see it: the two device names, the
// library's load and unload, the error box and the heap. One implementation
// per platform; the test cases are the same in every form.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "scripted_driver.h"

namespace host {

enum Device { kZtv = 0, kZtvVxd = 1 };

// One open of a device name made by the library.
struct OpenCall {
    std::string name;     // as the library named it ("\\.\ZTV" or "/dev/ztv", ...)
    uint32_t access;      // Windows: desired access; Linux: open flags
    uint32_t share;       // Windows only
    uint32_t disposition; // Windows only
    uint32_t flags;       // Windows: flags and attributes
    bool securityNull;    // Windows only
    bool succeeded;
};

struct MessageCall {
    std::string text;
    std::string caption;
    uint32_t style;
    bool ownerNull;
};

// Makes a device name openable or not, for the next load.
void SetDevice(Device device, bool present);
// Whether the scratch target behind a device name still exists (Windows: a
// delete-on-close open removes it). Always true on Linux for a present device.
bool DeviceExists(Device device);

// Loads the library; false when the load failed. Records the opens.
bool Load();
void Unload();
void *Symbol(const char *name);

std::vector<OpenCall> Opens();
// Closes of a device handle made by the library.
int Closes();
std::vector<MessageCall> Messages();

// Heap observation of the library's own allocations. FailAllocation(n) makes
// the n-th allocation from now on (1 = the next) fail.
void FailAllocation(int n);
// Blocks the library allocated and has not freed, and frees of blocks it did
// not allocate (double or wild frees).
long LiveBlocks();
long BadFrees();
void ResetHeap();

// Calls into the system that the library should never make (a transfer on a
// handle it did not open, with another control code, with separate input and
// output buffers, overlapped, ...), one line each; empty when all was well.
std::vector<std::string> Anomalies();

// Forgets opens, closes, messages and anomalies.
void ResetRecords();

} // namespace host
