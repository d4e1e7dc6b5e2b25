// POSIX backend of the error text: the runtime's strerror_r text for the
// errno that corresponds to a Win32 number. The texts are the runtime's,
// not Windows' (and carry no line break).
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysText.h"

#include <cstring>

#include <netdb.h>

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

// The name look-up numbers of Windows Sockets have no errno; the resolver's
// own text for the matching code stands in.
const char* lookupText(int code) {
    switch (code) {
        case 11001:  // WSAHOST_NOT_FOUND
            return gai_strerror(EAI_NONAME);
        case 11002:  // WSATRY_AGAIN
            return gai_strerror(EAI_AGAIN);
        case 11003:  // WSANO_RECOVERY
            return gai_strerror(EAI_FAIL);
        case 11004:  // WSANO_DATA
#ifdef EAI_NODATA
            return gai_strerror(EAI_NODATA);
#else
            return gai_strerror(EAI_NONAME);
#endif
        case 10109:  // WSATYPE_NOT_FOUND
            return gai_strerror(EAI_SERVICE);
        default:
            return nullptr;
    }
}

}  // namespace

size_t errorText(int code, WChar* buf, size_t cap) {
    if (cap == 0) return 0;
    char narrow[256];
    narrow[0] = '\0';
    const char* text = lookupText(code);
    const int err = text ? 0 : errnoFromWin32(code);
    if (!text && err < 0) return 0;
    if (!text) text = pickText(strerror_r(err, narrow, sizeof narrow), narrow);
    if (!text || !*text) return 0;
    const size_t n = mbsToWide(buf, text, cap);
    if (n == kConvertError || n >= cap) return 0;
    buf[n] = 0;
    return n;
}

}  // namespace sys
}  // namespace qx
