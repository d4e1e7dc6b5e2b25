// qxOS::Locale: the process's language settings, switchable by name or by
// numeric Windows locale identifier (LCID), and back to those it started
// with.
#ifndef QXBASE_OS_APP_QXLOCALE_H
#define QXBASE_OS_APP_QXLOCALE_H

#include "diagnostics/qxError.h"
#include "qxDefs.h"
#include "string/qxString.h"

namespace qxOS {

class Locale;
class LocaleImpl;

// The one instance, made on the first call; the library makes it when it
// loads, so it records the settings the process started with.
QX_API Locale& appLocale();

// A switch sets the calling thread's locale identifier and the C runtime's
// process-wide character-type category (LC_CTYPE): meant for the main
// thread. Each getter describes the state after the last switch.
class QX_API Locale {
public:
    ~Locale();
    Locale(const Locale&) = delete;
    Locale& operator=(const Locale&) = delete;

    // The runtime's LC_CTYPE name and the identifier: "C(0x0409)".
    const qxString::CString& getName() const { return m_name; }
    // The identifier as "%#.4x": "0x0409".
    const qxString::CString& getSystemIDName() const { return m_systemIDName; }
    // "<name> (LCID:<identifier>)".
    const qxString::CString& getDescription() const { return m_description; }
    // The identifier's default ANSI code page: "1252" ("0" for a locale
    // that has only Unicode).
    const qxString::CString& getCodeSet() const { return m_codeSet; }
    const qxString::CString& getISOLangID() const { return m_isoLangID; }        // "en"
    const qxString::CString& getISOCountryID() const { return m_isoCountryID; }  // "US"
    // "en_US", or "en" without a country.
    const qxString::CString& getISOLangCountryID() const { return m_isoLangCountryID; }
    // True while the start-up settings are in force.
    bool isDefault() const { return m_isDefault; }
    // The runtime's longest multibyte character is more than one byte.
    bool isMultibyte() const { return m_isMultibyte; }

    // spec: "SYSTEM_DEFAULT", "USER_DEFAULT", "ENGLISH_DEFAULT" or
    // "ENGLISH" (any case), text holding "0x" read as hexadecimal, or a
    // decimal number. Errors: 1 for a text that gives no identifier or an
    // identifier the system does not support (nothing changes then), 2 for
    // a supported locale that is not installed, 4 when the system refuses
    // the switch. On success the runtime's LC_CTYPE locale is the one named
    // "<English language>_<English country>.<ANSI code page>".
    qxUtil::Error setLocale(const qxString::CString& spec);
    // setLocale("SYSTEM_DEFAULT").
    qxUtil::Error setNative();
    // Back to the start-up identifier and runtime locale.
    qxUtil::Error setDefault();

private:
    Locale();
    // appLocale() builds the one instance through this.
    friend struct LocaleFactory;

    qxUtil::Error apply(unsigned lcid, const char* runtimeName);
    void recompute();

    qxString::CString m_name;
    qxString::CString m_systemIDName;
    qxString::CString m_description;
    qxString::CString m_codeSet;
    qxString::CString m_isoLangID;
    qxString::CString m_isoCountryID;
    qxString::CString m_isoLangCountryID;
    bool m_isDefault;
    bool m_isMultibyte;
    LocaleImpl* m_impl;
};

}  // namespace qxOS

#endif
