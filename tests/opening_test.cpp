// Opening the library, the interface table and the exported names.
#include <string.h>

#include <string>
#include <vector>

#include "library_fixture.h"

namespace {

constexpr size_t kTableSize = 79 * sizeof(void *);

// Slot order of the interface table; slots 0 and 1 are zero.
const char *const kSlotNames[79] = {
    nullptr,
    nullptr,
    "AllocateFG",
    "FreeFG",
    "ReadRevision",
    "Reset",
    "CheckError",
    "ReadProtection",
    "ReadSerial",
    "GetIOType",
    "SetIOType",
    "ReadIO",
    "WriteImmediateIO",
    "Grab",
    "Wait",
    "WaitVB",
    "WaitFinished",
    "IsFinished",
    "KillQueue",
    "AllocateBuffer",
    "FreeFrame",
    "SetFieldCount",
    "GetFieldCount",
    "GrabContinuous",
    "VideoType",
    "SetXResolution",
    "SetYResolution",
    "SetWidth",
    "SetHeight",
    "SetLeft",
    "SetTop",
    "GetXResolution",
    "GetYResolution",
    "GetWidth",
    "GetHeight",
    "GetLeft",
    "GetTop",
    "WaitAnyEvent",
    "WaitAllEvents",
    "SwitchGrab",
    "SwitchCamera",
    "GetSwitch",
    "SetCamera",
    "GetCamera",
    "SetContrast",
    "SetBrightness",
    "GetContrast",
    "GetBrightness",
    "SetHue",
    "SetSaturation",
    "GetHue",
    "GetSaturation",
    "SetPixelFormat",
    "SetVideoLevel",
    "GetVideoLevel",
    "SetChromaControl",
    "GetChromaControl",
    "SetLumaControl",
    "GetLumaControl",
    "SetVideoDetect",
    "GetVideoDetect",
    "SetStrobePeriod",
    "GetStrobePeriod",
    "SetHoldoffStart",
    "SetHoldoffWidth",
    "SetHoldoffMask",
    "GetHoldoffStart",
    "GetHoldoffWidth",
    "GetHoldoffMask",
    "SetDoubleStrobe",
    "GetDoubleStrobe",
    "TriggerStrobe",
    "SyncStrobe",
    "FireStrobe",
    "SetDecisionPoint",
    "GetDecisionPoint",
    "SetDebounce",
    "GetDebounce",
    "GetModelNumber",
};

using OpeningTest = LibraryTest;

// Fills a destination with a marker so that untouched bytes show.
struct Destination {
    uint8_t bytes[kTableSize + 64];
    Destination() { memset(bytes, 0xEE, sizeof bytes); }
    size_t Written() const {
        size_t n = sizeof bytes;
        while (n > 0 && bytes[n - 1] == 0xEE)
            --n;
        return n;
    }
};

int16_t Open(void *destination, int16_t size) {
    driver::Script({{true, 640}, {true, 3}});
    return ZTV_EXPORT(OpenLibrary)(destination, size);
}

TEST_F(OpeningTest, SizesDecideWhatIsCopied) {
    const int16_t minimum = int16_t(2 * sizeof(void *));
    const struct {
        int16_t size;
        int16_t result;
        size_t copied;
    } cases[] = {
        {int16_t(kTableSize), 3, kTableSize},
        {32767, 3, kTableSize},
        {int16_t(kTableSize + 1), 3, kTableSize},
        {minimum, 3, size_t(minimum)},
        {int16_t(minimum + 2), 3, size_t(minimum + 2)},
        {int16_t(minimum - 1), 0, 0},
        {1, 0, 0},
        {-1, 0, 0},
        {-32768, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size);
        driver::Reset();
        Destination d;
        EXPECT_EQ(Open(d.bytes, c.size), c.result);
        EXPECT_EQ(d.Written(), c.copied);
        if (c.copied > 0) {
            const void *zero[2] = {nullptr, nullptr};
            EXPECT_EQ(memcmp(d.bytes, zero, size_t(minimum)), 0) << "two zero slots first";
        }
        EXPECT_EQ(driver::Codes(), (std::vector<uint32_t>{136, 100})) << "both commands sent";
    }
}

TEST_F(OpeningTest, SizeZeroTouchesNothingAndMayBeNull) { EXPECT_EQ(Open(nullptr, 0), 3); }

TEST_F(OpeningTest, EverySlotIsTheExportOfItsName) {
    InterfaceTable table;
    ASSERT_EQ(Open(&table, sizeof table), 3);
    void *slots[79];
    static_assert(sizeof slots == sizeof table, "table size");
    memcpy(slots, &table, sizeof slots);
    for (int k = 0; k < 79; ++k) {
        SCOPED_TRACE(k);
        if (kSlotNames[k] == nullptr) {
            EXPECT_EQ(slots[k], nullptr);
            continue;
        }
        void *exported = host::Symbol(kSlotNames[k]);
        ASSERT_NE(exported, nullptr) << kSlotNames[k];
        EXPECT_EQ(slots[k], exported) << kSlotNames[k];
    }
    EXPECT_EQ(host::Symbol(ZTV_PIXEL_FORMAT_EXPORT), slots[52]);
    EXPECT_EQ(host::Symbol("OpenLibrary") != nullptr, true);
    EXPECT_EQ(host::Symbol("CloseLibrary") != nullptr, true);
    EXPECT_EQ(host::Symbol("ShowErrorMessage"), nullptr) << "internal, not exported";

    // A call through the table is the operation itself.
    driver::Reset();
    driver::Script({{true, 77}});
    EXPECT_EQ(table.GetModelNumber(FakeGrabber()), 77);
    EXPECT_EQ(driver::Codes(), std::vector<uint32_t>{40});
    driver::Reset();
    driver::Script({{true, 0}});
    EXPECT_EQ(table.ZTSetPixelFormat(FakeGrabber(), 0x0218), 0);
    EXPECT_EQ(driver::Codes(), std::vector<uint32_t>{125});
    FrameRecord *frame = table.AllocateBuffer(2, 2, ZTV_PIXEL_GRAY8);
    ASSERT_NE(frame, nullptr);
    table.FreeFrame(frame);
}

TEST_F(OpeningTest, VersionMismatchShowsTheBoxEveryTime) {
    const uint64_t versions[] = {639, 641, uint64_t(int64_t(-640)) & 0xFFFF};
    for (uint64_t version : versions) {
        SCOPED_TRACE(version);
        driver::Reset();
        host::ResetRecords();
        Destination d;
        for (int call = 0; call < 2; ++call) {
            driver::Script({{true, version}, {true, 3}});
            EXPECT_EQ(ZTV_EXPORT(OpenLibrary)(d.bytes, int16_t(kTableSize)), 0);
        }
        EXPECT_EQ(d.Written(), 0u);
        EXPECT_EQ(driver::Codes(), (std::vector<uint32_t>{136, 136})) << "no command 100";
        const std::vector<host::MessageCall> messages = host::Messages();
        ASSERT_EQ(messages.size(), 2u);
        for (const host::MessageCall &m : messages) {
            EXPECT_EQ(m.text, "ZTV Driver: inconsistent version number.");
#ifdef _WIN32
            EXPECT_EQ(m.caption, "");
            EXPECT_EQ(m.style, 0x10u);
            EXPECT_TRUE(m.ownerNull);
#endif
        }
    }
}

TEST_F(OpeningTest, OnlyTheLowHalfOfTheVersionCounts) {
    driver::Script({{true, 0xDEAD0000u | 640}, {true, 9}});
    EXPECT_EQ(ZTV_EXPORT(OpenLibrary)(nullptr, 0), 9);
    EXPECT_TRUE(host::Messages().empty());
}

TEST_F(OpeningTest, StatusMustBePositive) {
    for (uint64_t status : {uint64_t(0), uint64_t(0xFFFF), uint64_t(0x8000)}) {
        Destination d;
        driver::Script({{true, 640}, {true, status}});
        EXPECT_EQ(ZTV_EXPORT(OpenLibrary)(d.bytes, int16_t(kTableSize)), 0);
        EXPECT_EQ(d.Written(), 0u);
    }
    EXPECT_TRUE(host::Messages().empty());
}

TEST_F(OpeningTest, FailedTransfersRefuseTheDriver) {
    driver::Script({{false, 640}});
    EXPECT_EQ(ZTV_EXPORT(OpenLibrary)(nullptr, 0), 0);
    EXPECT_EQ(host::Messages().size(), 1u) << "a version of 0 is a mismatch";
    driver::Script({{true, 640}, {false, 3}});
    EXPECT_EQ(ZTV_EXPORT(OpenLibrary)(nullptr, 0), 0);
}

TEST_F(OpeningTest, CloseLibraryDoesNothing) {
    auto closeLibrary = ZTV_EXPORT(CloseLibrary);
    closeLibrary(0);
    closeLibrary(-1);
    EXPECT_TRUE(driver::Transfers().empty());
}

} // namespace
