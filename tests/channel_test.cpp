// The driver channel: device connection at load and unload, the command block
// and its transfer, and the operations that send one command.
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "library_fixture.h"

namespace {

#ifdef _WIN32
const char *const kDeviceNames[2] = {"\\\\.\\ZTV", "\\\\.\\ZTV.vxd"};
#else
const char *const kDeviceNames[2] = {"/dev/ztv", "/dev/ztv.vxd"};
#endif

void ExpectOpen(const host::OpenCall &call, host::Device device) {
    EXPECT_EQ(call.name, kDeviceNames[device]);
#ifdef _WIN32
    EXPECT_EQ(call.access, 0xC0000000u);
    EXPECT_EQ(call.share, 0u);
    EXPECT_TRUE(call.securityNull);
    EXPECT_EQ(call.disposition, 3u);
    EXPECT_EQ(call.flags, device == host::kZtv ? 0x80u : 0x04000000u);
#else
    EXPECT_EQ(call.access, uint32_t(02 | 02000000)); // O_RDWR | O_CLOEXEC
#endif
}

class ConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driver::Reset();
        host::ResetRecords();
    }
    void TearDown() override {
        host::Unload();
        host::SetDevice(host::kZtv, true);
        host::SetDevice(host::kZtvVxd, false);
    }
};

TEST_F(ConnectionTest, FirstNameOpensAndSecondIsNeverTried) {
    host::SetDevice(host::kZtv, true);
    host::SetDevice(host::kZtvVxd, true);
    ASSERT_TRUE(host::Load());
    const std::vector<host::OpenCall> opens = host::Opens();
    ASSERT_EQ(opens.size(), 1u);
    ExpectOpen(opens[0], host::kZtv);
    EXPECT_TRUE(driver::Transfers().empty()) << "loading sends nothing";
    host::Unload();
    EXPECT_EQ(host::Closes(), 1);
    EXPECT_TRUE(host::DeviceExists(host::kZtv)) << "the first name is not deleted on close";
}

TEST_F(ConnectionTest, SecondNameServesWhenFirstIsMissing) {
    host::SetDevice(host::kZtv, false);
    host::SetDevice(host::kZtvVxd, true);
    ASSERT_TRUE(host::Load());
    const std::vector<host::OpenCall> opens = host::Opens();
    ASSERT_EQ(opens.size(), 2u);
    ExpectOpen(opens[0], host::kZtv);
    EXPECT_FALSE(opens[0].succeeded);
    ExpectOpen(opens[1], host::kZtvVxd);
    EXPECT_TRUE(opens[1].succeeded);

    driver::Script({{true, 42}});
    EXPECT_EQ(ZTV_EXPORT(GetWidth)(FakeGrabber()), 42);
    EXPECT_EQ(driver::Transfers().size(), 1u);
    host::Unload();
    EXPECT_EQ(host::Closes(), 1);
#ifdef _WIN32
    EXPECT_FALSE(host::DeviceExists(host::kZtvVxd)) << "delete-on-close removes the target";
#endif
}

TEST_F(ConnectionTest, NoDevice) {
    host::SetDevice(host::kZtv, false);
    host::SetDevice(host::kZtvVxd, false);
#ifdef _WIN32
    EXPECT_FALSE(host::Load()) << "the load fails";
#else
    // A Linux load cannot be refused: the library stays loaded, unconnected,
    // and makes no system call for any operation.
    ASSERT_TRUE(host::Load());
    uint8_t table[316] = {};
    EXPECT_EQ(ZTV_EXPORT(OpenLibrary)(table, sizeof table), 0);
    EXPECT_EQ(ZTV_EXPORT(GetWidth)(FakeGrabber()), 0);
    EXPECT_EQ(ZTV_EXPORT(ReadSerial)(FakeGrabber()), 0);
    EXPECT_EQ(ZTV_EXPORT(Reset)(FakeGrabber()), 0);
    EXPECT_EQ(ZTV_EXPORT(WaitFinished)(FakeGrabber(), 5), 0);
#endif
    EXPECT_EQ(host::Opens().size(), 2u);
    EXPECT_TRUE(driver::Transfers().empty());
    EXPECT_TRUE(host::Messages().empty()) << "no message on this path";
    host::Unload();
    EXPECT_EQ(host::Closes(), 0) << "nothing was opened, nothing is closed";
}

TEST_F(ConnectionTest, ThreadsStartingAndEndingDoNothing) {
    ASSERT_TRUE(host::Load());
    host::ResetRecords();
    std::thread([] {}).join();
    std::thread([] {}).join();
    EXPECT_TRUE(host::Opens().empty());
    EXPECT_EQ(host::Closes(), 0);
    EXPECT_TRUE(driver::Transfers().empty());
}

// The operations that do nothing but send one command.
enum class ReplyKind { k16, k32, kSuccess };

