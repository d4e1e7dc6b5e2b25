// Checks shared by the fuzz targets: a failed property aborts with a
// message, and conversions run into guarded destinations.
#ifndef QXBASE_FUZZ_FUZZ_CHECK_H
#define QXBASE_FUZZ_FUZZ_CHECK_H

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fuzzcheck {

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void expect(bool cond, const char* what) {
    if (!cond) fail(what);
}

// Cells after the destination that must stay untouched.
constexpr size_t kGuard = 16;

struct Result {
    unsigned count;
    bool ok;
};

// Runs conv(dst, dstSize, &ok) into a heap buffer of dstSize + kGuard cells
// and checks that no cell from index `writable` on changed. Made twice with
// different fills, so a stray write of the fill value cannot hide; both runs
// must agree. The first min(count + extra, dstSize) cells go to *written
// (extra 1 keeps a terminating NUL).
template <class T, class Conv>
Result guardedCall(unsigned dstSize, unsigned writable, Conv conv, std::vector<T>* written,
                   size_t extra = 0) {
    static const T fills[2] = {static_cast<T>(0xA5A5A5A5u), static_cast<T>(0x5A5A5A5Au)};
    Result first{0, false};
    for (int f = 0; f < 2; ++f) {
        std::vector<T> cells(dstSize + kGuard, fills[f]);
        bool ok = f == 0;  // the callee must set it either way
        const unsigned r = conv(cells.data(), dstSize, &ok);
        for (size_t i = writable; i < cells.size(); ++i)
            if (cells[i] != fills[f]) {
                std::fprintf(stderr, "dstSize %u, count %u: cell %zu changed\n", dstSize, r, i);
                fail(i >= dstSize ? "write past dstSize" : "write past the end of the output");
            }
        if (f == 0) {
            first = {r, ok};
            if (written) {
                const size_t keep = r + extra < dstSize ? r + extra : dstSize;
                written->assign(cells.begin(), cells.begin() + keep);
            }
        } else {
            expect(r == first.count && ok == first.ok, "repeated call gave another result");
        }
    }
    return first;
}

// Reference UTF-8 of one code point, appended to out.
inline void putUtf8(std::vector<char>& out, unsigned long cp) {
    auto put = [&out](unsigned long b) { out.push_back(static_cast<char>(b)); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
}

}  // namespace fuzzcheck

#endif
