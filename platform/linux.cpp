// Linux platform layer: the device nodes /dev/ztv and /dev/ztv.vxd, ioctl,
// and the ELF constructor and destructor in place of the loader's
// notifications. A loader cannot refuse a load from a constructor, so when no
// device opens the library stays loaded but unconnected.
#include <fcntl.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "channel/device_connection.h"

namespace {

int g_device = -1;

__attribute__((constructor)) void AttachProcess() { OpenDeviceConnection(); }
__attribute__((destructor)) void DetachProcess() { CloseDeviceConnection(); }

} // namespace

bool OpenDeviceConnection() {
    g_device = open("/dev/ztv", O_RDWR | O_CLOEXEC);
    if (g_device < 0) g_device = open("/dev/ztv.vxd", O_RDWR | O_CLOEXEC);
    return g_device >= 0;
}

void CloseDeviceConnection() {
    if (g_device >= 0) close(g_device);
    g_device = -1;
}

bool DeviceConnected() { return g_device >= 0; }

bool DeviceTransfer(CommandBlock *block) {
    if (g_device < 0) return false;
    return ioctl(g_device, kControlCode, block) == 0;
}

void ShowErrorText(const char *text) {
    fputs(text, stderr);
    fputc('\n', stderr);
}
