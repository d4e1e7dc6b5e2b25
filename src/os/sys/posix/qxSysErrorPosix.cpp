// POSIX backend of the error text: the runtime's strerror_r text for the
// errno that corresponds to a Win32 number. The texts are the runtime's,
// not Windows' (and carry no line break).
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysText.h"

#include <cstring>

namespace qx {
namespace sys {

namespace {

// strerror_r comes in two shapes; the GNU one may return a static text
// instead of filling the buffer.
[[maybe_unused]] inline const char* pickText(int rc, const char* buf) {
    return rc == 0 ? buf : nullptr;
}
[[maybe_unused]] inline const char* pickText(const char* text, const char*) {
    return text;
}

}  // namespace

size_t errorText(int code, WChar* buf, size_t cap) {
    const int err = errnoFromWin32(code);
    if (err < 0 || cap == 0) return 0;
    char narrow[256];
    narrow[0] = '\0';
    const char* text = pickText(strerror_r(err, narrow, sizeof narrow), narrow);
    if (!text || !*text) return 0;
    const size_t n = mbsToWide(buf, text, cap);
    if (n == kConvertError || n >= cap) return 0;
    buf[n] = 0;
    return n;
}

}  // namespace sys
}  // namespace qx
