// Float settings and their counts: scales, truncation toward zero, limits,
// and every input defined (NaN, infinities, values beyond 32 bits). Results
// are compared bit for bit, so every form must agree exactly.
#include <string.h>

#include <limits>
#include <vector>

#include "library_fixture.h"

namespace {

using ConversionTest = LibraryTest;
GrabberRecord *const g = FakeGrabber();

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

uint32_t Bits(float f) {
    uint32_t b;
    memcpy(&b, &f, sizeof b);
    return b;
}

// The count the driver received in a slot, as a signed 32-bit value.
int32_t SentCount(int slot) { return int32_t(uint32_t(driver::Transfers().back().slot[slot])); }

struct CountCase {
    float input;
    int32_t count;
};

TEST_F(ConversionTest, BrightnessHueContrast) {
    const struct {
        const char *name;
        decltype(&::SetBrightness) set;
        std::vector<CountCase> cases;
    } controls[] = {
        {"SetBrightness",
         ZTV_EXPORT(SetBrightness),
         {{0.5f, 127},
          {-0.5f, -128},
          {0.25f, 64},
          {-0.1f, -25},
          {0.0f, 0},
          {-0.0f, 0},
          {kNaN, 0},
          {kInf, 127},
          {-kInf, -128},
          {1e30f, 127},
          {-1e30f, -128},
          {8.4e6f, 127}}},
        {"SetHue",
         ZTV_EXPORT(SetHue),
         {{90.0f, -128},
          {-90.0f, 127},
          {45.0f, -64},
          {1.0f, -1},
          {0.7f, 0},
          {0.0f, 0},
          {kNaN, 0},
          {kInf, -128},
          {-kInf, 127},
          {1e10f, -128},
          {-1e10f, 127}}},
        {"SetContrast",
         ZTV_EXPORT(SetContrast),
         {{1.0f, 216},
          {2.5f, 511},
          {-1.0f, 0},
          {-1e30f, 0},
          {1e30f, 511},
          {kNaN, 0},
          {kInf, 511},
          {0.5f, 108}}},
    };
    for (const auto &control : controls) {
        for (const CountCase &c : control.cases) {
            SCOPED_TRACE(testing::Message() << control.name << " " << c.input);
            driver::Script({{true, 9}});
            EXPECT_EQ(control.set(g, c.input, ZTV_NOWAIT), 9u);
            EXPECT_EQ(SentCount(2), c.count);
        }
    }
}

TEST_F(ConversionTest, Saturation) {
    const struct {
        float input;
        int32_t u, v;
    } cases[] = {
        {1.0f, 254, 180}, {2.0f, 508, 360}, {3.0f, 511, 362},       {2.0153544f, 511, 362},
        {-0.5f, 0, 0},    {0.004f, 1, 0},   {kNaN, 0, 0},           {kInf, 511, 362},
        {-kInf, 0, 0},    {0.0f, 0, 0},     {2.0153542f, 511, 362},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.input);
        driver::Script({{true, 9}});
        ZTV_EXPORT(SetSaturation)(g, c.input, ZTV_NOWAIT);
        EXPECT_EQ(SentCount(2), c.u);
        EXPECT_EQ(SentCount(3), c.v);
    }
}

TEST_F(ConversionTest, VideoLevel) {
    const struct {
        float input;
        int32_t count;
        float result;
    } cases[] = {
        {1.0f, 102, 0.99609375f},  {0.0f, 1, 0.009765625f},   {-3.0f, 1, 0.009765625f},
        {2.5f, 255, 2.490234375f}, {kNaN, 1, 0.009765625f},   {kInf, 255, 2.490234375f},
        {-kInf, 1, 0.009765625f},  {3e7f, 255, 2.490234375f},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.input);
        driver::Script({{true, 1}, {true, 1}}); // the rest poll, then accepted
        EXPECT_EQ(Bits(ZTV_EXPORT(SetVideoLevel)(g, c.input)), Bits(c.result));
        EXPECT_EQ(SentCount(2), c.count);
    }
}

