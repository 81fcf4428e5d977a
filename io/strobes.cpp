// Strobes and trigger timing. Periods and double-strobe times are counts of
// the strobe tick: the single-precision value nearest 0.000064, widened.
#include "channel/counts.h"
#include "channel/senders.h"
#include "ztv2_nt.h"

namespace {

constexpr double kTick = static_cast<double>(0.000064f); // 8796093 x 2^-37
static_assert(kTick == 8796093.0 / 137438953472.0, "strobe tick");

int32_t TicksFor(float time) { return LimitCount(TruncateToCount(time / kTick), 1, 65535); }
float TimeOf(int32_t ticks) { return static_cast<float>(ticks * kTick); }
float TimeOrFailure(int32_t reply) { return reply < 0 ? -1.0f : TimeOf(reply); }

} // namespace

int16_t ZTV_CALL FireStrobe(GrabberRecord *grabber, int32_t value) {
    return Reply16(Command(kFireStrobe, ArgAddress(grabber), Arg32(value)));
}

int16_t ZTV_CALL SyncStrobe(GrabberRecord *grabber, int16_t a, int16_t b, int16_t c) {
    return Reply16(Command(kSyncStrobe, ArgAddress(grabber), Arg16(a), Arg16(b), Arg16(c)));
}

int16_t ZTV_CALL TriggerStrobe(GrabberRecord *grabber, int16_t value16, int32_t value32) {
    return Reply16(Command(kTriggerStrobe, ArgAddress(grabber), Arg16(value16), Arg32(value32)));
}

int16_t ZTV_CALL SetHoldoffStart(GrabberRecord *grabber, int16_t selector, int16_t value) {
    return Reply16(Command(kSetHoldoffStart, ArgAddress(grabber), Arg16(selector), Arg16(value)));
}

int16_t ZTV_CALL GetHoldoffStart(GrabberRecord *grabber, int16_t selector) {
    return Reply16(Command(kGetHoldoffStart, ArgAddress(grabber), Arg16(selector)));
}

int16_t ZTV_CALL SetHoldoffWidth(GrabberRecord *grabber, int16_t selector, int16_t value) {
    return Reply16(Command(kSetHoldoffWidth, ArgAddress(grabber), Arg16(selector), Arg16(value)));
}

int16_t ZTV_CALL GetHoldoffWidth(GrabberRecord *grabber, int16_t selector) {
    return Reply16(Command(kGetHoldoffWidth, ArgAddress(grabber), Arg16(selector)));
}

int16_t ZTV_CALL SetHoldoffMask(GrabberRecord *grabber, uint32_t mask) {
    return Reply16(
        Command(kSetHoldoffMask, ArgAddress(grabber), Arg32(static_cast<int32_t>(mask))));
}

uint32_t ZTV_CALL GetHoldoffMask(GrabberRecord *grabber) {
    return ReplyU32(Command(kGetHoldoffMask, ArgAddress(grabber)));
}

int16_t ZTV_CALL SetDecisionPoint(GrabberRecord *grabber, int16_t selector, int16_t value) {
    return Reply16(Command(kSetDecisionPoint, ArgAddress(grabber), Arg16(selector), Arg16(value)));
}

int16_t ZTV_CALL GetDecisionPoint(GrabberRecord *grabber, int16_t selector) {
    return Reply16(Command(kGetDecisionPoint, ArgAddress(grabber), Arg16(selector)));
}

int16_t ZTV_CALL SetDebounce(GrabberRecord *grabber, int16_t selector, int16_t value) {
    return Reply16(Command(kSetDebounce, ArgAddress(grabber), Arg16(selector), Arg16(value)));
}

int16_t ZTV_CALL GetDebounce(GrabberRecord *grabber, int16_t selector) {
    return Reply16(Command(kGetDebounce, ArgAddress(grabber), Arg16(selector)));
}

float ZTV_CALL SetStrobePeriod(GrabberRecord *grabber, int16_t selector, float period) {
    const int32_t ticks = TicksFor(period);
    const SentCommand sent =
        Command(kSetStrobePeriod, ArgAddress(grabber), Arg16(selector), Arg32(ticks));
    return Reply16(sent) != 0 ? TimeOf(ticks) : -1.0f;
}

// As the period, except that a strictly negative time sends 0 ticks.
float ZTV_CALL SetDoubleStrobe(GrabberRecord *grabber, int16_t selector, float time) {
    const int32_t ticks = time < 0.0f ? 0 : TicksFor(time);
    const SentCommand sent =
        Command(kSetDoubleStrobe, ArgAddress(grabber), Arg16(selector), Arg32(ticks));
    return Reply16(sent) != 0 ? TimeOf(ticks) : -1.0f;
}

float ZTV_CALL GetStrobePeriod(GrabberRecord *grabber, int16_t selector) {
    return TimeOrFailure(Reply32(Command(kGetStrobePeriod, ArgAddress(grabber), Arg16(selector))));
}

float ZTV_CALL GetDoubleStrobe(GrabberRecord *grabber, int16_t selector) {
    return TimeOrFailure(Reply32(Command(kGetDoubleStrobe, ArgAddress(grabber), Arg16(selector))));
}
