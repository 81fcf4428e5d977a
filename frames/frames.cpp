// Frame records and their pixel memory, single-plane and three-plane.
#include <stdlib.h>

#include "ztv2_nt.h"

namespace {

void ZTV_CALL ReleaseSingle(FrameRecord *frame) {
    free(frame->data);
    free(frame);
}

// Releases the planes from the end of the chain, as each is found through
// the links of planes not yet released, then the container.
void ZTV_CALL ReleasePlanar(FrameRecord *container) {
    FrameRecord *first = static_cast<FrameRecord *>(container->data);
    ReleaseSingle(first->next->next);
    ReleaseSingle(first->next);
    ReleaseSingle(first);
    free(container);
}

void ZTV_CALL ReleaseNothing(FrameRecord *) {}

bool IsSinglePlaneCode(uint16_t code) {
    switch (code) {
    case ZTV_PIXEL_GRAY8:
    case ZTV_PIXEL_RGB565:
    case ZTV_PIXEL_RGB24:
    case ZTV_PIXEL_RGB555:
    case ZTV_PIXEL_RGB32:
    case ZTV_PIXEL_YUV422:
        return true;
    default:
        return false;
    }
}

} // namespace

FrameRecord *ZTV_CALL AllocateBuffer(int16_t width, int16_t height, uint16_t pixelType) {
    if (width < 1 || height < 1) return nullptr;
    FrameRecord *frame = static_cast<FrameRecord *>(malloc(sizeof(FrameRecord)));
    if (frame == nullptr) return nullptr;
    *frame = FrameRecord{};
    frame->width = width;
    frame->height = height;
    frame->pixelType = pixelType;

    if (IsSinglePlaneCode(pixelType)) {
        // Unsigned 64-bit: 32767 x 32767 x 4 does not fit a signed 32-bit value,
        // and on 32-bit forms the heap refuses what it cannot hold.
        const uint64_t bytesPerPixel = ((pixelType & 0xFFu) + 7u) / 8u;
        const uint64_t size = uint64_t(width) * uint64_t(height) * bytesPerPixel;
        void *pixels = size <= SIZE_MAX ? malloc(static_cast<size_t>(size)) : nullptr;
        if (pixels == nullptr) {
            free(frame);
            return nullptr;
        }
        frame->planeCount = 1;
        frame->bufferKind = 2;
        frame->data = pixels;
        frame->pixels = pixels;
        frame->release = ReleaseSingle;
        return frame;
    }

    if (pixelType == ZTV_PIXEL_YUV422P) {
        frame->planeCount = 3;
        frame->bufferKind = 0;
        frame->release = ReleasePlanar;
        const int16_t chromaWidth = static_cast<int16_t>((width + 1) / 2);
        FrameRecord *y = AllocateBuffer(width, height, ZTV_PIXEL_GRAY8);
        FrameRecord *u = AllocateBuffer(chromaWidth, height, ZTV_PIXEL_GRAY8);
        FrameRecord *v = AllocateBuffer(chromaWidth, height, ZTV_PIXEL_GRAY8);
        if (y != nullptr && u != nullptr && v != nullptr) {
            y->release = ReleaseNothing;
            u->release = ReleaseNothing;
            v->release = ReleaseNothing;
            frame->data = y;
            y->next = u;
            u->next = v;
            v->next = frame;
            return frame;
        }
        FreeFrame(y);
        FreeFrame(u);
        FreeFrame(v);
        free(frame);
        return nullptr;
    }

    free(frame);
    return nullptr;
}

void ZTV_CALL FreeFrame(FrameRecord *frame) {
    if (frame == nullptr || frame->release == nullptr) return;
    frame->release(frame);
}
