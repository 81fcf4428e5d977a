// Windows host, run under Wine. The two device names are links in the Wine
// prefix's device folder, pointing at files in a scratch folder that the test
// creates and deletes (run.sh sets them up; ZTV_TEST_SCRATCH names the folder).
//
// The library's calls into the system are observed without touching the rest
// of the process:
// - for the duration of LoadLibrary, the export entries of CreateFileA,
//   CloseHandle and DeviceIoControl in kernel32.dll and of MessageBoxA in
//   user32.dll point at observers, so the library's imports of them bind to
//   the observers (the opens of its attach step included), and keep pointing
//   there until it is unloaded (the closes of its detach step included);
// - after the load, the library's own import entries of DeviceIoControl,
//   MessageBoxA, malloc and free are pointed at the observers.
// The test program itself was bound at its start and keeps calling the real
// functions.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "heap_observer.h"
#include "host.h"

namespace {

const char *const kDeviceFiles[2] = {"ztv", "ztv.vxd"};
constexpr DWORD kControlCode = 0x222004;

std::mutex g_mutex;
std::vector<host::OpenCall> g_opens;
int g_closes;
std::vector<host::MessageCall> g_messages;
std::vector<std::string> g_anomalies;
// Handles the library obtained from CreateFileA and has not closed yet.
std::vector<HANDLE> g_deviceHandles;
HMODULE g_library;

void Anomaly(const std::string &text) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_anomalies.push_back(text);
}

std::string Hex(uintptr_t value) {
    char text[2 + 2 * sizeof(value) + 1];
    snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(value));
    return text;
}

bool IsDeviceHandle(HANDLE handle) {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (HANDLE h : g_deviceHandles)
        if (h == handle) return true;
    return false;
}

// ---- Observers: the library's view of the system ----

HANDLE WINAPI ObservedCreateFileA(LPCSTR name, DWORD access, DWORD share,
                                  LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                  HANDLE templateFile) {
    const HANDLE handle =
        CreateFileA(name, access, share, security, disposition, flags, templateFile);
    const DWORD error = GetLastError();
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        host::OpenCall call = {name != nullptr ? name : "(null)",
                               access,
                               share,
                               disposition,
                               flags,
                               security == nullptr,
                               handle != INVALID_HANDLE_VALUE};
        g_opens.push_back(call);
        if (handle != INVALID_HANDLE_VALUE) g_deviceHandles.push_back(handle);
    }
    SetLastError(error);
    return handle;
}

BOOL WINAPI ObservedCloseHandle(HANDLE handle) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (size_t i = 0; i < g_deviceHandles.size(); ++i) {
            if (g_deviceHandles[i] == handle) {
                g_deviceHandles.erase(g_deviceHandles.begin() + i);
                ++g_closes;
                break;
            }
        }
    }
    return CloseHandle(handle);
}

