// Linux host: the test executable defines open, openat, close and ioctl, so
// the library binds to these when it is loaded. Calls on /dev/ztv and
// /dev/ztv.vxd are answered by the scripted driver; every other path goes to
// the C library. The library's malloc and free are redirected through its
// own relocation entries, so nothing else in the process is affected.
#include <dlfcn.h>
#include <elf.h>
#include <errno.h>
#include <link.h>
#include <stdarg.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <mutex>

#include "heap_observer.h"
#include "host.h"

namespace {

constexpr int kOpenCreate = 0100;        // O_CREAT
constexpr int kOpenTmpFile = 020200000;  // O_TMPFILE
constexpr int kOpenReadWrite = 2;        // O_RDWR
constexpr int kOpenCloseExec = 02000000; // O_CLOEXEC

std::mutex g_mutex;
bool g_present[2] = {true, false};
int g_deviceFd[2] = {-1, -1};
int g_closes;
// Function-local, so that opens made by constructors that run before this
// file's own initialisers (a preloaded stand-in driver) are kept.
std::vector<host::OpenCall> &OpenRecords() {
    static std::vector<host::OpenCall> records;
    return records;
}
std::vector<host::MessageCall> &MessageRecords() {
    static std::vector<host::MessageCall> records;
    return records;
}
void *g_library;

template <typename F> F Real(const char *name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

int DeviceIndex(const char *path) {
    if (path == nullptr) return -1;
    if (strcmp(path, "/dev/ztv") == 0) return host::kZtv;
    if (strcmp(path, "/dev/ztv.vxd") == 0) return host::kZtvVxd;
    return -1;
}

// A device open: a real descriptor (of /dev/null) stands for the device.
int OpenDevice(int device, const char *path, int flags) {
    std::lock_guard<std::mutex> lock(g_mutex);
    host::OpenCall call = {path, uint32_t(flags), 0, 0, 0, true, g_present[device]};
    OpenRecords().push_back(call);
    if (!g_present[device]) {
        errno = ENOENT;
        return -1;
    }
    using OpenFn = int (*)(const char *, int, ...);
    const int fd = Real<OpenFn>("open")("/dev/null", kOpenReadWrite | kOpenCloseExec);
    g_deviceFd[device] = fd;
    return fd;
}

int Device(int fd) {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (int i = 0; i < 2; ++i)
        if (fd >= 0 && g_deviceFd[i] == fd) return i;
    return -1;
}

unsigned ModeArgument(int flags, va_list args) {
    return (flags & kOpenCreate) || (flags & kOpenTmpFile) == kOpenTmpFile ? va_arg(args, unsigned)
                                                                           : 0;
}

// The library's heap, observed.
void *(*g_realMalloc)(size_t);
void (*g_realFree)(void *);

void *ObservedMalloc(size_t size) {
    if (heap::ShouldFail()) return nullptr;
    void *block = g_realMalloc(size);
    heap::Allocated(block);
    return block;
}

void ObservedFree(void *block) {
    if (heap::Freed(block)) g_realFree(block);
}

// Points the library's relocations of malloc and free at the observers.
void RedirectHeap(void *library) {
    link_map *map = nullptr;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return;
    g_realMalloc = reinterpret_cast<void *(*)(size_t)>(dlsym(RTLD_DEFAULT, "malloc"));
    g_realFree = reinterpret_cast<void (*)(void *)>(dlsym(RTLD_DEFAULT, "free"));
    const ElfW(Sym) *symbols = nullptr;
    const char *strings = nullptr;
    uintptr_t tables[2] = {0, 0};
    size_t sizes[2] = {0, 0};
    for (const ElfW(Dyn) *d = map->l_ld; d->d_tag != DT_NULL; ++d) {
        switch (d->d_tag) {
        case DT_SYMTAB:
            symbols = reinterpret_cast<const ElfW(Sym) *>(d->d_un.d_ptr);
            break;
        case DT_STRTAB:
            strings = reinterpret_cast<const char *>(d->d_un.d_ptr);
            break;
        case DT_JMPREL:
            tables[0] = d->d_un.d_ptr;
            break;
        case DT_PLTRELSZ:
            sizes[0] = d->d_un.d_val;
            break;
#if UINTPTR_MAX > 0xFFFFFFFFu
        case DT_RELA:
            tables[1] = d->d_un.d_ptr;
            break;
        case DT_RELASZ:
            sizes[1] = d->d_un.d_val;
            break;
#else
        case DT_REL:
            tables[1] = d->d_un.d_ptr;
            break;
        case DT_RELSZ:
            sizes[1] = d->d_un.d_val;
            break;
#endif
        }
    }
#if UINTPTR_MAX > 0xFFFFFFFFu
    using Relocation = ElfW(Rela);
#define ZTV_R_SYM ELF64_R_SYM
#else
    using Relocation = ElfW(Rel);
#define ZTV_R_SYM ELF32_R_SYM
#endif
    const long page = sysconf(_SC_PAGESIZE);
    for (int t = 0; t < 2; ++t) {
        const Relocation *r = reinterpret_cast<const Relocation *>(tables[t]);
        for (size_t i = 0; r != nullptr && i < sizes[t] / sizeof(Relocation); ++i) {
            const char *name = strings + symbols[ZTV_R_SYM(r[i].r_info)].st_name;
            void *target = nullptr;
            if (strcmp(name, "malloc") == 0) target = reinterpret_cast<void *>(ObservedMalloc);
            if (strcmp(name, "free") == 0) target = reinterpret_cast<void *>(ObservedFree);
            if (target == nullptr) continue;
            void **slot = reinterpret_cast<void **>(map->l_addr + r[i].r_offset);
            void *start = reinterpret_cast<void *>(uintptr_t(slot) & ~uintptr_t(page - 1));
            mprotect(start, size_t(page) * 2, PROT_READ | PROT_WRITE);
            *slot = target;
        }
    }
}

// The library writes its error text to standard error; the tests read it back
// through a pipe in place of descriptor 2 while the library is loaded.
int g_savedStderr = -1;
int g_stderrPipe[2] = {-1, -1};

void CollectMessages() {
    if (g_stderrPipe[0] < 0) return;
    fflush(stderr);
    char buffer[4096];
    std::string text;
    for (;;) {
        const ssize_t n = read(g_stderrPipe[0], buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, size_t(n));
    }
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        MessageRecords().push_back({text.substr(start, end - start), "", 0, true});
    }
}

} // namespace

