// Checks the formatting entry points on inputs whose output is known without
// a second implementation of printf:
//  - OL_convert_string_format on arbitrary UTF-16 text gives a copy of the
//    same length that differs from it at most by s<->S and c<->C;
//  - OL_snprintf and OL_swprintf on formats that read no argument: literal
//    text and %% only, or with one of a few malformed conversions that fail
//    before any argument is read (a trailing '%', %q, %k, %y). Every other
//    '%' of the input becomes '#'. The expected output is the literal text
//    with each %% as '%'; a malformed format must give -1 (what it leaves
//    in the buffer is not checked).
// Each call is made with sizes 0, 1, 2, around the output length and far
// beyond it, into a heap buffer followed by guard cells that must stay
// untouched. A result is the exact length when it leaves one spare unit
// besides the NUL, else -1; the buffer then holds the output cut to size - 1
// units and a NUL.
#include "qxbase.h"

#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using qx::WChar;

using fuzzcheck::expect;
using fuzzcheck::fail;

// ---------------------------------------------------------------------------
// OL_convert_string_format.

bool swappedLetter(WChar a, WChar b) {
    return (a == 's' && b == 'S') || (a == 'S' && b == 's') || (a == 'c' && b == 'C') ||
           (a == 'C' && b == 'c');
}

void checkConvert(const std::vector<WChar>& text) {
    // text is NUL-terminated.
    WChar* out = OL_convert_string_format(text.data());
    expect(out != nullptr, "OL_convert_string_format returned null");
    size_t n = 0;
    while (out[n]) ++n;
    const size_t want = text.size() - 1;
    if (n != want) {
        std::fprintf(stderr, "input length %zu, result length %zu\n", want, n);
        std::free(out);
        fail("OL_convert_string_format changed the length");
    }
    for (size_t i = 0; i < n; ++i)
        if (out[i] != text[i] && !swappedLetter(text[i], out[i])) {
            std::fprintf(stderr, "unit %zu: 0x%04X became 0x%04X\n", i, text[i], out[i]);
            std::free(out);
            fail("OL_convert_string_format changed a unit other than by s/S, c/C");
        }
    std::free(out);
}

// ---------------------------------------------------------------------------
// Argument-free formats.

template <class Ch>
struct Format {
    std::vector<Ch> text;  // NUL-terminated
    std::vector<Ch> want;  // the expected output, no NUL
    bool malformed = false;
};

// Builds an argument-free format from the units (0 ends them).
template <class Ch>
Format<Ch> makeFormat(const std::vector<uint32_t>& units) {
    Format<Ch> f;
    size_t n = 0;
    while (n < units.size() && units[n] != 0) ++n;
    for (size_t i = 0; i < n; ++i) {
        const Ch c = static_cast<Ch>(units[i]);
        if (c != '%') {
            f.text.push_back(c);
            f.want.push_back(c);
            continue;
        }
        if (i + 1 == n) {  // a trailing '%'
            f.text.push_back('%');
            f.malformed = true;
            continue;
        }
        const uint32_t next = units[i + 1];
        if (next == '%') {
            f.text.push_back('%');
            f.text.push_back('%');
            f.want.push_back('%');
            ++i;
        } else if (next == 'q' || next == 'k' || next == 'y') {
            f.text.push_back('%');
            f.text.push_back(static_cast<Ch>(next));
            f.malformed = true;
            ++i;
        } else {
            f.text.push_back('#');
            f.want.push_back('#');
        }
    }
    f.text.push_back(0);
    return f;
}

using fuzzcheck::kGuard;

int callFormat(char* buf, size_t size, const char* fmt) {
    return OL_snprintf(buf, size, fmt);
}
int callFormat(WChar* buf, size_t size, const WChar* fmt) {
    return OL_swprintf(buf, size, fmt);
}

template <class Ch>
void checkCall(const Format<Ch>& f, size_t size, const char* name) {
    static const Ch fills[2] = {static_cast<Ch>(0xA5A5u), static_cast<Ch>(0x5A5Au)};
    const size_t len = f.want.size();
    int first = 0;
    for (int k = 0; k < 2; ++k) {
        std::vector<Ch> cells(size + kGuard, fills[k]);
        const int r = callFormat(cells.data(), size, f.text.data());
        for (size_t i = size; i < cells.size(); ++i)
            if (cells[i] != fills[k]) {
                std::fprintf(stderr, "%s: size %zu, result %d: cell %zu changed\n", name, size, r,
                             i);
                fail("write past size");
            }
        if (k == 1) {
            expect(r == first, "repeated call gave another result");
            continue;
        }
        first = r;
        if (f.malformed) {
            if (r != -1) {
                std::fprintf(stderr, "%s: size %zu: malformed format gave %d\n", name, size, r);
                fail("a malformed format did not give -1");
            }
            continue;
        }
        const bool fits = size >= 2 && len <= size - 2;
        if (fits) {
            if (r < 0 || static_cast<size_t>(r) != len) {
                std::fprintf(stderr, "%s: size %zu: result %d, expected %zu\n", name, size, r, len);
                fail("wrong length");
            }
            expect(len == 0 || std::memcmp(cells.data(), f.want.data(), len * sizeof(Ch)) == 0,
                   "output differs from the literal text");
            expect(cells[len] == 0, "output not NUL-terminated");
        } else {
            if (r != -1) {
                std::fprintf(stderr, "%s: size %zu, length %zu: result %d, expected -1\n", name,
                             size, len, r);
                fail("an output without a spare unit did not give -1");
            }
            if (size > 0) {
                const size_t cut = size - 1 < len ? size - 1 : len;
                expect(cut == 0 || std::memcmp(cells.data(), f.want.data(), cut * sizeof(Ch)) == 0,
                       "cut output differs from the literal text");
                expect(cells[cut] == 0, "cut output not NUL-terminated");
            }
        }
    }
}

template <class Ch>
void checkFormat(const std::vector<uint32_t>& units, const char* name) {
    const Format<Ch> f = makeFormat<Ch>(units);
    const size_t len = f.want.size();
    const size_t sizes[] = {0, 1, 2, 3, len / 2, len, len + 1, len + 2, len + 3, len + 200};
    for (size_t size : sizes) checkCall(f, size, name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;

    // The bytes as 16-bit units (little-endian), up to the first NUL unit.
    std::vector<uint32_t> pairs(size / 2);
    for (size_t i = 0; i < pairs.size(); ++i) pairs[i] = data[2 * i] | (data[2 * i + 1] << 8);
    std::vector<WChar> text;
    for (uint32_t u : pairs) {
        if (!u) break;
        text.push_back(static_cast<WChar>(u));
    }
    text.push_back(0);
    checkConvert(text);

    // The bytes themselves as an 8-bit format, and widened as a wide one.
    const std::vector<uint32_t> bytes(data, data + size);
    checkFormat<char>(bytes, "OL_snprintf");
    checkFormat<WChar>(bytes, "OL_swprintf(widened bytes)");
    // The 16-bit units as a wide format.
    checkFormat<WChar>(pairs, "OL_swprintf(units)");
    return 0;
}
