// Grabber handles and frame records: layouts, failure paths and the heap.
#include <string.h>

#include <vector>

#include "library_fixture.h"

namespace {

class RecordsTest : public LibraryTest {
  protected:
    void TearDown() override {
        EXPECT_EQ(host::LiveBlocks(), 0) << "nothing leaks";
        EXPECT_EQ(host::BadFrees(), 0) << "nothing is freed twice";
        LibraryTest::TearDown();
    }
};

TEST_F(RecordsTest, AllocateFGKeepsTheTokenAndTheLibrarysTable) {
    driver::Script({{true, 0x80000001u}, {true, 7}});
    GrabberRecord *first = ZTV_EXPORT(AllocateFG)(-1);
    GrabberRecord *second = ZTV_EXPORT(AllocateFG)(3);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->boardToken, int32_t(0x80000001u));
    EXPECT_EQ(second->boardToken, 7);
    EXPECT_EQ(first->table, second->table);
    InterfaceTable copy;
    driver::Script({{true, 640}, {true, 1}});
    ASSERT_EQ(ZTV_EXPORT(OpenLibrary)(&copy, sizeof copy), 1);
    EXPECT_NE(first->table, &copy) << "the library's own table, not a copy";
    EXPECT_EQ(memcmp(first->table, &copy, sizeof copy), 0);

    std::vector<Transfer> sent = driver::Transfers();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0].code, 101u);
    EXPECT_EQ(sent[0].slot[1], 0xFFFFu) << "the board number as 16 bits";

    driver::Reset();
    ZTV_EXPORT(FreeFG)(first);
    ZTV_EXPORT(FreeFG)(second);
    sent = driver::Transfers();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].code, 102u);
    EXPECT_EQ(sent[0].slot[1], uint64_t(uintptr_t(first)));
}

TEST_F(RecordsTest, RefusedBoardAllocatesNothing) {
    driver::Script({{true, 0}});
    EXPECT_EQ(ZTV_EXPORT(AllocateFG)(0), nullptr);
    EXPECT_EQ(driver::Codes(), std::vector<uint32_t>{101});
}

TEST_F(RecordsTest, RecordFailureHandsTheTokenBack) {
    host::FailAllocation(1);
    driver::Script({{true, 0x1234567}, {true, 0}});
    EXPECT_EQ(ZTV_EXPORT(AllocateFG)(2), nullptr);
    const std::vector<Transfer> sent = driver::Transfers();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].code, 102u);
    EXPECT_EQ(sent[1].slot[1], 0x1234567u) << "the token itself";
}

TEST_F(RecordsTest, RefusedReleaseKeepsTheRecord) {
    driver::Script({{true, 5}});
    GrabberRecord *grabber = ZTV_EXPORT(AllocateFG)(0);
    ASSERT_NE(grabber, nullptr);
    driver::Script({{true, 0}});
    ZTV_EXPORT(FreeFG)(grabber);
    EXPECT_EQ(host::LiveBlocks(), 1);
    EXPECT_EQ(grabber->boardToken, 5);
    driver::Script({{true, 1}});
    ZTV_EXPORT(FreeFG)(grabber);
    EXPECT_EQ(driver::Codes(), (std::vector<uint32_t>{101, 102, 102}));
    driver::Script({{true, 1}});
    ZTV_EXPORT(FreeFG)(nullptr);
    EXPECT_EQ(driver::Transfers().back().slot[1], 0u);
}

TEST_F(RecordsTest, SinglePlaneLayouts) {
    const struct {
        uint16_t code;
        int16_t width, height;
        size_t bytes;
    } cases[] = {
        {0x0008, 1, 1, 1},  {0x0008, 7, 3, 21}, {0x0210, 5, 2, 20}, {0x0218, 3, 2, 18},
        {0x060F, 3, 2, 12}, {0x0620, 7, 1, 28}, {0x0810, 9, 4, 72},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        FrameRecord *frame = ZTV_EXPORT(AllocateBuffer)(c.width, c.height, c.code);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->next, nullptr);
        EXPECT_EQ(frame->width, c.width);
        EXPECT_EQ(frame->height, c.height);
        EXPECT_EQ(frame->pixelType, c.code);
        EXPECT_EQ(frame->planeCount, 1);
        EXPECT_EQ(frame->bufferKind, 2);
        EXPECT_NE(frame->data, nullptr);
        EXPECT_EQ(frame->data, frame->pixels);
        EXPECT_NE(frame->release, nullptr);
        memset(frame->pixels, 0x5A, c.bytes); // the whole size is usable
        EXPECT_EQ(host::LiveBlocks(), 2);
        ZTV_EXPORT(FreeFrame)(frame);
        EXPECT_EQ(host::LiveBlocks(), 0);
    }
}

