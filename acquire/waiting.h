// The rule every queued operation applies to the request its command answers.
#pragma once

#include "channel/senders.h"
#include "ztv2_nt.h"

// A refused request (0) returns 0 at once; otherwise, unless NoWait is set in
// the low 16 bits of the flags, waits for the request (ignoring how the wait
// ended) and returns the request.
RequestHandle FinishQueued(GrabberRecord *grabber, const SentCommand &sent, uint16_t flags);

// The stop form of GrabContinuous, sent before every change of geometry and
// of video detection.
void StopContinuousGrab(GrabberRecord *grabber);
