// qxUtil::Color (four floats, nominally 0 to 1), qxUtil::Color8 (four bytes),
// the colour spaces qxUtil::HSV and qxUtil::HSL, and conversions between them.
//
// A float channel becomes a byte by multiplying by 255 and truncating toward
// zero, keeping the low 8 bits (so 1.1 gives 24); a byte becomes a float by
// dividing by 255. The RGB-to-hue conversions remember the last hue they
// computed and give it to grey colours, so that a colour picker keeps its
// hue when the saturation reaches 0:
//
//     qxUtil::HSV hsv;
//     qxUtil::RGBtoHSV(qxUtil::Color(0, 1, 0, 1), &hsv);          // hue 120
//     qxUtil::RGBtoHSV(qxUtil::Color(0.5f, 0.5f, 0.5f, 1), &hsv); // hue 120 again
//
// The last hues are shared by all threads without a lock: the conversions
// belong to the user-interface thread.
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXCOLOR_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXCOLOR_H

#include "qxDefs.h"

namespace qxUtil {

class Color8;

class QX_API Color {
public:
    Color() : m_c{0.0f, 0.0f, 0.0f, 1.0f} {}
    Color(float r, float g, float b, float a) : m_c{r, g, b, a} {}
    explicit Color(const float* rgba) : m_c{rgba[0], rgba[1], rgba[2], rgba[3]} {}
    Color(const Color8& c);
    Color& operator=(const Color8& c);

    void set(float r, float g, float b, float a) {
        m_c[0] = r;
        m_c[1] = g;
        m_c[2] = b;
        m_c[3] = a;
    }
    float r() const { return m_c[0]; }
    float g() const { return m_c[1]; }
    float b() const { return m_c[2]; }
    float a() const { return m_c[3]; }
    float& operator[](int i) { return m_c[i]; }
    float operator[](int i) const { return m_c[i]; }
    // The four channels in order.
    const float* asFloat() const { return m_c; }
    operator const float*() const { return m_c; }

    // Red, green, blue, alpha in turn; the first difference decides: -1, 0
    // or 1.
    int compare(const Color& o) const;
    bool operator==(const Color& o) const {
        return m_c[0] == o.m_c[0] && m_c[1] == o.m_c[1] && m_c[2] == o.m_c[2] && m_c[3] == o.m_c[3];
    }
    bool operator!=(const Color& o) const { return !(*this == o); }
    bool operator<(const Color& o) const { return compare(o) < 0; }

    static const Color black;
    static const Color white;
    static const Color red;
    static const Color green;
    static const Color blue;

private:
    float m_c[4];
};

class QX_API Color8 {
public:
    Color8() : m_c{0, 0, 0, 255} {}
    Color8(unsigned char r, unsigned char g, unsigned char b, unsigned char a) : m_c{r, g, b, a} {}
    explicit Color8(const unsigned char* rgba) : m_c{rgba[0], rgba[1], rgba[2], rgba[3]} {}
    Color8(const Color& c) { *this = c; }
    Color8& operator=(const Color& c) {
        setRGBA(c.r(), c.g(), c.b(), c.a());
        return *this;
    }

    // Each channel times 255, truncated toward zero, its low 8 bits kept.
    void setRGBA(float r, float g, float b, float a);
    void setRGBA(const unsigned char* rgba) {
        for (int i = 0; i < 4; ++i) m_c[i] = rgba[i];
    }
    const unsigned char* getRGBA() const { return m_c; }
    void getRGBA(unsigned char& r, unsigned char& g, unsigned char& b, unsigned char& a) const {
        r = m_c[0];
        g = m_c[1];
        b = m_c[2];
        a = m_c[3];
    }
    // Each byte divided by 255.
    void getRGBA(float& r, float& g, float& b, float& a) const;
    // The four bytes as one little-endian integer: red in the low byte.
    unsigned int getAsInt() const {
        return static_cast<unsigned int>(m_c[0]) | static_cast<unsigned int>(m_c[1]) << 8 |
               static_cast<unsigned int>(m_c[2]) << 16 | static_cast<unsigned int>(m_c[3]) << 24;
    }
    unsigned char& operator[](int i) { return m_c[i]; }
    unsigned char operator[](int i) const { return m_c[i]; }

    int compare(const Color8& o) const;
    bool operator==(const Color8& o) const { return getAsInt() == o.getAsInt(); }
    bool operator!=(const Color8& o) const { return !(*this == o); }
    bool operator<(const Color8& o) const { return compare(o) < 0; }

private:
    unsigned char m_c[4];
};

// Hue in degrees.
struct HSV {
    float hue = 0.0f;
    float saturation = 0.0f;
    float value = 0.0f;
};

// Hue in degrees.
struct HSL {
    float hue = 0.0f;
    float saturation = 0.0f;
    float lightness = 0.0f;
};

// The conversions write red, green and blue only; alpha stays as it was.
// A hue of exactly 360 is 0; hues beyond (and below 0) give black.
QX_API void HSVtoRGB(const HSV& hsv, Color& rgb);
// A hue of 360 or more gives black, as does a lightness of 0.
QX_API void HSLtoRGB(const HSL& hsl, Color& rgb);
// Grey colours get the last hue computed here.
QX_API void RGBtoHSV(const Color& rgb, HSV* hsv);
// Grey colours get the last hue computed here; pure black is hue 0,
// saturation 0.5, lightness 0.
QX_API void RGBtoHSL(const Color& rgb, HSL* hsl);

// The library's incremental hash of the four channels, each truncated to an
// unsigned 64-bit integer (so every colour with channels below 1 hashes
// alike).
QX_API unsigned long long hashValue(const Color& c);

}  // namespace qxUtil

#endif
