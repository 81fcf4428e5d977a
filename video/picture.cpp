// Picture controls: floats at the interface, counts on the board, with fixed
// scales, truncation toward zero and limits; luma and chroma words pass
// through.
#include "acquire/waiting.h"
#include "channel/counts.h"

namespace {

// The single-precision saturation nearest 511.9 / 254; larger values are
// capped to it so that u stays within 511.
constexpr double kSaturationThreshold = 511.9 / 254.0;
constexpr float kSaturationCap = static_cast<float>(511.9 / 254.0);

RequestHandle SetQueuedCount(GrabberRecord *grabber, CommandCode code, int32_t count,
                             uint16_t flags) {
    return FinishQueued(grabber, Command(code, ArgAddress(grabber), Arg32(count), Arg16(flags)),
                        flags);
}

double GetCount(GrabberRecord *grabber, CommandCode code) {
    return static_cast<double>(Reply32(Command(code, ArgAddress(grabber))));
}

} // namespace

float ZTV_CALL SetVideoLevel(GrabberRecord *grabber, float level) {
    WaitFinished(grabber, 0);
    const int32_t count = LimitCount(TruncateToCount(level * 256.0 / 2.5), 1, 255);
    const int16_t accepted = Reply16(Command(kSetVideoLevel, ArgAddress(grabber), Arg32(count)));
    return accepted != 0 ? static_cast<float>(count * 2.5 / 256.0) : 0.0f;
}

float ZTV_CALL GetVideoLevel(GrabberRecord *grabber) {
    return static_cast<float>(GetCount(grabber, kGetVideoLevel) * 2.5 / 256.0);
}

RequestHandle ZTV_CALL SetSaturation(GrabberRecord *grabber, float saturation, uint16_t flags) {
    if (static_cast<double>(saturation) > kSaturationThreshold) saturation = kSaturationCap;
    const int32_t u = LimitCount(TruncateToCount(saturation * 254.0), 0, 511);
    const int32_t v = LimitCount(TruncateToCount(saturation * 180.0), 0, 511);
    return FinishQueued(
        grabber, Command(kSetSaturation, ArgAddress(grabber), Arg32(u), Arg32(v), Arg16(flags)),
        flags);
}

float ZTV_CALL GetSaturation(GrabberRecord *grabber) {
    return static_cast<float>(GetCount(grabber, kGetSaturation) / 254.0);
}

RequestHandle ZTV_CALL SetHue(GrabberRecord *grabber, float hue, uint16_t flags) {
    const int32_t count = LimitCount(TruncateToCount(hue * -128.0 / 90.0), -128, 127);
    return SetQueuedCount(grabber, kSetHue, count, flags);
}

float ZTV_CALL GetHue(GrabberRecord *grabber) {
    return static_cast<float>(GetCount(grabber, kGetHue) * -90.0 / 128.0);
}

RequestHandle ZTV_CALL SetBrightness(GrabberRecord *grabber, float brightness, uint16_t flags) {
    const int32_t count = LimitCount(TruncateToCount(brightness * 256.0), -128, 127);
    return SetQueuedCount(grabber, kSetBrightness, count, flags);
}

float ZTV_CALL GetBrightness(GrabberRecord *grabber) {
    return static_cast<float>(GetCount(grabber, kGetBrightness) / 256.0);
}

RequestHandle ZTV_CALL SetContrast(GrabberRecord *grabber, float contrast, uint16_t flags) {
    const int32_t count = LimitCount(TruncateToCount(contrast * 216.0), 0, 511);
    return SetQueuedCount(grabber, kSetContrast, count, flags);
}

float ZTV_CALL GetContrast(GrabberRecord *grabber) {
    return static_cast<float>(GetCount(grabber, kGetContrast) / 216.0);
}

int16_t ZTV_CALL SetChromaControl(GrabberRecord *grabber, int16_t value) {
    WaitFinished(grabber, 0);
    return Reply16(Command(kSetChromaControl, ArgAddress(grabber), Arg16(value)));
}

int16_t ZTV_CALL GetChromaControl(GrabberRecord *grabber) {
    return Reply16(Command(kGetChromaControl, ArgAddress(grabber)));
}

int16_t ZTV_CALL SetLumaControl(GrabberRecord *grabber, int16_t value) {
    WaitFinished(grabber, 0);
    return Reply16(Command(kSetLumaControl, ArgAddress(grabber), Arg16(value)));
}

int16_t ZTV_CALL GetLumaControl(GrabberRecord *grabber) {
    return Reply16(Command(kGetLumaControl, ArgAddress(grabber)));
}
