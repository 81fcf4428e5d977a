/* Public interface of the ztv2_nt frame-grabber library.
 *
 * Plain C, usable from C and C++. Every operation sends one or more command
 * blocks to the board's driver; the records below are shared with the driver,
 * which reads them in the caller's memory, so their layouts are fixed.
 *
 * Two layouts exist, chosen by the address width of the build:
 *   narrow (4-byte addresses: 32-bit Windows and 32-bit Linux)
 *   wide   (8-byte addresses: 64-bit Linux)
 */
#ifndef ZTV2_NT_H
#define ZTV2_NT_H

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#define ZTV_CALL __stdcall
#else
#define ZTV_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Inside the ELF library build the operations are its exported symbols;
 * everything else stays hidden. */
#if defined(ZTV2_NT_BUILD) && defined(__GNUC__) && !defined(_WIN32)
#pragma GCC visibility push(default)
#define ZTV2_NT_VISIBILITY_PUSHED
#endif

/* Pixel type codes accepted by AllocateBuffer. The low byte is the number of
 * bits per pixel. */
#define ZTV_PIXEL_GRAY8 0x0008   /* 8-bit luma */
#define ZTV_PIXEL_RGB565 0x0210  /* 16-bit RGB 5-6-5 */
#define ZTV_PIXEL_RGB24 0x0218   /* 24-bit B, G, R */
#define ZTV_PIXEL_RGB555 0x060F  /* 15-bit RGB 5-5-5 in 16 bits */
#define ZTV_PIXEL_RGB32 0x0620   /* 32-bit B, G, R, X */
#define ZTV_PIXEL_YUV422 0x0810  /* packed 4:2:2, Y0 U Y1 V */
#define ZTV_PIXEL_YUV422P 0x1810 /* three planes Y, U, V, 4:2:2 */

/* Bit 3 of the flags word of a queued operation: return at once instead of
 * waiting for the request to finish. */
#define ZTV_NOWAIT 0x0008

/* A request the driver has queued; 0 means the driver refused. */
typedef uint32_t RequestHandle;

struct InterfaceTable;

/* Grabber handle: the address of one of these, made by AllocateFG. */
typedef struct GrabberRecord {
    const struct InterfaceTable *table; /* the library's own table */
    int32_t boardToken;                 /* the driver's token, never 0 */
#if UINTPTR_MAX > 0xFFFFFFFFu
    uint32_t zero; /* always 0 in the wide layout */
#endif
} GrabberRecord;

typedef struct FrameRecord FrameRecord;
typedef void(ZTV_CALL *FrameReleaseRoutine)(FrameRecord *frame);

/* Frame handle: the address of one of these, made by AllocateBuffer. */
struct FrameRecord {
    FrameRecord *next;           /* next record of a three-plane chain, else null */
    int16_t width;               /* pixels per line */
    int16_t height;              /* lines */
    uint16_t pixelType;          /* a ZTV_PIXEL_ code */
    uint8_t planeCount;          /* 1 single plane, 3 container */
    uint8_t bufferKind;          /* 2 single plane, 0 container */
    void *data;                  /* pixel memory; a container's first plane record */
    void *pixels;                /* pixel memory (single plane) */
    FrameReleaseRoutine release; /* called by FreeFrame; null for none */
};

/* Opening */
int16_t ZTV_CALL OpenLibrary(void *destination, int16_t size);
void ZTV_CALL CloseLibrary(int32_t ignored);

/* Grabber handles */
GrabberRecord *ZTV_CALL AllocateFG(int16_t board);
void ZTV_CALL FreeFG(GrabberRecord *grabber);

/* Board information and digital I/O */
int16_t ZTV_CALL ReadRevision(GrabberRecord *grabber);
int32_t ZTV_CALL Reset(GrabberRecord *grabber);
int32_t ZTV_CALL CheckError(GrabberRecord *grabber);
int16_t ZTV_CALL ReadProtection(GrabberRecord *grabber);
int32_t ZTV_CALL ReadSerial(GrabberRecord *grabber);
int16_t ZTV_CALL GetIOType(GrabberRecord *grabber, int16_t selector);
int16_t ZTV_CALL SetIOType(GrabberRecord *grabber, int16_t selector, int16_t value);
int32_t ZTV_CALL ReadIO(GrabberRecord *grabber);
int16_t ZTV_CALL WriteImmediateIO(GrabberRecord *grabber, int32_t first, int32_t second);
int16_t ZTV_CALL GetModelNumber(GrabberRecord *grabber);