TEST_F(RecordsTest, ThreePlaneChain) {
    for (int16_t width : {int16_t(5), int16_t(1), int16_t(6)}) {
        SCOPED_TRACE(width);
        FrameRecord *frame = ZTV_EXPORT(AllocateBuffer)(width, 4, ZTV_PIXEL_YUV422P);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->planeCount, 3);
        EXPECT_EQ(frame->bufferKind, 0);
        EXPECT_EQ(frame->next, nullptr);
        EXPECT_EQ(frame->width, width);
        EXPECT_EQ(frame->pixelType, ZTV_PIXEL_YUV422P);
        FrameRecord *y = static_cast<FrameRecord *>(frame->data);
        ASSERT_NE(y, nullptr);
        FrameRecord *u = y->next;
        ASSERT_NE(u, nullptr);
        FrameRecord *v = u->next;
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->next, frame);
        const int16_t chroma = int16_t((width + 1) / 2);
        const FrameRecord *planes[3] = {y, u, v};
        const int16_t widths[3] = {width, chroma, chroma};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(planes[i]->width, widths[i]);
            EXPECT_EQ(planes[i]->height, 4);
            EXPECT_EQ(planes[i]->pixelType, ZTV_PIXEL_GRAY8);
            EXPECT_EQ(planes[i]->planeCount, 1);
            EXPECT_EQ(planes[i]->bufferKind, 2);
            EXPECT_EQ(planes[i]->data, planes[i]->pixels);
            memset(planes[i]->pixels, 1, size_t(widths[i]) * 4);
        }
        EXPECT_EQ(host::LiveBlocks(), 7);
        // A plane cannot be released on its own.
        ZTV_EXPORT(FreeFrame)(u);
        EXPECT_EQ(host::LiveBlocks(), 7);
        EXPECT_EQ(y->next, u);
        ZTV_EXPORT(FreeFrame)(frame);
        EXPECT_EQ(host::LiveBlocks(), 0);
    }
}

TEST_F(RecordsTest, RefusedSizesAndCodes) {
    auto allocate = ZTV_EXPORT(AllocateBuffer);
    EXPECT_EQ(allocate(0, 5, ZTV_PIXEL_GRAY8), nullptr);
    EXPECT_EQ(allocate(5, 0, ZTV_PIXEL_GRAY8), nullptr);
    EXPECT_EQ(allocate(-1, 5, ZTV_PIXEL_GRAY8), nullptr);
    EXPECT_EQ(allocate(5, -32768, ZTV_PIXEL_GRAY8), nullptr);
    for (uint16_t code :
         {0x0010, 0x0018, 0x0108, 0x0000, 0x8008, 0x8218, 0x9810, 0x0220, 0x1808, 0xFFFF}) {
        EXPECT_EQ(allocate(4, 4, code), nullptr) << std::hex << code;
    }
    EXPECT_TRUE(driver::Transfers().empty()) << "frames never reach the driver";
}

TEST_F(RecordsTest, EachFailedAllocationReleasesWhatWasMade) {
    // Single plane: the record, then the pixel memory.
    for (int failing = 1; failing <= 2; ++failing) {
        host::FailAllocation(failing);
        EXPECT_EQ(ZTV_EXPORT(AllocateBuffer)(8, 8, ZTV_PIXEL_RGB24), nullptr);
        EXPECT_EQ(host::LiveBlocks(), 0) << failing;
    }
    // Three planes: container, then record and memory of each plane.
    for (int failing = 1; failing <= 7; ++failing) {
        host::FailAllocation(failing);
        EXPECT_EQ(ZTV_EXPORT(AllocateBuffer)(8, 8, ZTV_PIXEL_YUV422P), nullptr) << failing;
        EXPECT_EQ(host::LiveBlocks(), 0) << failing;
    }
    host::FailAllocation(0);
}

TEST_F(RecordsTest, LargestFrameDoesNotOverflow) {
    // 32767 x 32767 x 4 bytes does not fit a signed 32-bit size; a 32-bit
    // heap refuses it, a 64-bit one may grant it.
    FrameRecord *frame = ZTV_EXPORT(AllocateBuffer)(32767, 32767, ZTV_PIXEL_RGB32);
    if (frame != nullptr) {
        EXPECT_EQ(sizeof(void *), 8u);
        static_cast<uint8_t *>(frame->pixels)[size_t(4294705155u)] = 1; // the last byte
        ZTV_EXPORT(FreeFrame)(frame);
    }
    EXPECT_EQ(host::LiveBlocks(), 0);
}

TEST_F(RecordsTest, FreeFrameIgnoresNullAndRecordsWithoutRelease) {
    ZTV_EXPORT(FreeFrame)(nullptr);
    FrameRecord bare = {};
    ZTV_EXPORT(FreeFrame)(&bare);
    EXPECT_EQ(host::BadFrees(), 0);
}

} // namespace
