#include "os/app/qxLocale.h"

#include "os/sys/qxSysLocale.h"
#include "os/sys/qxSysText.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace qxOS {

using qxString::CString;
using qxUtil::Error;

// The settings the process started with, and the identifier in force.
class LocaleImpl : public qx::ImplBase {
public:
    CString startRuntimeName;
    unsigned currentLcid = 0;
    unsigned startThreadLcid = 0;
};

namespace {

// ASCII letters only: a keyword must match whatever the locale's case rules.
bool equalsKeyword(const CString& text, const char* keyword) {
    const char* p = text.c_str();
    if (text.length() != std::strlen(keyword)) return false;
    for (; *keyword; ++p, ++keyword) {
        char c = *p;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != *keyword) return false;
    }
    return true;
}

// The identifier a text names as a number: hexadecimal ("%X") when it holds
// "0x", else decimal. Both read as the C runtime reads them (leading blanks,
// a sign, digits up to the first other character); a value beyond 32 bits
// counts as the largest one, so that 0 or less means no identifier.
long long identifierFromText(const CString& text) {
    if (text.find("0x") != CString::npos) {
        unsigned long long v = std::strtoull(text.c_str(), nullptr, 16);
        if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;
        return static_cast<int32_t>(static_cast<uint32_t>(v));
    }
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : v;
}

CString info(unsigned lcid, qx::sys::LocaleField field) {
    char buf[128];
    return CString(qx::sys::localeInfo(lcid, field, buf, sizeof buf) ? buf : "");
}

}  // namespace

struct LocaleFactory {
    static Locale& instance() {
        static Locale locale;
        return locale;
    }
};

Locale& appLocale() { return LocaleFactory::instance(); }

Locale::Locale() : m_isDefault(true), m_isMultibyte(false), m_impl(new LocaleImpl) {
    const char* name = qx::sys::ctypeLocaleName();
    m_impl->startRuntimeName = name ? name : "";
    m_impl->startThreadLcid = qx::sys::threadLocale();
    recompute();
}

Locale::~Locale() {
    delete m_impl;
}

Error Locale::setLocale(const CString& spec) {
    long long lcid;
    if (equalsKeyword(spec, "SYSTEM_DEFAULT")) {
        lcid = qx::sys::systemDefaultLocale();
    } else if (equalsKeyword(spec, "USER_DEFAULT")) {
        lcid = qx::sys::userDefaultLocale();
    } else if (equalsKeyword(spec, "ENGLISH_DEFAULT") || equalsKeyword(spec, "ENGLISH")) {
        lcid = qx::sys::kLcidEnglishUS;
    } else {
        lcid = identifierFromText(spec);
        if (lcid <= 0)
            return Error(1, "Cannot interpret LCID %s as hex or integer code", spec.c_str());
    }
    const unsigned id = static_cast<unsigned>(lcid);
    if (!qx::sys::isLocaleSupported(id))
        return Error(1, "LCID %s is not a supported locale", spec.c_str());

    CString runtimeName;
    runtimeName.format("%s_%s.%s", info(id, qx::sys::LocaleField::EnglishLanguage).c_str(),
                       info(id, qx::sys::LocaleField::EnglishCountry).c_str(),
                       info(id, qx::sys::LocaleField::AnsiCodePage).c_str());
    Error result = apply(id, runtimeName.c_str());
    m_isDefault = false;
    recompute();
    return result;
}

Error Locale::setNative() {
    return setLocale("SYSTEM_DEFAULT");
}

Error Locale::setDefault() {
    Error result = apply(m_impl->startThreadLcid, m_impl->startRuntimeName.c_str());
    if (!result) m_isDefault = true;
    recompute();
    return result;
}

Error Locale::apply(unsigned lcid, const char* runtimeName) {
    if (!qx::sys::isLocaleSupported(lcid)) return Error(3, "Locale is not supported on this system");
    if (!qx::sys::isLocaleInstalled(lcid)) return Error(2, "Locale is supported but not installed");
    if (const int err = qx::sys::setThreadLocale(lcid))
        return Error(4, qxUtil::systemErrorText(err));
    if (const int err = qx::sys::setCTypeLocale(runtimeName))
        return Error(4, "Unable to set locale: %s, system error: %S\n", runtimeName,
                     qxUtil::systemErrorText(err).asWChar());
    return Error();
}

void Locale::recompute() {
    const unsigned lcid = qx::sys::threadLocale();
    m_impl->currentLcid = lcid;
    m_systemIDName.format("%#.4x", lcid);
    const char* runtimeName = qx::sys::ctypeLocaleName();
    m_name.format("%s(%s)", runtimeName ? runtimeName : "", m_systemIDName.c_str());
    m_codeSet = info(lcid, qx::sys::LocaleField::AnsiCodePage);
    m_description.format("%s (LCID:%s)", m_name.c_str(), m_systemIDName.c_str());
    m_isoLangID = info(lcid, qx::sys::LocaleField::IsoLanguage);
    m_isoCountryID = info(lcid, qx::sys::LocaleField::IsoCountry);
    if (!m_isoLangID.isEmpty()) {
        if (m_isoCountryID.isEmpty())
            m_isoLangCountryID = m_isoLangID;
        else
            m_isoLangCountryID.format("%s_%s", m_isoLangID.c_str(), m_isoCountryID.c_str());
    }
    m_isMultibyte = qx::sys::mbCurMax() > 1;
}

}  // namespace qxOS