/* Acquisition and waiting */
RequestHandle ZTV_CALL Grab(GrabberRecord *grabber, FrameRecord *frame, uint16_t flags);
RequestHandle ZTV_CALL Wait(GrabberRecord *grabber, uint16_t flags);
int16_t ZTV_CALL WaitVB(GrabberRecord *grabber);
int16_t ZTV_CALL WaitFinished(GrabberRecord *grabber, RequestHandle request);
int16_t ZTV_CALL IsFinished(GrabberRecord *grabber, RequestHandle request);
int32_t ZTV_CALL KillQueue(GrabberRecord *grabber);
RequestHandle ZTV_CALL GrabContinuous(GrabberRecord *grabber, FrameRecord *frame, int16_t value,
                                      uint16_t flags);
RequestHandle ZTV_CALL WaitAnyEvent(GrabberRecord *grabber, int32_t a, int32_t b, int32_t c,
                                    uint16_t flags);
RequestHandle ZTV_CALL WaitAllEvents(GrabberRecord *grabber, int32_t a, int32_t b, int32_t c,
                                     uint16_t flags);
RequestHandle ZTV_CALL SwitchGrab(GrabberRecord *grabber, int32_t a, int32_t b, int32_t c,
                                  int32_t d, uint16_t flags);
RequestHandle ZTV_CALL SwitchCamera(GrabberRecord *grabber, uint16_t flags);
int16_t ZTV_CALL GetSwitch(GrabberRecord *grabber);
RequestHandle ZTV_CALL SetCamera(GrabberRecord *grabber, int16_t camera, uint16_t flags);
int16_t ZTV_CALL GetCamera(GrabberRecord *grabber);

/* Frames */
FrameRecord *ZTV_CALL AllocateBuffer(int16_t width, int16_t height, uint16_t pixelType);
void ZTV_CALL FreeFrame(FrameRecord *frame);

/* Video format and geometry */
int16_t ZTV_CALL SetFieldCount(GrabberRecord *grabber, int32_t count);
int32_t ZTV_CALL GetFieldCount(GrabberRecord *grabber);
int16_t ZTV_CALL VideoType(GrabberRecord *grabber);
int16_t ZTV_CALL SetXResolution(GrabberRecord *grabber, int16_t value);
int16_t ZTV_CALL SetYResolution(GrabberRecord *grabber, int16_t value);
int16_t ZTV_CALL SetWidth(GrabberRecord *grabber, int16_t value);
int16_t ZTV_CALL SetHeight(GrabberRecord *grabber, int16_t value);
int16_t ZTV_CALL SetLeft(GrabberRecord *grabber, int16_t value);
int16_t ZTV_CALL SetTop(GrabberRecord *grabber, int16_t value);
int16_t ZTV_CALL GetXResolution(GrabberRecord *grabber);
int16_t ZTV_CALL GetYResolution(GrabberRecord *grabber);
int16_t ZTV_CALL GetWidth(GrabberRecord *grabber);
int16_t ZTV_CALL GetHeight(GrabberRecord *grabber);
int16_t ZTV_CALL GetLeft(GrabberRecord *grabber);
int16_t ZTV_CALL GetTop(GrabberRecord *grabber);
int16_t ZTV_CALL SetVideoDetect(GrabberRecord *grabber, int16_t value);
int16_t ZTV_CALL GetVideoDetect(GrabberRecord *grabber);
/* Sets the pixel format the board delivers and waits until it is in effect:
 * 1 when done, 0 when refused. Also exported as SetPixelFormat (and, in the
 * Windows DLL, as _ZTSetPixelFormat@8). */
int32_t ZTV_CALL ZTSetPixelFormat(GrabberRecord *grabber, uint16_t format);
#ifndef _WIN32
int32_t ZTV_CALL SetPixelFormat(GrabberRecord *grabber, uint16_t format);
#endif

