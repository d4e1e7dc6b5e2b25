// Makes arbitrary UTF-16 text (pairs of input bytes) a full path and checks:
//  - a full path is absolute: a drive root, a server prefix or '\';
//  - it holds no '/', no "." or ".." component and no doubled separator
//    past its start;
//  - making it full again changes nothing;
//  - a buffer one unit too small gives 122 with the units needed, and the
//    length reported is the text's.
#include "os/sys/qxSysFile.h"

#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using fuzzcheck::expect;
using qx::WChar;
using Text = std::basic_string<WChar>;

constexpr int kInsufficientBuffer = 122;

bool full(const Text& in, Text& out) {
    std::vector<WChar> buf(8192);
    size_t n = 0;
    if (qx::sys::fullPath(in.c_str(), buf.data(), buf.size(), &n) != 0) return false;
    expect(n < buf.size() && buf[n] == 0, "the length is not the text's");
    out.assign(buf.data(), n);
    return true;
}

void checkShape(const Text& p) {
    expect(!p.empty(), "a full path is empty");
    const bool drive = p.size() >= 3 && p[1] == ':' && p[2] == '\\';
    const bool server = p.size() >= 2 && p[0] == '\\' && p[1] == '\\';
    expect(drive || server || p[0] == '\\', "a full path is not absolute");
    expect(p.find('/') == Text::npos, "a full path holds '/'");
    // Server and share names are taken as they stand.
    int verbatim = server ? 2 : 0;
    for (size_t i = server ? 2 : drive ? 3 : 1; i < p.size();) {
        size_t j = p.find('\\', i);
        if (j == Text::npos) j = p.size();
        const Text part = p.substr(i, j - i);
        if (verbatim > 0) {
            --verbatim;
        } else {
            expect(!part.empty() || j == p.size(), "a full path has a doubled separator");
            expect(part != Text(1, '.') && part != Text(2, '.'), "a full path keeps . or ..");
        }
        i = j + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2048) return 0;
    Text in;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const WChar c = static_cast<WChar>(data[i] | (data[i + 1] << 8));
        if (c == 0) break;
        in += c;
    }
    Text once;
    if (!full(in, once)) return 0;
    checkShape(once);
    Text twice;
    expect(full(once, twice) && twice == once, "a full path changes when made full again");

    std::vector<WChar> small(once.size());
    size_t need = 0;
    expect(
        qx::sys::fullPath(in.c_str(), small.data(), small.size(), &need) == kInsufficientBuffer &&
            need == once.size() + 1,
        "a buffer one unit short is not reported with the units needed");
    return 0;
}
