// Waiting, the queued-operation rule, acquisition and the settings that
// bring the board to rest first.
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "library_fixture.h"

namespace {

using AcquireTest = LibraryTest;
using Codes = std::vector<uint32_t>;

GrabberRecord *const g = FakeGrabber();
FrameRecord *const kFrame = reinterpret_cast<FrameRecord *>(uintptr_t(0x0BADF00Du));

TEST_F(AcquireTest, GrabWaitsByPollingPacedByTheVerticalBlank) {
    driver::Script({{true, 0xCAFE}, {true, 0}, {true, 0}, {true, 0}, {true, 0}, {true, 1}});
    EXPECT_EQ(ZTV_EXPORT(Grab)(g, kFrame, 0), 0xCAFEu) << "the handle, not the poll's reply";
    EXPECT_EQ(driver::Codes(), (Codes{116, 11, 10, 11, 10, 11}));
    const std::vector<Transfer> sent = driver::Transfers();
    EXPECT_EQ(sent[0].slot[2], uint64_t(uintptr_t(kFrame)));
    EXPECT_EQ(sent[1].slot[2], 0xCAFEu) << "the poll names the request";
}

TEST_F(AcquireTest, NoWaitReturnsAtOnceWithTheFlagsSent) {
    for (uint16_t flags : {uint16_t(8), uint16_t(0xFFFF), uint16_t(0x0108)}) {
        driver::Reset();
        driver::Script({{true, 0x99}});
        EXPECT_EQ(ZTV_EXPORT(Grab)(g, kFrame, flags), 0x99u);
        EXPECT_EQ(driver::Codes(), Codes{116});
        EXPECT_EQ(driver::Transfers()[0].slot[3], flags);
    }
}

TEST_F(AcquireTest, RefusedRequestSendsNothingMore) {
    driver::Script({{true, 0}});
    EXPECT_EQ(ZTV_EXPORT(Grab)(g, kFrame, 0), 0u);
    EXPECT_EQ(driver::Codes(), Codes{116});
}

TEST_F(AcquireTest, WaitEndsOnAnyNonzeroReplyAndOnALostDriver) {
    auto waitFinished = ZTV_EXPORT(WaitFinished);
    driver::Script({{true, 0xFFFF}});
    EXPECT_EQ(waitFinished(g, 4), -1);
    EXPECT_EQ(driver::Codes(), Codes{11});

    // The driver can no longer be reached: the wait ends with 0.
    driver::Reset();
    driver::Script({{true, 0}, {false, 0}});
    EXPECT_EQ(waitFinished(g, 4), 0);
    EXPECT_EQ(driver::Codes(), (Codes{11, 10}));
    driver::Reset();
    driver::Script({{false, 0}});
    EXPECT_EQ(waitFinished(g, 0), 0);
    EXPECT_EQ(driver::Transfers()[0].slot[2], 0u);

    // A queued operation still returns its handle.
    driver::Reset();
    driver::Script({{true, 0x77}, {false, 0}});
    EXPECT_EQ(ZTV_EXPORT(Wait)(g, 0), 0x77u);
    driver::Reset();
    driver::Script({{true, 0x78}, {true, 0xFFFF}});
    EXPECT_EQ(ZTV_EXPORT(SwitchCamera)(g, 0), 0x78u) << "a negative end is not passed on";
}

TEST_F(AcquireTest, KillQueueAnswersTheTransfersSuccess) {
    driver::Script({{true, 0}, {false, 5}});
    EXPECT_NE(ZTV_EXPORT(KillQueue)(g), 0);
    EXPECT_EQ(ZTV_EXPORT(KillQueue)(g), 0);
}

struct Queued {
    const char *name;
    uint32_t code;
    std::function<RequestHandle(uint16_t flags)> call;
    std::vector<uint64_t> slots; // slots 2.. before the flags
};

TEST_F(AcquireTest, EveryQueuedOperationFollowsTheRule) {
    const uint64_t frame = uint64_t(uintptr_t(kFrame));
    const std::vector<Queued> operations = {
        {"Grab", 116, [](uint16_t f) { return ZTV_EXPORT(Grab)(g, kFrame, f); }, {frame}},
        {"GrabContinuous",
         117,
         [](uint16_t f) { return ZTV_EXPORT(GrabContinuous)(g, kFrame, -2, f); },
         {frame, 0xFFFE}},
        {"SwitchGrab",
         118,
         [](uint16_t f) { return ZTV_EXPORT(SwitchGrab)(g, -1, 2, int32_t(0x80000000u), 4, f); },
         {0xFFFFFFFF, 2, 0x80000000, 4}},
        {"Wait", 103, [](uint16_t f) { return ZTV_EXPORT(Wait)(g, f); }, {}},
        {"WaitAnyEvent",
         108,
         [](uint16_t f) { return ZTV_EXPORT(WaitAnyEvent)(g, 1, -2, 3, f); },
         {1, 0xFFFFFFFE, 3}},
        {"WaitAllEvents",
         109,
         [](uint16_t f) { return ZTV_EXPORT(WaitAllEvents)(g, 1, -2, 3, f); },
         {1, 0xFFFFFFFE, 3}},
        {"SwitchCamera", 110, [](uint16_t f) { return ZTV_EXPORT(SwitchCamera)(g, f); }, {}},
        {"SetCamera", 111, [](uint16_t f) { return ZTV_EXPORT(SetCamera)(g, -3, f); }, {0xFFFD}},
        {"SetContrast", 104, [](uint16_t f) { return ZTV_EXPORT(SetContrast)(g, 1.0f, f); }, {216}},
        {"SetBrightness",
         105,
         [](uint16_t f) { return ZTV_EXPORT(SetBrightness)(g, -0.1f, f); },
         {0xFFFFFFE7}},
        {"SetHue", 106, [](uint16_t f) { return ZTV_EXPORT(SetHue)(g, 45.0f, f); }, {0xFFFFFFC0}},
        {"SetSaturation",
         107,
         [](uint16_t f) { return ZTV_EXPORT(SetSaturation)(g, 1.0f, f); },
         {254, 180}},
    };
    for (const Queued &op : operations) {
        SCOPED_TRACE(op.name);
        // Waits: one poll that answers finished.
        driver::Reset();
        driver::Script({{true, 0xFFFFFFFEu}, {true, 1}});
        EXPECT_EQ(op.call(0xFFF7), 0xFFFFFFFEu);
        EXPECT_EQ(driver::Codes(), (Codes{op.code, 11}));
        const Transfer sent = driver::Transfers()[0];
        EXPECT_EQ(sent.slot[1], uint64_t(uintptr_t(g)));
        for (size_t i = 0; i < op.slots.size(); ++i)
            EXPECT_EQ(sent.slot[2 + i], op.slots[i]);
        EXPECT_EQ(sent.slot[2 + op.slots.size()], 0xFFF7u) << "the flags, whole";
        for (size_t s = 3 + op.slots.size(); s < 8; ++s)
            EXPECT_EQ(sent.slot[s], 0u);
        // NoWait.
        driver::Reset();
        driver::Script({{true, 5}});
        EXPECT_EQ(op.call(ZTV_NOWAIT), 5u);
        EXPECT_EQ(driver::Codes(), Codes{op.code});
        // Refused.
        driver::Reset();
        driver::Script({{true, 0}});
        EXPECT_EQ(op.call(0), 0u);
        EXPECT_EQ(driver::Codes(), Codes{op.code});
    }
}

TEST_F(AcquireTest, GeometrySettersStopContinuousGrabbingFirst) {
    struct Setter {
        const char *name;
        uint32_t code;
        decltype(&::SetWidth) set;
    };
    const Setter setters[] = {
        {"SetXResolution", 126, ZTV_EXPORT(SetXResolution)},
        {"SetYResolution", 127, ZTV_EXPORT(SetYResolution)},
        {"SetWidth", 128, ZTV_EXPORT(SetWidth)},
        {"SetHeight", 129, ZTV_EXPORT(SetHeight)},
        {"SetLeft", 130, ZTV_EXPORT(SetLeft)},
        {"SetTop", 131, ZTV_EXPORT(SetTop)},
        {"SetVideoDetect", 134, ZTV_EXPORT(SetVideoDetect)},
    };
    for (const Setter &s : setters) {
        SCOPED_TRACE(s.name);
        driver::Reset();
        driver::Script({{true, 0x44}, {true, 1}, {true, 0xFFFF}});
        EXPECT_EQ(s.set(g, -7), -1);
        EXPECT_EQ(driver::Codes(), (Codes{117, 11, s.code}));
        const std::vector<Transfer> sent = driver::Transfers();
        EXPECT_EQ(sent[0].slot[2], 0u);
        EXPECT_EQ(sent[0].slot[3], 0u);
        EXPECT_EQ(sent[0].slot[4], 0u);
        EXPECT_EQ(sent[2].slot[2], 0xFFF9u);
        // A refused stop does not stop the setter.
        driver::Reset();
        driver::Script({{true, 0}, {true, 3}});
        EXPECT_EQ(s.set(g, 1), 3);
        EXPECT_EQ(driver::Codes(), (Codes{117, s.code}));
    }
}

TEST_F(AcquireTest, SettersThatWaitForRestPollRequestZeroFirst) {
    driver::Script({{true, 0}, {true, 0}, {true, 1}, {true, 6}});
    EXPECT_EQ(ZTV_EXPORT(SetIOType)(g, 2, -1), 6);
    EXPECT_EQ(driver::Codes(), (Codes{11, 10, 11, 135}));
    EXPECT_EQ(driver::Transfers()[0].slot[2], 0u) << "request 0";
    EXPECT_EQ(driver::Transfers()[3].slot[3], 0xFFFFu);

    const struct {
        const char *name;
        uint32_t code;
        decltype(&::SetLumaControl) set;
    } words[] = {{"SetLumaControl", 133, ZTV_EXPORT(SetLumaControl)},
                 {"SetChromaControl", 132, ZTV_EXPORT(SetChromaControl)}};
    for (const auto &w : words) {
        driver::Reset();
        driver::Script({{true, 1}, {true, 0x1234FFFE}});
        EXPECT_EQ(w.set(g, 0x40), -2) << w.name;
        EXPECT_EQ(driver::Codes(), (Codes{11, w.code}));
    }
    driver::Reset();
    driver::Script({{true, 1}, {true, 0}});
    EXPECT_EQ(ZTV_EXPORT(SetVideoLevel)(g, 1.0f), 0.0f) << "refused";
    EXPECT_EQ(driver::Codes(), (Codes{11, 119}));
}

TEST_F(AcquireTest, PixelFormatWaitsForItsOwnRequestAndAnswersOne) {
    auto setPixelFormat =
        reinterpret_cast<decltype(&::ZTSetPixelFormat)>(host::Symbol(ZTV_PIXEL_FORMAT_EXPORT));
    ASSERT_NE(setPixelFormat, nullptr);
    driver::Script({{true, 0x123}, {true, 0}, {true, 0}, {true, 1}});
    EXPECT_EQ(setPixelFormat(g, 0x0218), 1);
    EXPECT_EQ(driver::Codes(), (Codes{125, 11, 10, 11}));
    EXPECT_EQ(driver::Transfers()[0].slot[2], 0x0218u);
    driver::Reset();
    driver::Script({{true, 0}});
    EXPECT_EQ(setPixelFormat(g, 8), 0);
    EXPECT_EQ(driver::Codes(), Codes{125});
}

TEST_F(AcquireTest, FieldCountCarriesThirtyTwoBitsAndNeverStops) {
    driver::Script({{true, 1}, {true, 0x12345678}});
    EXPECT_EQ(ZTV_EXPORT(SetFieldCount)(g, 0x10002), 1);
    EXPECT_EQ(ZTV_EXPORT(GetFieldCount)(g), 0x12345678);
    EXPECT_EQ(driver::Codes(), (Codes{13, 14}));
    EXPECT_EQ(driver::Transfers()[0].slot[2], 0x10002u);
}

TEST_F(AcquireTest, ConcurrentWaitsEachEndOnTheirOwnRequest) {
    // Requests finish after a number of vertical blanks of their own.
    std::atomic<int> blanks{0};
    driver::SetResponder([&blanks](const Transfer &t) {
        if (t.code == 10) {
            ++blanks;
            return Answer{true, 0};
        }
        if (t.code == 11) return Answer{true, blanks.load() >= int(t.slot[2]) ? t.slot[2] : 0};
        return Answer{true, 0};
    });
    auto waitFinished = ZTV_EXPORT(WaitFinished);
    int16_t results[2] = {0, 0};
    std::thread first([&] { results[0] = waitFinished(g, 20); });
    std::thread second([&] { results[1] = waitFinished(g, 40); });
    first.join();
    second.join();
    EXPECT_EQ(results[0], 20);
    EXPECT_EQ(results[1], 40);
}

} // namespace