/* Picture adjustments */
RequestHandle ZTV_CALL SetContrast(GrabberRecord *grabber, float contrast, uint16_t flags);
RequestHandle ZTV_CALL SetBrightness(GrabberRecord *grabber, float brightness, uint16_t flags);
float ZTV_CALL GetContrast(GrabberRecord *grabber);
float ZTV_CALL GetBrightness(GrabberRecord *grabber);
RequestHandle ZTV_CALL SetHue(GrabberRecord *grabber, float hue, uint16_t flags);
RequestHandle ZTV_CALL SetSaturation(GrabberRecord *grabber, float saturation, uint16_t flags);
float ZTV_CALL GetHue(GrabberRecord *grabber);
float ZTV_CALL GetSaturation(GrabberRecord *grabber);
float ZTV_CALL SetVideoLevel(GrabberRecord *grabber, float level);
float ZTV_CALL GetVideoLevel(GrabberRecord *grabber);
int16_t ZTV_CALL SetChromaControl(GrabberRecord *grabber, int16_t value);
int16_t ZTV_CALL GetChromaControl(GrabberRecord *grabber);
int16_t ZTV_CALL SetLumaControl(GrabberRecord *grabber, int16_t value);
int16_t ZTV_CALL GetLumaControl(GrabberRecord *grabber);

/* Strobes and trigger timing */
float ZTV_CALL SetStrobePeriod(GrabberRecord *grabber, int16_t selector, float period);
float ZTV_CALL GetStrobePeriod(GrabberRecord *grabber, int16_t selector);
int16_t ZTV_CALL SetHoldoffStart(GrabberRecord *grabber, int16_t selector, int16_t value);
int16_t ZTV_CALL SetHoldoffWidth(GrabberRecord *grabber, int16_t selector, int16_t value);
int16_t ZTV_CALL SetHoldoffMask(GrabberRecord *grabber, uint32_t mask);
int16_t ZTV_CALL GetHoldoffStart(GrabberRecord *grabber, int16_t selector);
int16_t ZTV_CALL GetHoldoffWidth(GrabberRecord *grabber, int16_t selector);
uint32_t ZTV_CALL GetHoldoffMask(GrabberRecord *grabber);
float ZTV_CALL SetDoubleStrobe(GrabberRecord *grabber, int16_t selector, float time);
float ZTV_CALL GetDoubleStrobe(GrabberRecord *grabber, int16_t selector);
int16_t ZTV_CALL TriggerStrobe(GrabberRecord *grabber, int16_t value16, int32_t value32);
int16_t ZTV_CALL SyncStrobe(GrabberRecord *grabber, int16_t a, int16_t b, int16_t c);
int16_t ZTV_CALL FireStrobe(GrabberRecord *grabber, int32_t value);
int16_t ZTV_CALL SetDecisionPoint(GrabberRecord *grabber, int16_t selector, int16_t value);
int16_t ZTV_CALL GetDecisionPoint(GrabberRecord *grabber, int16_t selector);
int16_t ZTV_CALL SetDebounce(GrabberRecord *grabber, int16_t selector, int16_t value);
int16_t ZTV_CALL GetDebounce(GrabberRecord *grabber, int16_t selector);

#ifdef ZTV2_NT_VISIBILITY_PUSHED
#pragma GCC visibility pop
#endif

/* The table of entry points that OpenLibrary copies: 79 address-sized slots,
 * slots 0 and 1 zero. Narrow: 316 bytes; wide: 632 bytes. */
