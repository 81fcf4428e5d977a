// The fixture every library test starts from: the scripted driver behind
// "\\.\ZTV" (or /dev/ztv), the library freshly loaded, and typed access to
// its exports.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host.h"
#include "ztv2_nt.h"

// An export of the loaded library, with the type the public header gives it.
#define ZTV_EXPORT(name) reinterpret_cast<decltype(&::name)>(host::Symbol(#name))

// The pixel-format operation's own export name in this form.
#ifdef _WIN32
#define ZTV_PIXEL_FORMAT_EXPORT "_ZTSetPixelFormat@8"
#else
#define ZTV_PIXEL_FORMAT_EXPORT "ZTSetPixelFormat"
#endif

// The size of one command-block slot in this form.
constexpr uint32_t kSlot = sizeof(void *);

// A grabber handle the library never dereferences: only passed through.
inline GrabberRecord *FakeGrabber() {
    return reinterpret_cast<GrabberRecord *>(uintptr_t(0x5A5A1230u));
}

// Whether a code is one of the protocol's commands.
inline bool IsProtocolCode(uint32_t code) {
    return (code >= 1 && code <= 40 && code != 7) || (code >= 100 && code <= 136);
}

class LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driver::Reset();
        host::ResetRecords();
        host::ResetHeap();
        host::SetDevice(host::kZtv, true);
        host::SetDevice(host::kZtvVxd, false);
        ASSERT_TRUE(host::Load());
        host::ResetRecords();
    }
    void TearDown() override {
        for (const Transfer &t : driver::Transfers()) {
            EXPECT_TRUE(IsProtocolCode(t.code)) << "code " << t.code << " was sent";
            EXPECT_EQ(t.inLength, 8 * kSlot);
            EXPECT_EQ(t.outLength, 2 * kSlot);
        }
        EXPECT_EQ(host::Anomalies(), std::vector<std::string>{}) << "wrong system calls";
        host::Unload();
    }
};
