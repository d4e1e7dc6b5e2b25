// Reads intervals from text and from doubles. The text form must agree with
// a model of the grammar (digits, then exactly one of us, ms, s, min, h;
// 32-bit wrapping arithmetic) or throw Error(1, "Bad time string"); the
// first 8 bytes, as a double, must give a span with seconds >= 0 and
// microseconds in [0, 999999] that orders with the others consistently.
#include "Components/Base/Utility/qxInterval.h"

#include "diagnostics/qxError.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

using fuzzcheck::expect;
using qxUtil::Interval;

// Model: {seconds, microseconds}, or false when the text is refused.
bool model(const std::string& t, int* sec, int* usec) {
    size_t i = 0;
    uint32_t n = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9')
        n = n * 10u + static_cast<uint32_t>(t[i++] - '0');
    if (i == 0) return false;
    const std::string unit = t.substr(i);
    uint64_t s;
    *usec = 0;
    if (unit == "us") {
        *sec = static_cast<int>(n / 1000000u);
        *usec = static_cast<int>(n % 1000000u);
        return true;
    }
    if (unit == "ms") {
        *sec = static_cast<int>(n / 1000u);
        *usec = static_cast<int>(n % 1000u) * 1000;
        return true;
    }
    if (unit == "s")
        s = n;
    else if (unit == "min")
        s = static_cast<uint32_t>(n * 60u);
    else if (unit == "h")
        s = static_cast<uint32_t>(n * 3600u);
    else
        return false;
    *sec = static_cast<int>(static_cast<int64_t>(s) - (s > 0x7FFFFFFFu ? (int64_t(1) << 32) : 0));
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 256) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string cText = text.c_str();  // the parser reads up to a NUL
    int sec = 0, usec = 0;
    const bool valid = model(cText, &sec, &usec);
    try {
        const Interval i(text.c_str());
        expect(valid, "a bad time string was taken");
        expect(i.seconds() == sec && i.microseconds() == usec, "value differs from the model");
        expect(i.isZero() == (sec == 0 && usec == 0), "isZero");
    } catch (const qxUtil::Error& e) {
        expect(!valid, "a good time string was refused");
        expect(e.num() == 1 && std::strcmp(e.message(), "Bad time string") == 0, "wrong error");
    }

    if (size >= 8) {
        double d;
        std::memcpy(&d, data, sizeof d);
        const Interval a(d), b(-d);
        expect(a == b, "the sign matters");
        expect(a.seconds() >= 0 && a.microseconds() >= 0 && a.microseconds() <= 999999, "range");
        expect(!(a < b) && !(b < a), "equal spans are ordered");
        const Interval one("1s");
        expect((a < one) + (one < a) + (a == one) == 1, "order is not total");
    }
    return 0;
}
