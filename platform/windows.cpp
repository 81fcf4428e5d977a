// Windows platform layer: the device is opened on process attach and closed
// on process detach; a load without a device fails.
#include <windows.h>

#include "channel/device_connection.h"

namespace {

HANDLE g_device = INVALID_HANDLE_VALUE;
// Receives the byte count of every transfer; nothing reads it.
DWORD g_byteCount;

} // namespace

bool OpenDeviceConnection() {
    g_device = CreateFileA("\\\\.\\ZTV", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (g_device == INVALID_HANDLE_VALUE) {
        // The dynamically loaded form of the driver: closing its handle lets
        // the system unload it.
        g_device = CreateFileA("\\\\.\\ZTV.vxd", GENERIC_READ | GENERIC_WRITE, 0, NULL,
                               OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    }
    return g_device != INVALID_HANDLE_VALUE;
}

void CloseDeviceConnection() {
    if (g_device != INVALID_HANDLE_VALUE) CloseHandle(g_device);
    g_device = INVALID_HANDLE_VALUE;
}

bool DeviceConnected() { return g_device != INVALID_HANDLE_VALUE; }

bool DeviceTransfer(CommandBlock *block) {
    return DeviceIoControl(g_device, kControlCode, block, sizeof(*block), block, kOutputSize,
                           &g_byteCount, NULL) != 0;
}

void ShowErrorText(const char *text) { MessageBoxA(NULL, text, "", MB_ICONERROR); }

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        return OpenDeviceConnection() ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        CloseDeviceConnection();
        return TRUE;
    default:
        return TRUE;
    }
}
