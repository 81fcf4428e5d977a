// Video type, capture window, resolutions, field count, video detect and
// pixel format. Window, resolution and detect changes stop continuous
// grabbing first; the library never restarts it.
#include "acquire/waiting.h"

namespace {

int16_t SetAtRest(GrabberRecord *grabber, CommandCode code, int16_t value) {
    StopContinuousGrab(grabber);
    return Reply16(Command(code, ArgAddress(grabber), Arg16(value)));
}

int16_t Get16(GrabberRecord *grabber, CommandCode code) {
    return Reply16(Command(code, ArgAddress(grabber)));
}

} // namespace

int16_t ZTV_CALL SetXResolution(GrabberRecord *grabber, int16_t value) {
    return SetAtRest(grabber, kSetXResolution, value);
}
int16_t ZTV_CALL SetYResolution(GrabberRecord *grabber, int16_t value) {
    return SetAtRest(grabber, kSetYResolution, value);
}
int16_t ZTV_CALL SetWidth(GrabberRecord *grabber, int16_t value) {
    return SetAtRest(grabber, kSetWidth, value);
}
int16_t ZTV_CALL SetHeight(GrabberRecord *grabber, int16_t value) {
    return SetAtRest(grabber, kSetHeight, value);
}
int16_t ZTV_CALL SetLeft(GrabberRecord *grabber, int16_t value) {
    return SetAtRest(grabber, kSetLeft, value);
}
int16_t ZTV_CALL SetTop(GrabberRecord *grabber, int16_t value) {
    return SetAtRest(grabber, kSetTop, value);
}
int16_t ZTV_CALL SetVideoDetect(GrabberRecord *grabber, int16_t value) {
    return SetAtRest(grabber, kSetVideoDetect, value);
}

int16_t ZTV_CALL GetXResolution(GrabberRecord *grabber) { return Get16(grabber, kGetXResolution); }
int16_t ZTV_CALL GetYResolution(GrabberRecord *grabber) { return Get16(grabber, kGetYResolution); }
int16_t ZTV_CALL GetWidth(GrabberRecord *grabber) { return Get16(grabber, kGetWidth); }
int16_t ZTV_CALL GetHeight(GrabberRecord *grabber) { return Get16(grabber, kGetHeight); }
int16_t ZTV_CALL GetLeft(GrabberRecord *grabber) { return Get16(grabber, kGetLeft); }
int16_t ZTV_CALL GetTop(GrabberRecord *grabber) { return Get16(grabber, kGetTop); }
int16_t ZTV_CALL GetVideoDetect(GrabberRecord *grabber) { return Get16(grabber, kGetVideoDetect); }
int16_t ZTV_CALL VideoType(GrabberRecord *grabber) { return Get16(grabber, kVideoType); }

int16_t ZTV_CALL SetFieldCount(GrabberRecord *grabber, int32_t count) {
    return Reply16(Command(kSetFieldCount, ArgAddress(grabber), Arg32(count)));
}

int32_t ZTV_CALL GetFieldCount(GrabberRecord *grabber) {
    return Reply32(Command(kGetFieldCount, ArgAddress(grabber)));
}

// Always waits for its own request: there is no NoWait here.
int32_t ZTV_CALL ZTSetPixelFormat(GrabberRecord *grabber, uint16_t format) {
    const RequestHandle request =
        ReplyU32(Command(kSetPixelFormat, ArgAddress(grabber), Arg16(format)));
    if (request == 0) return 0;
    WaitFinished(grabber, request);
    return 1;
}

#ifndef _WIN32
// The second export name of the same entry point (the DLL's module definition
// names it there).
extern "C" int32_t SetPixelFormat(GrabberRecord *grabber, uint16_t format)
    __attribute__((alias("ZTSetPixelFormat")));
#endif
