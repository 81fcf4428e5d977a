// Opening the library: the driver's interface version and status, and the
// copy of the table of entry points.
#include <string.h>

#include "channel/device_connection.h"
#include "channel/senders.h"
#include "library/interface_table.h"

namespace {

constexpr int16_t kInterfaceVersion = 640;
// The two zero slots are the least a caller may ask for.
constexpr int kMinimumCopy = 2 * sizeof(void *);

void ShowErrorMessage(const char *text) { ShowErrorText(text); }

} // namespace

int16_t ZTV_CALL OpenLibrary(void *destination, int16_t size) {
    // Without a device nothing is sent and nothing is shown.
    if (!DeviceConnected()) return 0;
    if (Reply16(Command(kDriverVersion)) != kInterfaceVersion) {
        ShowErrorMessage("ZTV Driver: inconsistent version number.");
        return 0;
    }
    const int16_t status = Reply16(Command(kDriverStatus));
    if (status <= 0) return 0;
    if (size == 0) return status;
    if (size < kMinimumCopy) return 0;
    const size_t count =
        size < int(sizeof(g_interfaceTable)) ? size_t(size) : sizeof(g_interfaceTable);
    memcpy(destination, &g_interfaceTable, count);
    return status;
}

void ZTV_CALL CloseLibrary(int32_t) {}