extern "C" {

int open(const char *path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const unsigned mode = ModeArgument(flags, args);
    va_end(args);
    const int device = DeviceIndex(path);
    if (device >= 0) return OpenDevice(device, path, flags);
    return Real<int (*)(const char *, int, ...)>("open")(path, flags, mode);
}

int open64(const char *path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const unsigned mode = ModeArgument(flags, args);
    va_end(args);
    const int device = DeviceIndex(path);
    if (device >= 0) return OpenDevice(device, path, flags);
    return Real<int (*)(const char *, int, ...)>("open64")(path, flags, mode);
}

int openat(int dir, const char *path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const unsigned mode = ModeArgument(flags, args);
    va_end(args);
    const int device = DeviceIndex(path);
    if (device >= 0) return OpenDevice(device, path, flags);
    return Real<int (*)(int, const char *, int, ...)>("openat")(dir, path, flags, mode);
}

int openat64(int dir, const char *path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const unsigned mode = ModeArgument(flags, args);
    va_end(args);
    const int device = DeviceIndex(path);
    if (device >= 0) return OpenDevice(device, path, flags);
    return Real<int (*)(int, const char *, int, ...)>("openat64")(dir, path, flags, mode);
}

int close(int fd) {
    const int device = Device(fd);
    if (device >= 0) {
        std::lock_guard<std::mutex> lock(g_mutex);
        ++g_closes;
        g_deviceFd[device] = -1;
    }
    return Real<int (*)(int)>("close")(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void *argument = va_arg(args, void *);
    va_end(args);
    if (Device(fd) >= 0) {
        if (request != 0x222004) {
            errno = ENOTTY;
            return -1;
        }
        const uint32_t slot = sizeof(void *);
        if (driver::Serve(argument, 8 * slot, 2 * slot)) return 0;
        errno = EIO;
        return -1;
    }
    return Real<int (*)(int, unsigned long, ...)>("ioctl")(fd, request, argument);
}

} // extern "C"

namespace host {

void SetDevice(Device device, bool present) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_present[device] = present;
}

bool DeviceExists(Device device) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_present[device];
}

bool Load() {
    fflush(stderr);
    g_savedStderr = dup(2);
    if (pipe2(g_stderrPipe, 04000 | kOpenCloseExec) == 0) dup2(g_stderrPipe[1], 2);
    g_library = dlopen(ZTV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (g_library != nullptr) RedirectHeap(g_library);
    return g_library != nullptr;
}

void Unload() {
    if (g_library != nullptr) dlclose(g_library);
    g_library = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        CollectMessages();
    }
    if (g_savedStderr >= 0) {
        dup2(g_savedStderr, 2);
        Real<int (*)(int)>("close")(g_savedStderr);
        g_savedStderr = -1;
    }
    for (int &fd : g_stderrPipe) {
        if (fd >= 0) Real<int (*)(int)>("close")(fd);
        fd = -1;
    }
}

void *Symbol(const char *name) { return g_library ? dlsym(g_library, name) : nullptr; }

std::vector<OpenCall> Opens() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return OpenRecords();
}

int Closes() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_closes;
}

std::vector<MessageCall> Messages() {
    std::lock_guard<std::mutex> lock(g_mutex);
    CollectMessages();
    return MessageRecords();
}

void ResetRecords() {
    std::lock_guard<std::mutex> lock(g_mutex);
    CollectMessages();
    OpenRecords().clear();
    g_closes = 0;
    MessageRecords().clear();
}

// The substitute ioctl refuses a wrong request itself; nothing else is
// checked here.
std::vector<std::string> Anomalies() { return {}; }

} // namespace host