struct OneCommand {
    const char *name;
    uint32_t code;
    std::function<int64_t()> call;
    std::vector<uint64_t> slots; // slots 1.. as the driver must see them
    ReplyKind reply;
};

const uint64_t kG = uint64_t(uintptr_t(FakeGrabber()));

std::vector<OneCommand> OneCommandOperations() {
    GrabberRecord *g = FakeGrabber();
    using R = ReplyKind;
    return {
        {"ReadRevision", 1, [=] { return ZTV_EXPORT(ReadRevision)(g); }, {kG}, R::k16},
        {"Reset", 2, [=] { return ZTV_EXPORT(Reset)(g); }, {kG}, R::kSuccess},
        {"CheckError", 3, [=] { return ZTV_EXPORT(CheckError)(g); }, {kG}, R::k32},
        {"ReadProtection", 4, [=] { return ZTV_EXPORT(ReadProtection)(g); }, {kG}, R::k16},
        {"ReadSerial", 5, [=] { return ZTV_EXPORT(ReadSerial)(g); }, {kG}, R::k32},
        {"GetIOType", 6, [=] { return ZTV_EXPORT(GetIOType)(g, -2); }, {kG, 0xFFFE}, R::k16},
        {"ReadIO", 8, [=] { return ZTV_EXPORT(ReadIO)(g); }, {kG}, R::k32},
        {"WriteImmediateIO",
         9,
         [=] { return ZTV_EXPORT(WriteImmediateIO)(g, int32_t(0x89ABCDEF), -1); },
         {kG, 0x89ABCDEF, 0xFFFFFFFF},
         R::k16},
        {"WaitVB", 10, [=] { return ZTV_EXPORT(WaitVB)(g); }, {kG}, R::k16},
        {"IsFinished",
         11,
         [=] { return ZTV_EXPORT(IsFinished)(g, 0xFEDCBA98u); },
         {kG, 0xFEDCBA98},
         R::k16},
        {"KillQueue", 12, [=] { return ZTV_EXPORT(KillQueue)(g); }, {kG}, R::kSuccess},
        {"SetFieldCount",
         13,
         [=] { return ZTV_EXPORT(SetFieldCount)(g, 0x12345); },
         {kG, 0x12345},
         R::k16},
        {"GetFieldCount", 14, [=] { return ZTV_EXPORT(GetFieldCount)(g); }, {kG}, R::k32},
        {"SetHoldoffStart",
         15,
         [=] { return ZTV_EXPORT(SetHoldoffStart)(g, 3, -1); },
         {kG, 3, 0xFFFF},
         R::k16},
        {"SetHoldoffWidth",
         16,
         [=] { return ZTV_EXPORT(SetHoldoffWidth)(g, -3, 7); },
         {kG, 0xFFFD, 7},
         R::k16},
        {"SetHoldoffMask",
         17,
         [=] { return ZTV_EXPORT(SetHoldoffMask)(g, 0xF0F0F0F1u); },
         {kG, 0xF0F0F0F1},
         R::k16},
        {"SetDecisionPoint",
         18,
         [=] { return ZTV_EXPORT(SetDecisionPoint)(g, 1, 2); },
         {kG, 1, 2},
         R::k16},
        {"SetDebounce",
         19,
         [=] { return ZTV_EXPORT(SetDebounce)(g, 2, -32768); },
         {kG, 2, 0x8000},
         R::k16},
        {"VideoType", 20, [=] { return ZTV_EXPORT(VideoType)(g); }, {kG}, R::k16},
        {"GetXResolution", 21, [=] { return ZTV_EXPORT(GetXResolution)(g); }, {kG}, R::k16},
        {"GetYResolution", 22, [=] { return ZTV_EXPORT(GetYResolution)(g); }, {kG}, R::k16},
        {"GetWidth", 23, [=] { return ZTV_EXPORT(GetWidth)(g); }, {kG}, R::k16},
        {"GetHeight", 24, [=] { return ZTV_EXPORT(GetHeight)(g); }, {kG}, R::k16},
        {"GetLeft", 25, [=] { return ZTV_EXPORT(GetLeft)(g); }, {kG}, R::k16},
        {"GetTop", 26, [=] { return ZTV_EXPORT(GetTop)(g); }, {kG}, R::k16},
        {"GetSwitch", 27, [=] { return ZTV_EXPORT(GetSwitch)(g); }, {kG}, R::k16},
        {"GetCamera", 28, [=] { return ZTV_EXPORT(GetCamera)(g); }, {kG}, R::k16},
        {"GetChromaControl", 29, [=] { return ZTV_EXPORT(GetChromaControl)(g); }, {kG}, R::k16},
        {"GetLumaControl", 30, [=] { return ZTV_EXPORT(GetLumaControl)(g); }, {kG}, R::k16},
        {"GetVideoDetect", 31, [=] { return ZTV_EXPORT(GetVideoDetect)(g); }, {kG}, R::k16},
        {"GetHoldoffStart", 32, [=] { return ZTV_EXPORT(GetHoldoffStart)(g, 5); }, {kG, 5}, R::k16},
        {"GetHoldoffWidth",
         33,
         [=] { return ZTV_EXPORT(GetHoldoffWidth)(g, -1); },
         {kG, 0xFFFF},
         R::k16},
        {"GetHoldoffMask",
         34,
         [=] { return int32_t(ZTV_EXPORT(GetHoldoffMask)(g)); },
         {kG},
         R::k32},
        {"GetDecisionPoint",
         35,
         [=] { return ZTV_EXPORT(GetDecisionPoint)(g, 9); },
         {kG, 9},
         R::k16},
        {"GetDebounce",
         36,
         [=] { return ZTV_EXPORT(GetDebounce)(g, 0x7FFF); },
         {kG, 0x7FFF},
         R::k16},
        {"TriggerStrobe",
         37,
         [=] { return ZTV_EXPORT(TriggerStrobe)(g, -1, int32_t(0x80000001)); },
         {kG, 0xFFFF, 0x80000001},
         R::k16},
        {"SyncStrobe",
         38,
         [=] { return ZTV_EXPORT(SyncStrobe)(g, 1, -1, 0x7FFF); },
         {kG, 1, 0xFFFF, 0x7FFF},
         R::k16},
        {"FireStrobe", 39, [=] { return ZTV_EXPORT(FireStrobe)(g, -5); }, {kG, 0xFFFFFFFB}, R::k16},
        {"GetModelNumber", 40, [=] { return ZTV_EXPORT(GetModelNumber)(g); }, {kG}, R::k16},
    };
}