typedef struct InterfaceTable {
    void *reserved0;
    void *reserved1;
    GrabberRecord *(ZTV_CALL *AllocateFG)(int16_t);
    void(ZTV_CALL *FreeFG)(GrabberRecord *);
    int16_t(ZTV_CALL *ReadRevision)(GrabberRecord *);
    int32_t(ZTV_CALL *Reset)(GrabberRecord *);
    int32_t(ZTV_CALL *CheckError)(GrabberRecord *);
    int16_t(ZTV_CALL *ReadProtection)(GrabberRecord *);
    int32_t(ZTV_CALL *ReadSerial)(GrabberRecord *);
    int16_t(ZTV_CALL *GetIOType)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *SetIOType)(GrabberRecord *, int16_t, int16_t);
    int32_t(ZTV_CALL *ReadIO)(GrabberRecord *);
    int16_t(ZTV_CALL *WriteImmediateIO)(GrabberRecord *, int32_t, int32_t);
    RequestHandle(ZTV_CALL *Grab)(GrabberRecord *, FrameRecord *, uint16_t);
    RequestHandle(ZTV_CALL *Wait)(GrabberRecord *, uint16_t);
    int16_t(ZTV_CALL *WaitVB)(GrabberRecord *);
    int16_t(ZTV_CALL *WaitFinished)(GrabberRecord *, RequestHandle);
    int16_t(ZTV_CALL *IsFinished)(GrabberRecord *, RequestHandle);
    int32_t(ZTV_CALL *KillQueue)(GrabberRecord *);
    FrameRecord *(ZTV_CALL *AllocateBuffer)(int16_t, int16_t, uint16_t);
    void(ZTV_CALL *FreeFrame)(FrameRecord *);
    int16_t(ZTV_CALL *SetFieldCount)(GrabberRecord *, int32_t);
    int32_t(ZTV_CALL *GetFieldCount)(GrabberRecord *);
    RequestHandle(ZTV_CALL *GrabContinuous)(GrabberRecord *, FrameRecord *, int16_t, uint16_t);
    int16_t(ZTV_CALL *VideoType)(GrabberRecord *);
    int16_t(ZTV_CALL *SetXResolution)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *SetYResolution)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *SetWidth)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *SetHeight)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *SetLeft)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *SetTop)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *GetXResolution)(GrabberRecord *);
    int16_t(ZTV_CALL *GetYResolution)(GrabberRecord *);
    int16_t(ZTV_CALL *GetWidth)(GrabberRecord *);
    int16_t(ZTV_CALL *GetHeight)(GrabberRecord *);
    int16_t(ZTV_CALL *GetLeft)(GrabberRecord *);
    int16_t(ZTV_CALL *GetTop)(GrabberRecord *);
    RequestHandle(ZTV_CALL *WaitAnyEvent)(GrabberRecord *, int32_t, int32_t, int32_t, uint16_t);
    RequestHandle(ZTV_CALL *WaitAllEvents)(GrabberRecord *, int32_t, int32_t, int32_t, uint16_t);
    RequestHandle(ZTV_CALL *SwitchGrab)(GrabberRecord *, int32_t, int32_t, int32_t, int32_t,
                                        uint16_t);
    RequestHandle(ZTV_CALL *SwitchCamera)(GrabberRecord *, uint16_t);
    int16_t(ZTV_CALL *GetSwitch)(GrabberRecord *);
    RequestHandle(ZTV_CALL *SetCamera)(GrabberRecord *, int16_t, uint16_t);
    int16_t(ZTV_CALL *GetCamera)(GrabberRecord *);
    RequestHandle(ZTV_CALL *SetContrast)(GrabberRecord *, float, uint16_t);
    RequestHandle(ZTV_CALL *SetBrightness)(GrabberRecord *, float, uint16_t);
    float(ZTV_CALL *GetContrast)(GrabberRecord *);
    float(ZTV_CALL *GetBrightness)(GrabberRecord *);
    RequestHandle(ZTV_CALL *SetHue)(GrabberRecord *, float, uint16_t);
    RequestHandle(ZTV_CALL *SetSaturation)(GrabberRecord *, float, uint16_t);
    float(ZTV_CALL *GetHue)(GrabberRecord *);
    float(ZTV_CALL *GetSaturation)(GrabberRecord *);
    int32_t(ZTV_CALL *ZTSetPixelFormat)(GrabberRecord *, uint16_t);
    float(ZTV_CALL *SetVideoLevel)(GrabberRecord *, float);
    float(ZTV_CALL *GetVideoLevel)(GrabberRecord *);
    int16_t(ZTV_CALL *SetChromaControl)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *GetChromaControl)(GrabberRecord *);
    int16_t(ZTV_CALL *SetLumaControl)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *GetLumaControl)(GrabberRecord *);
    int16_t(ZTV_CALL *SetVideoDetect)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *GetVideoDetect)(GrabberRecord *);
    float(ZTV_CALL *SetStrobePeriod)(GrabberRecord *, int16_t, float);
    float(ZTV_CALL *GetStrobePeriod)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *SetHoldoffStart)(GrabberRecord *, int16_t, int16_t);
    int16_t(ZTV_CALL *SetHoldoffWidth)(GrabberRecord *, int16_t, int16_t);
    int16_t(ZTV_CALL *SetHoldoffMask)(GrabberRecord *, uint32_t);
    int16_t(ZTV_CALL *GetHoldoffStart)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *GetHoldoffWidth)(GrabberRecord *, int16_t);
    uint32_t(ZTV_CALL *GetHoldoffMask)(GrabberRecord *);
    float(ZTV_CALL *SetDoubleStrobe)(GrabberRecord *, int16_t, float);
    float(ZTV_CALL *GetDoubleStrobe)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *TriggerStrobe)(GrabberRecord *, int16_t, int32_t);
    int16_t(ZTV_CALL *SyncStrobe)(GrabberRecord *, int16_t, int16_t, int16_t);
    int16_t(ZTV_CALL *FireStrobe)(GrabberRecord *, int32_t);
    int16_t(ZTV_CALL *SetDecisionPoint)(GrabberRecord *, int16_t, int16_t);
    int16_t(ZTV_CALL *GetDecisionPoint)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *SetDebounce)(GrabberRecord *, int16_t, int16_t);
    int16_t(ZTV_CALL *GetDebounce)(GrabberRecord *, int16_t);
    int16_t(ZTV_CALL *GetModelNumber)(GrabberRecord *);
} InterfaceTable;

