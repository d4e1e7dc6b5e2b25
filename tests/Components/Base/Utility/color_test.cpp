#include "Components/Base/Utility/qxColor.h"

#include "containers/qxHash.h"

#include <gtest/gtest.h>

using qxUtil::Color;
using qxUtil::Color8;
using qxUtil::HSL;
using qxUtil::HSV;

namespace {

// Reference values from Python 3.11's colorsys (rgb_to_hsv, rgb_to_hls,
// hsv_to_rgb, hls_to_rgb), computed once in double precision, hues scaled
// from turns to degrees.
struct RgbRow {
    float r, g, b, hsvHue, hsvSat, hsvVal, hslHue, hslSat, hslLight;
};
const RgbRow kFromRgb[] = {
    {1, 0, 0, 0, 1, 1, 0, 1, 0.5f},
    {0, 1, 0, 120, 1, 1, 120, 1, 0.5f},
    {0, 0, 1, 240, 1, 1, 240, 1, 0.5f},
    {1, 1, 0, 60, 1, 1, 60, 1, 0.5f},
    {0, 1, 1, 180, 1, 1, 180, 1, 0.5f},
    {1, 0, 1, 300, 1, 1, 300, 1, 0.5f},
    {1, 0.5f, 0, 30, 1, 1, 30, 1, 0.5f},
    {0.5f, 1, 0, 90, 1, 1, 90, 1, 0.5f},
    {0, 1, 0.5f, 150, 1, 1, 150, 1, 0.5f},
    {0, 0.5f, 1, 210, 1, 1, 210, 1, 0.5f},
    {0.5f, 0, 1, 270, 1, 1, 270, 1, 0.5f},
    {1, 0, 0.5f, 330, 1, 1, 330, 1, 0.5f},
    {0.2f, 0.4f, 0.6f, 210, 0.666666667f, 0.6f, 210, 0.5f, 0.4f},
    {0.9f, 0.1f, 0.3f, 345, 0.888888889f, 0.9f, 345, 0.8f, 0.5f},
    {0.25f, 0.75f, 0.5f, 150, 0.666666667f, 0.75f, 150, 0.5f, 0.5f},
    {0.6f, 0.6f, 0.2f, 60, 0.666666667f, 0.6f, 60, 0.5f, 0.4f},
    {0.1f, 0.2f, 0.15f, 150, 0.5f, 0.2f, 150, 0.333333333f, 0.15f},
    {0.8f, 0.7f, 0.95f, 264, 0.263157895f, 0.95f, 264, 0.714285714f, 0.825f},
    {0.3f, 0.05f, 0.02f, 6.42857143f, 0.933333333f, 0.3f, 6.42857143f, 0.875f, 0.16f},
    {1, 1, 0.999f, 60, 0.001f, 1, 60, 1, 0.9995f},
};
struct ToRgbRow {
    float hue, sat, third, r, g, b;  // third: value or lightness
};
const ToRgbRow kFromHsv[] = {
    {0, 1, 1, 1, 0, 0},
    {30, 1, 1, 1, 0.5f, 0},
    {90, 0.5f, 0.8f, 0.6f, 0.8f, 0.4f},
    {150, 0.25f, 0.6f, 0.45f, 0.6f, 0.525f},
    {210, 0.75f, 0.4f, 0.1f, 0.25f, 0.4f},
    {270, 1, 0.3f, 0.15f, 0, 0.3f},
    {330, 0.6f, 0.9f, 0.9f, 0.36f, 0.63f},
    {359, 0.9f, 1, 1, 0.1f, 0.115f},
    {45, 0.3f, 0.7f, 0.7f, 0.6475f, 0.49f},
    {180, 1, 0.5f, 0, 0.5f, 0.5f},
    {300, 0.1f, 1, 1, 0.9f, 1},
    {15, 0.05f, 0.2f, 0.2f, 0.1925f, 0.19f},
};
const ToRgbRow kFromHsl[] = {
    {0, 1, 0.5f, 1, 0, 0},
    {30, 1, 0.5f, 1, 0.5f, 0},
    {90, 0.5f, 0.8f, 0.8f, 0.9f, 0.7f},
    {150, 0.25f, 0.6f, 0.5f, 0.7f, 0.6f},
    {210, 0.75f, 0.4f, 0.1f, 0.4f, 0.7f},
    {270, 1, 0.3f, 0.3f, 0, 0.6f},
    {330, 0.6f, 0.9f, 0.96f, 0.84f, 0.9f},
    {359, 0.9f, 0.5f, 0.95f, 0.05f, 0.065f},
    {45, 0.3f, 0.7f, 0.79f, 0.745f, 0.61f},
    {180, 1, 0.25f, 0, 0.5f, 0.5f},
    {300, 0.1f, 1, 1, 1, 1},
    {15, 0.05f, 0.2f, 0.21f, 0.195f, 0.19f},
    {120, 0.5f, 0.5f, 0.25f, 0.75f, 0.25f},
};

// Float arithmetic against double: a few units in the last place.
const float kTol = 2e-5f;

void expectRgb(const Color& c, float r, float g, float b) {
    EXPECT_NEAR(c.r(), r, kTol);
    EXPECT_NEAR(c.g(), g, kTol);
    EXPECT_NEAR(c.b(), b, kTol);
}

}  // namespace