TEST_F(ConversionTest, StrobeTimes) {
    const struct {
        float input;
        int32_t count;
        float result;
    } periods[] = {
        {0.000064f, 1, 6.3999998e-05f},
        {0.000128f, 2, 0.000128f},
        {0.000256f, 4, 0.000256f},
        {0.00032f, 4, 0.000256f},
        {0.00064f, 9, 0.000576f},
        {0.001f, 15, 0.0009599999757483602f},
        {1.0f, 15625, 1.0f},
        {4.2f, 65535, 4.194240093231201f},
        {0.0f, 1, 6.3999998e-05f},
        {-1.0f, 1, 6.3999998e-05f},
        {kNaN, 1, 6.3999998e-05f},
        {kInf, 65535, 4.194240093231201f},
        {-kInf, 1, 6.3999998e-05f},
        {1e30f, 65535, 4.194240093231201f},
    };
    for (const auto &c : periods) {
        SCOPED_TRACE(c.input);
        driver::Script({{true, 1}});
        EXPECT_EQ(Bits(ZTV_EXPORT(SetStrobePeriod)(g, 2, c.input)), Bits(c.result));
        EXPECT_EQ(SentCount(3), c.count);
        EXPECT_EQ(driver::Transfers().back().code, 121u);
    }

    const struct {
        float input;
        int32_t count;
        float result;
    } doubles[] = {
        {-0.001f, 0, 0.0f},        {0.0f, 1, 6.3999998e-05f}, {-0.0f, 1, 6.3999998e-05f},
        {kNaN, 1, 6.3999998e-05f}, {-kInf, 0, 0.0f},          {1.0f, 15625, 1.0f},
    };
    for (const auto &c : doubles) {
        SCOPED_TRACE(c.input);
        driver::Script({{true, 1}});
        EXPECT_EQ(Bits(ZTV_EXPORT(SetDoubleStrobe)(g, -1, c.input)), Bits(c.result));
        EXPECT_EQ(SentCount(3), c.count);
        EXPECT_EQ(driver::Transfers().back().slot[2], 0xFFFFu) << "selector";
    }

    driver::Script({{true, 0xFFFF0000u}, {true, 0}});
    EXPECT_EQ(ZTV_EXPORT(SetStrobePeriod)(g, 0, 1.0f), -1.0f) << "refused";
    EXPECT_EQ(ZTV_EXPORT(SetDoubleStrobe)(g, 0, 1.0f), -1.0f) << "refused";
}

TEST_F(ConversionTest, Getters) {
    const struct {
        const char *name;
        decltype(&::GetHue) get;
        uint64_t reply;
        float result;
    } cases[] = {
        {"GetHue", ZTV_EXPORT(GetHue), uint64_t(uint32_t(-128)), 90.0f},
        {"GetHue", ZTV_EXPORT(GetHue), 127, -89.296875f},
        {"GetHue", ZTV_EXPORT(GetHue), 0, -0.0f},
        {"GetSaturation", ZTV_EXPORT(GetSaturation), 254, 1.0f},
        {"GetContrast", ZTV_EXPORT(GetContrast), 216, 1.0f},
        {"GetBrightness", ZTV_EXPORT(GetBrightness), uint64_t(uint32_t(-128)), -0.5f},
        {"GetVideoLevel", ZTV_EXPORT(GetVideoLevel), 255, 2.490234375f},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.reply);
        driver::Script({{true, c.reply}});
        EXPECT_EQ(Bits(c.get(g)), Bits(c.result));
    }

    const struct {
        uint64_t reply;
        float result;
    } strobes[] = {
        {0xFFFFFFFF, -1.0f}, {0x80000000, -1.0f}, {0, 0.0f}, {15625, 1.0f}, {100000, 6.4f}};
    for (const auto &c : strobes) {
        driver::Script({{true, c.reply}, {true, c.reply}});
        EXPECT_EQ(Bits(ZTV_EXPORT(GetStrobePeriod)(g, 1)), Bits(c.result)) << c.reply;
        EXPECT_EQ(Bits(ZTV_EXPORT(GetDoubleStrobe)(g, 1)), Bits(c.result)) << c.reply;
    }
    EXPECT_EQ(driver::Codes().back(), 124u);
}

} // namespace
