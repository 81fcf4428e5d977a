// Request completion: polling with IsFinished, paced by WaitVB.
#include "acquire/waiting.h"

int16_t ZTV_CALL IsFinished(GrabberRecord *grabber, RequestHandle request) {
    return Reply16(Command(kIsFinished, ArgAddress(grabber), Arg32(request)));
}

int16_t ZTV_CALL WaitVB(GrabberRecord *grabber) {
    return Reply16(Command(kWaitVB, ArgAddress(grabber)));
}

// Polls until the driver reports the request finished, one pass per vertical
// blank. Ends with 0 when the driver can no longer be reached, instead of
// polling for ever.
int16_t ZTV_CALL WaitFinished(GrabberRecord *grabber, RequestHandle request) {
    for (;;) {
        const SentCommand poll = Command(kIsFinished, ArgAddress(grabber), Arg32(request));
        if (!poll.ok) return 0;
        const int16_t finished = Reply16(poll);
        if (finished != 0) return finished;
        if (!Command(kWaitVB, ArgAddress(grabber)).ok) return 0;
    }
}

int32_t ZTV_CALL KillQueue(GrabberRecord *grabber) {
    return Command(kKillQueue, ArgAddress(grabber)).ok;
}

RequestHandle FinishQueued(GrabberRecord *grabber, const SentCommand &sent, uint16_t flags) {
    const RequestHandle request = ReplyU32(sent);
    if (request == 0) return 0;
    if ((flags & ZTV_NOWAIT) == 0) WaitFinished(grabber, request);
    return request;
}

void StopContinuousGrab(GrabberRecord *grabber) { GrabContinuous(grabber, nullptr, 0, 0); }
