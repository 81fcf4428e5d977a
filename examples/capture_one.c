/* The smallest capture: open the library, take a grabber for board 0 and a
 * frame, grab one image into it, and release everything. Uses nothing but
 * the public header. */
#include <stdio.h>

#include "ztv2_nt.h"

int main(void) {
    InterfaceTable table;
    const int16_t status = OpenLibrary(&table, (int16_t)sizeof table);
    if (status <= 0) {
        fprintf(stderr, "capture_one: the board's driver is not usable\n");
        return 1;
    }
    GrabberRecord *grabber = table.AllocateFG(0);
    if (grabber == NULL) {
        fprintf(stderr, "capture_one: board 0 refused\n");
        return 1;
    }
    FrameRecord *frame = table.AllocateBuffer(640, 480, ZTV_PIXEL_RGB24);
    if (frame == NULL) {
        fprintf(stderr, "capture_one: no memory for a frame\n");
        table.FreeFG(grabber);
        return 1;
    }
    const RequestHandle request = Grab(grabber, frame, 0);
    printf("capture_one: grab request %u, frame %dx%d, first byte %d\n", (unsigned)request,
           frame->width, frame->height, ((unsigned char *)frame->pixels)[0]);
    FreeFrame(frame);
    FreeFG(grabber);
    CloseLibrary(0);
    return request != 0 ? 0 : 1;
}
