// A preloadable stand-in for the driver, for running unmodified programs in
// the tests: it answers the version and status that opening asks for, gives
// out board tokens, reports every request finished, fills a grabbed frame's
// first byte, and accepts everything else.
#include <string.h>

#include "scripted_driver.h"
#include "ztv2_nt.h"

namespace driver {

Answer DefaultAnswer(const Transfer &t) {
    switch (t.code) {
    case 136:
        return {true, 640};
    case 101:
        return {true, 0x1000 + (t.slot[1] & 0xFFFF)};
    case 116: {
        const FrameRecord *frame = reinterpret_cast<const FrameRecord *>(uintptr_t(t.slot[2]));
        if (frame != nullptr && frame->pixels != nullptr) memset(frame->pixels, 0x80, 1);
        return {true, 0x51};
    }
    default:
        return {true, 1};
    }
}

} // namespace driver
