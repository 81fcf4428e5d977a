// Board identification, error state, reset and digital I/O.
#include "acquire/waiting.h"

int16_t ZTV_CALL ReadRevision(GrabberRecord *grabber) {
    return Reply16(Command(kReadRevision, ArgAddress(grabber)));
}

// Answers the transfer's own success, whatever the driver wrote back.
int32_t ZTV_CALL Reset(GrabberRecord *grabber) { return Command(kReset, ArgAddress(grabber)).ok; }

int32_t ZTV_CALL CheckError(GrabberRecord *grabber) {
    return Reply32(Command(kCheckError, ArgAddress(grabber)));
}

int16_t ZTV_CALL ReadProtection(GrabberRecord *grabber) {
    return Reply16(Command(kReadProtection, ArgAddress(grabber)));
}

int32_t ZTV_CALL ReadSerial(GrabberRecord *grabber) {
    return Reply32(Command(kReadSerial, ArgAddress(grabber)));
}

int16_t ZTV_CALL GetIOType(GrabberRecord *grabber, int16_t selector) {
    return Reply16(Command(kGetIOType, ArgAddress(grabber), Arg16(selector)));
}

// Waits for the board to come to rest (request 0) before changing the type.
int16_t ZTV_CALL SetIOType(GrabberRecord *grabber, int16_t selector, int16_t value) {
    WaitFinished(grabber, 0);
    return Reply16(Command(kSetIOType, ArgAddress(grabber), Arg16(selector), Arg16(value)));
}

int32_t ZTV_CALL ReadIO(GrabberRecord *grabber) {
    return Reply32(Command(kReadIO, ArgAddress(grabber)));
}

int16_t ZTV_CALL WriteImmediateIO(GrabberRecord *grabber, int32_t first, int32_t second) {
    return Reply16(Command(kWriteImmediateIO, ArgAddress(grabber), Arg32(first), Arg32(second)));
}

int16_t ZTV_CALL GetModelNumber(GrabberRecord *grabber) {
    return Reply16(Command(kGetModelNumber, ArgAddress(grabber)));
}