TEST(Color, BytesAndFloats) {
    EXPECT_EQ(Color(), Color(0, 0, 0, 1));
    EXPECT_EQ(Color8(), Color8(0, 0, 0, 255));
    EXPECT_EQ(Color8(Color(1, 0.5f, 0, 1)), Color8(255, 127, 0, 255));
    // Truncation, then the low 8 bits: 280 is 24, -127 is 129.
    EXPECT_EQ(Color8(Color(1.1f, -0.5f, 0.999f, 0)), Color8(24, 129, 254, 0));
    // Every byte survives a trip through a float.
    for (int v = 0; v < 256; ++v) {
        const auto b = static_cast<unsigned char>(v);
        const Color c = Color8(b, b, b, b);
        ASSERT_EQ(Color8(c), Color8(b, b, b, b)) << v;
        EXPECT_FLOAT_EQ(c.r(), v / 255.0f);
    }
    Color8 c8(1, 2, 3, 4);
    EXPECT_EQ(c8.getAsInt(), 0x04030201u);
    unsigned char r, g, b, a;
    c8.getRGBA(r, g, b, a);
    EXPECT_EQ(a, 4);
    const unsigned char bytes[4] = {9, 8, 7, 6};
    c8.setRGBA(bytes);
    EXPECT_EQ(c8[0], 9);
    EXPECT_EQ(c8.getRGBA()[3], 6);
    c8.setRGBA(0.5f, 1.0f, 0.0f, 2.0f);
    EXPECT_EQ(c8, Color8(127, 255, 0, 254));

    const float four[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    Color c(four);
    EXPECT_EQ(c[2], 0.75f);
    EXPECT_EQ(static_cast<const float*>(c)[1], 0.5f);
    c = Color8(255, 0, 0, 255);
    EXPECT_EQ(c, Color::red);
    EXPECT_EQ(Color::white, Color(1, 1, 1, 1));

    // Red decides first, alpha last.
    EXPECT_EQ(Color(0.5f, 0, 0, 0).compare(Color(0.4f, 1, 1, 1)), 1);
    EXPECT_EQ(Color(0.5f, 0, 0, 0).compare(Color(0.5f, 0, 0, 0.1f)), -1);
    EXPECT_EQ(Color::blue.compare(Color::blue), 0);
    EXPECT_TRUE(Color::black < Color::blue);
    EXPECT_TRUE(Color8(1, 9, 9, 9) < Color8(2, 0, 0, 0));
    EXPECT_EQ(Color8(1, 2, 3, 4).compare(Color8(1, 2, 3, 3)), 1);
}

TEST(Color, HashTruncatesEachChannel) {
    const unsigned long long h = qxUtil::hashValue(Color(0.9f, 0.5f, 0.1f, 0.99f));
    EXPECT_EQ(qxUtil::hashValue(Color(0, 0, 0, 0)), h);
    EXPECT_NE(qxUtil::hashValue(Color::black), h);  // alpha 1
    EXPECT_EQ(qxUtil::hashValue(Color(2.7f, 0, 0, 1)), qxUtil::hashValue(Color(2, 0, 0, 1.5f)));
    qx::Hasher hasher;
    hasher << 3ull << 0ull << 0ull << 1ull;
    EXPECT_EQ(qxUtil::hashValue(Color(3.5f, 0, 0.5f, 1)), hasher.getHash());
}

TEST(Color, ConversionsMatchColorsys) {
    for (const RgbRow& row : kFromRgb) {
        SCOPED_TRACE(testing::Message() << row.r << " " << row.g << " " << row.b);
        HSV hsv;
        qxUtil::RGBtoHSV(Color(row.r, row.g, row.b, 1), &hsv);
        EXPECT_NEAR(hsv.hue, row.hsvHue, 1e-3f);
        EXPECT_NEAR(hsv.saturation, row.hsvSat, kTol);
        EXPECT_NEAR(hsv.value, row.hsvVal, kTol);
        HSL hsl;
        qxUtil::RGBtoHSL(Color(row.r, row.g, row.b, 1), &hsl);
        EXPECT_NEAR(hsl.hue, row.hslHue, 1e-3f);
        EXPECT_NEAR(hsl.saturation, row.hslSat, kTol);
        EXPECT_NEAR(hsl.lightness, row.hslLight, kTol);
        // And back.
        Color back(0, 0, 0, 0.25f);
        qxUtil::HSVtoRGB(hsv, back);
        expectRgb(back, row.r, row.g, row.b);
        EXPECT_EQ(back.a(), 0.25f);  // alpha is left alone
        qxUtil::HSLtoRGB(hsl, back);
        expectRgb(back, row.r, row.g, row.b);
    }
    for (const ToRgbRow& row : kFromHsv) {
        SCOPED_TRACE(row.hue);
        Color c;
        qxUtil::HSVtoRGB(HSV{row.hue, row.sat, row.third}, c);
        expectRgb(c, row.r, row.g, row.b);
    }
    for (const ToRgbRow& row : kFromHsl) {
        SCOPED_TRACE(row.hue);
        Color c;
        qxUtil::HSLtoRGB(HSL{row.hue, row.sat, row.third}, c);
        expectRgb(c, row.r, row.g, row.b);
    }
}

// Where the conversions deliberately differ from colorsys.
TEST(Color, RememberedHuesAndLimits) {
    HSV hsv;
    qxUtil::RGBtoHSV(Color(1, 0, 0, 1), &hsv);
    EXPECT_EQ(hsv.hue, 0.0f);
    EXPECT_EQ(hsv.saturation, 1.0f);
    EXPECT_EQ(hsv.value, 1.0f);
    qxUtil::RGBtoHSV(Color(0.5f, 0.5f, 0.5f, 1), &hsv);
    EXPECT_EQ(hsv.hue, 0.0f);
    qxUtil::RGBtoHSV(Color(0, 1, 0, 1), &hsv);
    EXPECT_EQ(hsv.hue, 120.0f);
    qxUtil::RGBtoHSV(Color(0.5f, 0.5f, 0.5f, 1), &hsv);  // colorsys: 0
    EXPECT_EQ(hsv.hue, 120.0f);
    EXPECT_EQ(hsv.saturation, 0.0f);
    EXPECT_EQ(hsv.value, 0.5f);
    qxUtil::RGBtoHSV(Color(0, 0, 0, 1), &hsv);
    EXPECT_EQ(hsv.hue, 120.0f);

    HSL hsl;
    qxUtil::RGBtoHSL(Color(0, 0, 1, 1), &hsl);
    EXPECT_EQ(hsl.hue, 240.0f);
    qxUtil::RGBtoHSL(Color(0.2f, 0.2f, 0.2f, 1), &hsl);  // colorsys: 0
    EXPECT_EQ(hsl.hue, 240.0f);
    EXPECT_EQ(hsl.saturation, 0.0f);
    EXPECT_NEAR(hsl.lightness, 0.2f, kTol);
    // Pure black: saturation 0.5 (colorsys: 0), hue 0, the last hue kept.
    qxUtil::RGBtoHSL(Color(0, 0, 0, 1), &hsl);
    EXPECT_EQ(hsl.hue, 0.0f);
    EXPECT_EQ(hsl.saturation, 0.5f);
    EXPECT_EQ(hsl.lightness, 0.0f);
    qxUtil::RGBtoHSL(Color(1, 1, 1, 1), &hsl);
    EXPECT_EQ(hsl.hue, 240.0f);
    // The HSV and HSL hues are remembered apart.
    qxUtil::RGBtoHSV(Color(1, 1, 1, 1), &hsv);
    EXPECT_EQ(hsv.hue, 120.0f);

    Color c(0.3f, 0.3f, 0.3f, 0.5f), d;
    qxUtil::HSVtoRGB(HSV{360, 1, 1}, c);
    qxUtil::HSVtoRGB(HSV{0, 1, 1}, d);
    EXPECT_EQ(c, Color(d.r(), d.g(), d.b(), 0.5f));
    qxUtil::HSVtoRGB(HSV{420, 1, 1}, c);  // colorsys: yellow
    expectRgb(c, 0, 0, 0);
    qxUtil::HSVtoRGB(HSV{-30, 1, 1}, c);
    expectRgb(c, 0, 0, 0);
    qxUtil::HSVtoRGB(HSV{0, 1.5f, 1}, c);  // saturation capped at 1
    expectRgb(c, 1, 0, 0);
    qxUtil::HSVtoRGB(HSV{200, 0, 0.7f}, c);
    expectRgb(c, 0.7f, 0.7f, 0.7f);

    qxUtil::HSLtoRGB(HSL{360, 1, 0.5f}, c);  // colorsys: red
    expectRgb(c, 0, 0, 0);
    c = Color::white;
    qxUtil::HSLtoRGB(HSL{120, 1, 0}, c);
    expectRgb(c, 0, 0, 0);
    qxUtil::HSLtoRGB(HSL{120, 0, 0.4f}, c);
    expectRgb(c, 0.4f, 0.4f, 0.4f);
    EXPECT_EQ(c.a(), 1.0f);
}
