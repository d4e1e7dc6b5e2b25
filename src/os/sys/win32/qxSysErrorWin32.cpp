// Win32 backend of the error text: the system message table.
#include "os/sys/qxSysError.h"

#include <windows.h>

namespace qx {
namespace sys {

size_t errorText(int code, WChar* buf, size_t cap) {
    if (cap == 0) return 0;
    WCHAR* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), LANG_USER_DEFAULT, reinterpret_cast<LPWSTR>(&text), 0,
        nullptr);
    size_t written = 0;
    if (n > 0 && text && n < cap) {
        for (DWORD i = 0; i < n; ++i) buf[i] = text[i];
        buf[n] = 0;
        written = n;
    }
    if (text) LocalFree(text);
    return written;
}

}  // namespace sys
}  // namespace qx