using OneCommandTest = LibraryTest;

TEST_F(OneCommandTest, EachSendsItsBlockAndReadsItsReply) {
    const std::vector<OneCommand> operations = OneCommandOperations();
    ASSERT_EQ(operations.size(), 39u);
    for (const OneCommand &op : operations) {
        SCOPED_TRACE(op.name);
        driver::Reset();
        // Garbage in the upper half: a 16-bit reply reads only the low half,
        // with its sign; the success replies ignore slot 1 altogether.
        const uint64_t answer = op.reply == ReplyKind::kSuccess ? 0 : 0xABCD8005u;
        driver::Script({{true, answer}});
        const int64_t result = op.call();
        switch (op.reply) {
        case ReplyKind::k16:
            EXPECT_EQ(result, -32763);
            break;
        case ReplyKind::k32:
            EXPECT_EQ(result, int32_t(0xABCD8005u));
            break;
        case ReplyKind::kSuccess:
            EXPECT_NE(result, 0);
            break;
        }
        const std::vector<Transfer> sent = driver::Transfers();
        ASSERT_EQ(sent.size(), 1u) << "one transfer per operation";
        EXPECT_EQ(sent[0].code, op.code);
        for (int slot = 1; slot < 8; ++slot) {
            const uint64_t expected = size_t(slot) <= op.slots.size() ? op.slots[slot - 1] : 0;
            EXPECT_EQ(sent[0].slot[slot], expected) << "slot " << slot;
        }

        // A failed transfer answers 0, never the block as it was sent.
        driver::Reset();
        driver::Script({{false, 0x1234}});
        EXPECT_EQ(op.call(), 0);
    }
}

TEST_F(OneCommandTest, SixteenBitRepliesKeepTheirSign) {
    auto getWidth = ZTV_EXPORT(GetWidth);
    const struct {
        uint64_t slot1;
        int16_t expected;
    } cases[] = {{5, 5}, {0xFFFF0005u, 5}, {0x8000, -32768}, {0xFFFF, -1}, {0x7FFF, 32767}};
    for (const auto &c : cases) {
        driver::Script({{true, c.slot1}});
        EXPECT_EQ(getWidth(FakeGrabber()), c.expected) << std::hex << c.slot1;
    }
}

TEST_F(OneCommandTest, TwoThreadsEachGetTheirOwnReply) {
    // The driver answers each block with its own selector plus 1000.
    driver::SetResponder([](const Transfer &t) { return Answer{true, t.slot[2] + 1000}; });
    auto getIOType = ZTV_EXPORT(GetIOType);
    auto worker = [getIOType](int16_t selector, int *mismatches) {
        for (int i = 0; i < 500; ++i)
            if (getIOType(FakeGrabber(), selector) != selector + 1000) ++*mismatches;
    };
    int mismatches[2] = {0, 0};
    std::thread first(worker, int16_t(1), &mismatches[0]);
    std::thread second(worker, int16_t(2), &mismatches[1]);
    first.join();
    second.join();
    EXPECT_EQ(mismatches[0], 0);
    EXPECT_EQ(mismatches[1], 0);
    EXPECT_EQ(driver::Transfers().size(), 1000u);
}

} // namespace
