// Reads registry-editor files. Whatever the bytes, the parse ends with a
// tree or a line number within the text; a tree written out reads back as
// the same file, and every copy of that file cut short of its last line is
// refused.
#include "os/sys/qxSysRegFile.h"

#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using fuzzcheck::expect;

const qx::sys::RegText& hive() {
    static const qx::sys::RegText name(QX_W("HKEY_CURRENT_USER"));
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    size_t bad = 0;
    const auto root = qx::sys::regParseFile(bytes, size, hive(), 1, &bad);
    if (!root) {
        expect(bad >= 1 && bad <= size + 2, "the bad line is within the text");
        return 0;
    }
    expect(bad == 0, "no bad line for a tree");
    const std::string written = qx::sys::regWriteFile(*root);
    const auto back = qx::sys::regParseFile(written.data(), written.size(), hive(), 2, &bad);
    expect(back != nullptr, "a written tree reads back");
    expect(qx::sys::regWriteFile(*back) == written, "and writes the same file again");
    // The last line break may go; anything more is a cut-off copy.
    for (size_t cut : {written.size() / 2, written.size() - 6})
        expect(!qx::sys::regParseFile(written.data(), cut, hive(), 2, &bad),
               "a cut-off copy is refused");
    return 0;
}