BOOL WINAPI ObservedDeviceIoControl(HANDLE handle, DWORD code, LPVOID in, DWORD inLength,
                                    LPVOID out, DWORD outLength, LPDWORD bytesReturned,
                                    LPOVERLAPPED overlapped) {
    if (!IsDeviceHandle(handle)) {
        Anomaly("DeviceIoControl on a handle the library did not open: " + Hex(uintptr_t(handle)));
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    bool usable = true;
    if (code != kControlCode) {
        Anomaly("DeviceIoControl with control code " + Hex(code));
        usable = false;
    }
    if (in == nullptr || in != out) {
        Anomaly("DeviceIoControl with input " + Hex(uintptr_t(in)) + " and output " +
                Hex(uintptr_t(out)) + " not one block");
        usable = false;
    }
    if (overlapped != nullptr) {
        Anomaly("DeviceIoControl with an OVERLAPPED structure");
        usable = false;
    }
    if (bytesReturned == nullptr) {
        Anomaly("DeviceIoControl without a byte count");
        usable = false;
    }
    if (!usable) {
        if (bytesReturned != nullptr) *bytesReturned = 0;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool served = driver::Serve(in, inLength, outLength);
    *bytesReturned = served ? outLength : 0;
    if (!served) SetLastError(ERROR_GEN_FAILURE);
    return served ? TRUE : FALSE;
}

int WINAPI ObservedMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    std::lock_guard<std::mutex> lock(g_mutex);
    host::MessageCall call = {text != nullptr ? text : "(null)",
                              caption != nullptr ? caption : "(null)", style, owner == nullptr};
    g_messages.push_back(call);
    return IDOK;
}

// The heap calls go to the test program's own C runtime, which is the same
// msvcrt.dll the library imports: the blocks come from one heap.
void *__cdecl ObservedMalloc(size_t size) {
    if (heap::ShouldFail()) return nullptr;
    void *block = malloc(size);
    heap::Allocated(block);
    return block;
}

void __cdecl ObservedFree(void *block) {
    if (heap::Freed(block)) free(block);
}

// ---- Export and import tables ----

struct Redirect {
    const char *module; // compared without regard to case
    const char *function;
    void *observer;
};

const Redirect kExportRedirects[] = {
    {"kernel32.dll", "CreateFileA", reinterpret_cast<void *>(ObservedCreateFileA)},
    {"kernel32.dll", "CloseHandle", reinterpret_cast<void *>(ObservedCloseHandle)},
    {"kernel32.dll", "DeviceIoControl", reinterpret_cast<void *>(ObservedDeviceIoControl)},
    {"user32.dll", "MessageBoxA", reinterpret_cast<void *>(ObservedMessageBoxA)},
};
constexpr int kExportRedirectCount = sizeof kExportRedirects / sizeof kExportRedirects[0];

const Redirect kImportRedirects[] = {
    {"kernel32.dll", "DeviceIoControl", reinterpret_cast<void *>(ObservedDeviceIoControl)},
    {"user32.dll", "MessageBoxA", reinterpret_cast<void *>(ObservedMessageBoxA)},
    {"msvcrt.dll", "malloc", reinterpret_cast<void *>(ObservedMalloc)},
    {"msvcrt.dll", "free", reinterpret_cast<void *>(ObservedFree)},
};
constexpr int kImportRedirectCount = sizeof kImportRedirects / sizeof kImportRedirects[0];

const IMAGE_DATA_DIRECTORY &Directory(HMODULE module, int entry) {
    const BYTE *base = reinterpret_cast<const BYTE *>(module);
    const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const IMAGE_NT_HEADERS *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    return nt->OptionalHeader.DataDirectory[entry];
}

// Writes one pointer-sized or RVA-sized word in a module's image.
template <typename T> bool WriteImageWord(T *where, T value) {
    DWORD protection;
    if (!VirtualProtect(where, sizeof(T), PAGE_READWRITE, &protection)) return false;
    *where = value;
    DWORD ignored;
    VirtualProtect(where, sizeof(T), protection, &ignored);
    FlushInstructionCache(GetCurrentProcess(), where, sizeof(T));
    return true;
}

// The entry of a named export in a module's table of function RVAs.
DWORD *ExportEntry(HMODULE module, const char *function) {
    BYTE *base = reinterpret_cast<BYTE *>(module);
    const IMAGE_DATA_DIRECTORY &directory = Directory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (directory.VirtualAddress == 0) return nullptr;
    const IMAGE_EXPORT_DIRECTORY *exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + directory.VirtualAddress);
    const DWORD *names = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    const WORD *ordinals = reinterpret_cast<const WORD *>(base + exports->AddressOfNameOrdinals);
    DWORD *functions = reinterpret_cast<DWORD *>(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        if (strcmp(reinterpret_cast<const char *>(base + names[i]), function) == 0)
            return &functions[ordinals[i]];
    }
    return nullptr;
}

struct PatchedExport {
    DWORD *entry;
    DWORD original;
};

PatchedExport g_patchedExports[kExportRedirectCount];

// Points the exports at the observers: an RVA from the exporting module's
// base, which wraps around in 32-bit arithmetic when the observer lies below.
bool RedirectExports() {
    bool complete = true;
    for (int i = 0; i < kExportRedirectCount; ++i) {
        const Redirect &r = kExportRedirects[i];
        g_patchedExports[i] = {nullptr, 0};
        HMODULE module = GetModuleHandleA(r.module);
        DWORD *entry = module != nullptr ? ExportEntry(module, r.function) : nullptr;
        if (entry == nullptr) {
            fprintf(stderr, "no export %s!%s\n", r.module, r.function);
            complete = false;
            continue;
        }
        const DWORD rva = DWORD(uintptr_t(r.observer) - uintptr_t(module));
        const DWORD original = *entry;
        if (!WriteImageWord(entry, rva)) {
            fprintf(stderr, "cannot write the export %s!%s\n", r.module, r.function);
            complete = false;
            continue;
        }
        g_patchedExports[i] = {entry, original};
    }
    return complete;
}

void RestoreExports() {
    for (PatchedExport &patched : g_patchedExports) {
        if (patched.entry != nullptr) WriteImageWord(patched.entry, patched.original);
        patched = {nullptr, 0};
    }
}

