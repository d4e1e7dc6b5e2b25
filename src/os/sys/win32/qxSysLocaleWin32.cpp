// Win32 backend of the locale identifiers: the system's own calls.
#include "os/sys/qxSysLocale.h"
#include "os/sys/qxSysError.h"

#include <windows.h>

#include <clocale>

namespace qx {
namespace sys {

namespace {

LCTYPE localeType(LocaleField field) {
    switch (field) {
        case LocaleField::IsoLanguage:
            return LOCALE_SISO639LANGNAME;
        case LocaleField::IsoCountry:
            return LOCALE_SISO3166CTRYNAME;
        case LocaleField::EnglishLanguage:
            return LOCALE_SENGLANGUAGE;
        case LocaleField::EnglishCountry:
            return LOCALE_SENGCOUNTRY;
        case LocaleField::AnsiCodePage:
            return LOCALE_IDEFAULTANSICODEPAGE;
        case LocaleField::OemCodePage:
            return LOCALE_IDEFAULTCODEPAGE;
    }
    return 0;
}

}  // namespace

bool localeInfo(unsigned lcid, LocaleField field, char* buf, size_t cap) {
    if (!buf || cap == 0) return false;
    const int cch = cap > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(cap);
    if (GetLocaleInfoA(lcid, localeType(field), buf, cch) > 0) return true;
    buf[0] = '\0';
    return false;
}

bool isLocaleSupported(unsigned lcid) {
    return IsValidLocale(lcid, LCID_SUPPORTED) != 0;
}

bool isLocaleInstalled(unsigned lcid) {
    return IsValidLocale(lcid, LCID_INSTALLED) != 0;
}

unsigned userDefaultLocale() {
    return GetUserDefaultLCID();
}

unsigned systemDefaultLocale() {
    return GetSystemDefaultLCID();
}

unsigned threadLocale() {
    return GetThreadLocale();
}

int setThreadLocale(unsigned lcid) {
    if (SetThreadLocale(lcid)) return 0;
    const DWORD err = GetLastError();
    return err ? static_cast<int>(err) : kErrorInvalidParameter;
}

const char* ctypeLocaleName() {
    return std::setlocale(LC_CTYPE, nullptr);
}

int setCTypeLocale(const char* name) {
    if (!name) return kErrorInvalidParameter;
    SetLastError(0);
    if (std::setlocale(LC_CTYPE, name)) return 0;
    const DWORD err = GetLastError();
    return err ? static_cast<int>(err) : kErrorInvalidParameter;
}

}  // namespace sys
}  // namespace qx