/* Layouts, fixed for both address widths. */
#if defined(__cplusplus)
#define ZTV_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define ZTV_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif
#if UINTPTR_MAX > 0xFFFFFFFFu
ZTV_STATIC_ASSERT(sizeof(GrabberRecord) == 16, "wide grabber record");
ZTV_STATIC_ASSERT(offsetof(GrabberRecord, boardToken) == 8, "wide grabber record");
ZTV_STATIC_ASSERT(sizeof(FrameRecord) == 40, "wide frame record");
ZTV_STATIC_ASSERT(offsetof(FrameRecord, width) == 8 && offsetof(FrameRecord, height) == 10 &&
                      offsetof(FrameRecord, pixelType) == 12 &&
                      offsetof(FrameRecord, planeCount) == 14 &&
                      offsetof(FrameRecord, bufferKind) == 15 &&
                      offsetof(FrameRecord, data) == 16 && offsetof(FrameRecord, pixels) == 24 &&
                      offsetof(FrameRecord, release) == 32,
                  "wide frame record");
ZTV_STATIC_ASSERT(sizeof(InterfaceTable) == 632, "wide interface table");
#else
ZTV_STATIC_ASSERT(sizeof(GrabberRecord) == 8, "narrow grabber record");
ZTV_STATIC_ASSERT(offsetof(GrabberRecord, boardToken) == 4, "narrow grabber record");
ZTV_STATIC_ASSERT(sizeof(FrameRecord) == 24, "narrow frame record");
ZTV_STATIC_ASSERT(offsetof(FrameRecord, width) == 4 && offsetof(FrameRecord, height) == 6 &&
                      offsetof(FrameRecord, pixelType) == 8 &&
                      offsetof(FrameRecord, planeCount) == 10 &&
                      offsetof(FrameRecord, bufferKind) == 11 &&
                      offsetof(FrameRecord, data) == 12 && offsetof(FrameRecord, pixels) == 16 &&
                      offsetof(FrameRecord, release) == 20,
                  "narrow frame record");
ZTV_STATIC_ASSERT(sizeof(InterfaceTable) == 316, "narrow interface table");
#endif
ZTV_STATIC_ASSERT(offsetof(InterfaceTable, AllocateFG) == 2 * sizeof(void *), "table slot 2");
ZTV_STATIC_ASSERT(offsetof(InterfaceTable, AllocateBuffer) == 19 * sizeof(void *), "table slot 19");
ZTV_STATIC_ASSERT(offsetof(InterfaceTable, ZTSetPixelFormat) == 52 * sizeof(void *),
                  "table slot 52");
ZTV_STATIC_ASSERT(offsetof(InterfaceTable, GetModelNumber) == 78 * sizeof(void *), "table slot 78");

#ifdef __cplusplus
}
#endif
#endif