// Points a module's import entries at the redirects' observers (a redirect
// without a module matches the function imported from any DLL). Returns how
// many entries were rewritten.
int RedirectImports(HMODULE importer, const Redirect *redirects, int count) {
    BYTE *base = reinterpret_cast<BYTE *>(importer);
    const IMAGE_DATA_DIRECTORY &directory = Directory(importer, IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (directory.VirtualAddress == 0) return 0;
    int rewritten = 0;
    for (const IMAGE_IMPORT_DESCRIPTOR *d =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + directory.VirtualAddress);
         d->Name != 0; ++d) {
        const char *module = reinterpret_cast<const char *>(base + d->Name);
        const DWORD lookupRva = d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk;
        const IMAGE_THUNK_DATA *lookup =
            reinterpret_cast<const IMAGE_THUNK_DATA *>(base + lookupRva);
        IMAGE_THUNK_DATA *bound = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk);
        for (; lookup->u1.AddressOfData != 0; ++lookup, ++bound) {
            if (IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal)) continue;
            const IMAGE_IMPORT_BY_NAME *byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + lookup->u1.AddressOfData);
            const char *function = reinterpret_cast<const char *>(byName->Name);
            for (int i = 0; i < count; ++i) {
                const Redirect &r = redirects[i];
                if (r.module != nullptr && _stricmp(module, r.module) != 0) continue;
                if (strcmp(function, r.function) != 0) continue;
                using Word = decltype(bound->u1.Function);
                const Word target = static_cast<Word>(reinterpret_cast<uintptr_t>(r.observer));
                if (WriteImageWord(&bound->u1.Function, target)) ++rewritten;
            }
        }
    }
    return rewritten;
}

// A load that cannot be observed is refused, with the reason on stderr.
bool SetupFailure(const std::string &reason) {
    fprintf(stderr, "host::Load: %s\n", reason.c_str());
    return false;
}

// ---- Thread start ----
//
// Where 32-bit code runs on an emulated CPU (qemu's user mode, on machines
// that cannot execute it natively), the descriptor table entries behind %fs
// (the thread's TEB) and %gs (the C library's thread data) are shared by all
// threads, and each new thread writes its own bases into them. A starting
// thread reloads both registers from those entries on its way into its start
// routine; if another thread is created meanwhile, it starts with the other
// thread's TEB and crashes. So thread creation waits until the new thread has
// reached its start routine: threads start one at a time, and then run
// concurrently as usual. The test program's threads are created through
// msvcrt's _beginthreadex (std::thread) or directly, and suspended ones are
// resumed with ResumeThread: those entries, in the test program's and in
// msvcrt's import tables, are pointed at the wrappers below.

namespace start {

using CreateThreadFunction = HANDLE(WINAPI *)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE,
                                              LPVOID, DWORD, LPDWORD);
using ResumeThreadFunction = DWORD(WINAPI *)(HANDLE);

// Long enough for any start; a thread created while its creator holds the
// loader lock cannot start until it is released, so the wait is bounded.
constexpr DWORD kStartTimeout = 20000;
constexpr int kSuspendedCapacity = 64;

struct Start {
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
    HANDLE started;
};

struct Suspended {
    DWORD threadId; // 0: free slot
    HANDLE started;
};

CreateThreadFunction g_realCreateThread;
ResumeThreadFunction g_realResumeThread;
CRITICAL_SECTION g_lock; // held while a thread starts
Suspended g_suspended[kSuspendedCapacity];

DWORD WINAPI StartRoutine(LPVOID parameter) {
    const Start start = *static_cast<Start *>(parameter);
    delete static_cast<Start *>(parameter);
    SetEvent(start.started);
    return start.routine(start.parameter);
}

void AwaitStart(HANDLE started) {
    // After a timeout the new thread still signals the event: it stays open.
    if (WaitForSingleObject(started, kStartTimeout) == WAIT_OBJECT_0) CloseHandle(started);
}

HANDLE WINAPI CreateThreadOneAtATime(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                     LPTHREAD_START_ROUTINE routine, LPVOID parameter, DWORD flags,
                                     LPDWORD threadId) {
    const HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (started == nullptr)
        return g_realCreateThread(security, stackSize, routine, parameter, flags, threadId);
    Start *start = new Start{routine, parameter, started};
    EnterCriticalSection(&g_lock);
    const HANDLE thread =
        g_realCreateThread(security, stackSize, StartRoutine, start, flags, threadId);
    if (thread == nullptr) {
        const DWORD error = GetLastError();
        delete start;
        CloseHandle(started);
        LeaveCriticalSection(&g_lock);
        SetLastError(error);
        return nullptr;
    }
    if ((flags & CREATE_SUSPENDED) == 0) {
        AwaitStart(started);
    } else {
        // Waited for when it is resumed.
        for (Suspended &s : g_suspended) {
            if (s.threadId == 0) {
                s = {GetThreadId(thread), started};
                break;
            }
        }
    }
    LeaveCriticalSection(&g_lock);
    return thread;
}

