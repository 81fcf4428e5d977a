// Grabbing, event waits and camera switching: queued operations.
#include "acquire/waiting.h"

RequestHandle ZTV_CALL Grab(GrabberRecord *grabber, FrameRecord *frame, uint16_t flags) {
    return FinishQueued(
        grabber, Command(kGrab, ArgAddress(grabber), ArgAddress(frame), Arg16(flags)), flags);
}

RequestHandle ZTV_CALL GrabContinuous(GrabberRecord *grabber, FrameRecord *frame, int16_t value,
                                      uint16_t flags) {
    return FinishQueued(grabber,
                        Command(kGrabContinuous, ArgAddress(grabber), ArgAddress(frame),
                                Arg16(value), Arg16(flags)),
                        flags);
}

RequestHandle ZTV_CALL SwitchGrab(GrabberRecord *grabber, int32_t a, int32_t b, int32_t c,
                                  int32_t d, uint16_t flags) {
    return FinishQueued(grabber,
                        Command(kSwitchGrab, ArgAddress(grabber), Arg32(a), Arg32(b), Arg32(c),
                                Arg32(d), Arg16(flags)),
                        flags);
}

RequestHandle ZTV_CALL Wait(GrabberRecord *grabber, uint16_t flags) {
    return FinishQueued(grabber, Command(kWait, ArgAddress(grabber), Arg16(flags)), flags);
}

RequestHandle ZTV_CALL WaitAnyEvent(GrabberRecord *grabber, int32_t a, int32_t b, int32_t c,
                                    uint16_t flags) {
    return FinishQueued(
        grabber,
        Command(kWaitAnyEvent, ArgAddress(grabber), Arg32(a), Arg32(b), Arg32(c), Arg16(flags)),
        flags);
}

RequestHandle ZTV_CALL WaitAllEvents(GrabberRecord *grabber, int32_t a, int32_t b, int32_t c,
                                     uint16_t flags) {
    return FinishQueued(
        grabber,
        Command(kWaitAllEvents, ArgAddress(grabber), Arg32(a), Arg32(b), Arg32(c), Arg16(flags)),
        flags);
}

RequestHandle ZTV_CALL SwitchCamera(GrabberRecord *grabber, uint16_t flags) {
    return FinishQueued(grabber, Command(kSwitchCamera, ArgAddress(grabber), Arg16(flags)), flags);
}

RequestHandle ZTV_CALL SetCamera(GrabberRecord *grabber, int16_t camera, uint16_t flags) {
    return FinishQueued(
        grabber, Command(kSetCamera, ArgAddress(grabber), Arg16(camera), Arg16(flags)), flags);
}

int16_t ZTV_CALL GetCamera(GrabberRecord *grabber) {
    return Reply16(Command(kGetCamera, ArgAddress(grabber)));
}

int16_t ZTV_CALL GetSwitch(GrabberRecord *grabber) {
    return Reply16(Command(kGetSwitch, ArgAddress(grabber)));
}
