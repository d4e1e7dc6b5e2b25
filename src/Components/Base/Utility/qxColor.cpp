#include "Components/Base/Utility/qxColor.h"

#include "containers/qxHash.h"

#include <algorithm>
#include <cmath>

namespace qxUtil {

namespace {

// The last hues the RGB-to-hue conversions computed, for grey colours.
float s_lastHSVHue = 0.0f;
float s_lastHSLHue = 0.0f;

// f * 255 truncated toward zero, low 8 bits. The product stays a float, so
// a byte divided by 255 comes back as the same byte. Products beyond the
// 64-bit range, and NaN, give 0 rather than an undefined conversion.
unsigned char toByte(float f) {
    const float x = f * 255.0f;
    if (!(std::fabs(x) < 9.2e18f)) return 0;
    return static_cast<unsigned char>(static_cast<unsigned long long>(static_cast<long long>(x)));
}

// A channel truncated to an unsigned 64-bit integer; negative channels wrap
// as two's complement, and NaN or channels beyond the 64-bit range give 0.
unsigned long long toWord(float f) {
    if (f >= 0.0f && f < 1.8446744e19f) return static_cast<unsigned long long>(f);
    if (f < 0.0f && f > -9.2e18f) return static_cast<unsigned long long>(static_cast<long long>(f));
    return 0;
}

template <class T>
int compareChannels(const T* a, const T* b) {
    for (int i = 0; i < 4; ++i) {
        if (a[i] < b[i]) return -1;
        if (b[i] < a[i]) return 1;
    }
    return 0;
}

void setRGB(Color& c, float r, float g, float b) {
    c.set(r, g, b, c.a());
}

}  // namespace

const Color Color::black(0.0f, 0.0f, 0.0f, 1.0f);
const Color Color::white(1.0f, 1.0f, 1.0f, 1.0f);
const Color Color::red(1.0f, 0.0f, 0.0f, 1.0f);
const Color Color::green(0.0f, 1.0f, 0.0f, 1.0f);
const Color Color::blue(0.0f, 0.0f, 1.0f, 1.0f);

Color::Color(const Color8& c) {
    c.getRGBA(m_c[0], m_c[1], m_c[2], m_c[3]);
}

Color& Color::operator=(const Color8& c) {
    c.getRGBA(m_c[0], m_c[1], m_c[2], m_c[3]);
    return *this;
}

int Color::compare(const Color& o) const {
    return compareChannels(m_c, o.m_c);
}

void Color8::setRGBA(float r, float g, float b, float a) {
    m_c[0] = toByte(r);
    m_c[1] = toByte(g);
    m_c[2] = toByte(b);
    m_c[3] = toByte(a);
}

void Color8::getRGBA(float& r, float& g, float& b, float& a) const {
    r = m_c[0] / 255.0f;
    g = m_c[1] / 255.0f;
    b = m_c[2] / 255.0f;
    a = m_c[3] / 255.0f;
}

int Color8::compare(const Color8& o) const {
    return compareChannels(m_c, o.m_c);
}

void HSVtoRGB(const HSV& hsv, Color& rgb) {
    const float v = hsv.value;
    if (hsv.saturation == 0.0f) {
        setRGB(rgb, v, v, v);
        return;
    }
    const float h = hsv.hue == 360.0f ? 0.0f : hsv.hue / 60.0f;
    // Sextants beyond 5 are black; so are negative hues (and NaN), which
    // have no sextant either.
    if (!(h >= 0.0f && h < 6.0f)) {
        setRGB(rgb, 0.0f, 0.0f, 0.0f);
        return;
    }
    const int i = static_cast<int>(std::floor(h));
    const float f = h - static_cast<float>(i);
    const float s = std::min(hsv.saturation, 1.0f);
    const float p = (1.0f - s) * v;
    const float q = (1.0f - s * f) * v;
    const float t = (1.0f - (1.0f - f) * s) * v;
    switch (i) {
        case 0:
            setRGB(rgb, v, t, p);
            break;
        case 1:
            setRGB(rgb, q, v, p);
            break;
        case 2:
            setRGB(rgb, p, v, t);
            break;
        case 3:
            setRGB(rgb, p, q, v);
            break;
        case 4:
            setRGB(rgb, t, p, v);
            break;
        default:
            setRGB(rgb, v, p, q);
            break;
    }
}

void HSLtoRGB(const HSL& hsl, Color& rgb) {
    const float l = hsl.lightness, s = hsl.saturation;
    if (s == 0.0f) {
        setRGB(rgb, l, l, l);
        return;
    }
    const float m2 = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
    const float h = hsl.hue / 360.0f * 6.0f;
    // A hue of 360 or more (or below -60, or NaN) has no sextant: black.
    if (m2 <= 0.0f || !(h > -1.0f && h < 6.0f)) {
        setRGB(rgb, 0.0f, 0.0f, 0.0f);
        return;
    }
    const int i = static_cast<int>(h);  // toward zero
    const float m1 = 2.0f * l - m2;
    const float rise = m1 + (m2 - m1) * (h - static_cast<float>(i));
    const float fall = m2 - (m2 - m1) * (h - static_cast<float>(i));
    switch (i) {
        case 0:
            setRGB(rgb, m2, rise, m1);
            break;
        case 1:
            setRGB(rgb, fall, m2, m1);
            break;
        case 2:
            setRGB(rgb, m1, m2, rise);
            break;
        case 3:
            setRGB(rgb, m1, fall, m2);
            break;
        case 4:
            setRGB(rgb, rise, m1, m2);
            break;
        default:
            setRGB(rgb, m2, m1, fall);
            break;
    }
}

void RGBtoHSV(const Color& rgb, HSV* hsv) {
    const float r = rgb.r(), g = rgb.g(), b = rgb.b();
    const float max = std::max(r, std::max(g, b));
    const float min = std::min(r, std::min(g, b));
    const float delta = max - min;
    hsv->value = max;
    hsv->saturation = max > 0.0f ? delta / max : 0.0f;
    if (delta == 0.0f) {
        hsv->hue = s_lastHSVHue;
        return;
    }
    const float rd = (max - r) / delta, gd = (max - g) / delta, bd = (max - b) / delta;
    float h;
    if (r == max)
        h = g == min ? 5.0f + bd : 1.0f - gd;
    else if (g == max)
        h = b == min ? 1.0f + rd : 3.0f - bd;
    else
        h = r == min ? 3.0f + gd : 5.0f - rd;
    if (h == 6.0f) h = 0.0f;
    hsv->hue = s_lastHSVHue = 60.0f * h;
}

void RGBtoHSL(const Color& rgb, HSL* hsl) {
    const float r = rgb.r(), g = rgb.g(), b = rgb.b();
    hsl->hue = hsl->saturation = hsl->lightness = 0.0f;
    if (r == 0.0f && g == 0.0f && b == 0.0f) {
        hsl->saturation = 0.5f;
        return;
    }
    const float max = std::max(r, std::max(g, b));
    const float min = std::min(r, std::min(g, b));
    hsl->lightness = (max + min) / 2.0f;
    if (max == min) {
        hsl->hue = s_lastHSLHue;
        return;
    }
    const float delta = max - min;
    hsl->saturation = hsl->lightness <= 0.5f ? delta / (max + min) : delta / (2.0f - max - min);
    float h;
    if (r == max)
        h = (g - b) / delta;
    else if (g == max)
        h = 2.0f + (b - r) / delta;
    else
        h = 4.0f + (r - g) / delta;
    h = h / 6.0f;
    if (h < 0.0f) h += 1.0f;
    hsl->hue = s_lastHSLHue = 360.0f * h;
}

unsigned long long hashValue(const Color& c) {
    qx::Hasher hasher;
    for (int i = 0; i < 4; ++i) hasher.add(toWord(c[i]));
    return hasher.getHash();
}

}  // namespace qxUtil