DWORD WINAPI ResumeThreadOneAtATime(HANDLE thread) {
    EnterCriticalSection(&g_lock);
    const DWORD previousCount = g_realResumeThread(thread);
    if (previousCount == 1) {
        const DWORD id = GetThreadId(thread);
        for (Suspended &s : g_suspended) {
            if (id != 0 && s.threadId == id) {
                AwaitStart(s.started);
                s = {0, nullptr};
            }
        }
    }
    LeaveCriticalSection(&g_lock);
    return previousCount;
}

const Redirect kThreadRedirects[] = {
    {nullptr, "CreateThread", reinterpret_cast<void *>(CreateThreadOneAtATime)},
    {nullptr, "ResumeThread", reinterpret_cast<void *>(ResumeThreadOneAtATime)},
};
constexpr int kThreadRedirectCount = sizeof kThreadRedirects / sizeof kThreadRedirects[0];

bool Install() {
    InitializeCriticalSection(&g_lock);
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    g_realCreateThread = reinterpret_cast<CreateThreadFunction>(
        reinterpret_cast<void *>(GetProcAddress(kernel32, "CreateThread")));
    g_realResumeThread = reinterpret_cast<ResumeThreadFunction>(
        reinterpret_cast<void *>(GetProcAddress(kernel32, "ResumeThread")));
    if (g_realCreateThread == nullptr || g_realResumeThread == nullptr) return false;
    for (HMODULE importer : {GetModuleHandleA(nullptr), GetModuleHandleA("msvcrt.dll")})
        if (importer != nullptr) RedirectImports(importer, kThreadRedirects, kThreadRedirectCount);
    return true;
}

// Before main, so before any test starts a thread.
const bool g_installed = Install();

} // namespace start

// ---- Crashes ----

// A crash ends the test program at once with a line naming it, instead of
// starting a debugger.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS *exception) {
    fprintf(stderr, "ztv_tests: unhandled exception 0x%08lx at %p\n",
            static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
            exception->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

const LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = SetUnhandledExceptionFilter(ReportCrash);

// ---- Devices ----

std::string DevicePath(host::Device device) {
    const char *scratch = getenv("ZTV_TEST_SCRATCH");
    if (scratch == nullptr || scratch[0] == '\0') {
        fprintf(stderr, "ZTV_TEST_SCRATCH is not set: run the tests through tests/wine/run.sh\n");
        abort();
    }
    return std::string(scratch) + "\\" + kDeviceFiles[device];
}

} // namespace

namespace host {

std::vector<std::string> Anomalies() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_anomalies;
}

void SetDevice(Device device, bool present) {
    const std::string path = DevicePath(device);
    if (present) {
        const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            Anomaly("cannot create " + path + ": error " + std::to_string(GetLastError()));
        else
            CloseHandle(file);
    } else if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        Anomaly("cannot delete " + path + ": error " + std::to_string(GetLastError()));
    }
}

bool DeviceExists(Device device) {
    return GetFileAttributesA(DevicePath(device).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Load() {
    if (g_library != nullptr) Unload();
    // Loaded once beforehand, so that no system DLL binds to the observers
    // while the exports point at them.
    static const HMODULE user32 = LoadLibraryA("user32.dll");
    if (user32 == nullptr) return SetupFailure("user32.dll cannot be loaded");
    // Every load must be a fresh attach of a freshly mapped library.
    if (GetModuleHandleA(ZTV_LIBRARY_NAME) != nullptr)
        return SetupFailure(ZTV_LIBRARY_NAME " is still mapped from an earlier load");
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_deviceHandles.clear();
    }
    if (!RedirectExports()) {
        RestoreExports();
        return SetupFailure("the system exports cannot be redirected");
    }
    HMODULE library = LoadLibraryA(ZTV_LIBRARY_NAME);
    const DWORD error = GetLastError();
    RestoreExports();
    if (library == nullptr) {
        SetLastError(error);
        return false;
    }
    g_library = library;
    const int rewritten = RedirectImports(library, kImportRedirects, kImportRedirectCount);
    if (rewritten != kImportRedirectCount) {
        Unload();
        return SetupFailure("only " + std::to_string(rewritten) + " of " +
                            std::to_string(kImportRedirectCount) +
                            " imports of the library could be redirected");
    }
    return true;
}

void Unload() {
    if (g_library == nullptr) return;
    FreeLibrary(g_library);
    g_library = nullptr;
    if (GetModuleHandleA(ZTV_LIBRARY_NAME) != nullptr)
        Anomaly(ZTV_LIBRARY_NAME " stays mapped after FreeLibrary");
}

void *Symbol(const char *name) {
    if (g_library == nullptr) return nullptr;
    return reinterpret_cast<void *>(GetProcAddress(g_library, name));
}

std::vector<OpenCall> Opens() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_opens;
}

int Closes() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_closes;
}

std::vector<MessageCall> Messages() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_messages;
}

void ResetRecords() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_opens.clear();
    g_closes = 0;
    g_messages.clear();
    g_anomalies.clear();
}

} // namespace host
