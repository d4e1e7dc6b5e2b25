// QX_FORMAT literals whose conversions disagree with their arguments, one
// case per -DCASE_... definition, across the front-ends.
#include "diagnostics/qxAppOutput.h"
#include "diagnostics/qxError.h"
#include "diagnostics/qxOStream.h"
#include "string/qxFormat.h"
#include "string/qxString.h"

#include <cstddef>

void disagree(qxOS::OStream& os) {
    qxString::CString c;
    qxString::IString w;
    char buf[32];
    qx::WChar wbuf[32];
    const qxOS::AppOutput& app = qxOS::AppOutput::getInstance();
#if defined(CASE_doubleForInteger)
    c.format(QX_FORMAT("%d items"), 2.5);
#elif defined(CASE_longLongForInt)
    os.format(QX_FORMAT("%d"), 1LL);
#elif defined(CASE_intForLongLong)
    OL_snprintf(buf, sizeof buf, QX_FORMAT("%lld"), 1);
#elif defined(CASE_intForDouble)
    app.printf(1, QX_FORMAT("%.2f"), 3);
#elif defined(CASE_doubleForLongDouble)
    w.format(QX_FORMAT(QX_W("%Lg")), 1.0);
#elif defined(CASE_wideForNarrowText)
    c.format(QX_FORMAT("%s"), QX_W("wide"));
#elif defined(CASE_narrowForWideText)
    qxUtil::Error(1, QX_FORMAT("%S"), "narrow");
#elif defined(CASE_narrowForLegacyWideText)
    OL_swprintf(wbuf, 32, QX_FORMAT(QX_W("%+s")), "narrow");  // not rewritten: wide
#elif defined(CASE_integerForPointer)
    os.format(QX_FORMAT("%p"), 0x1000);
#elif defined(CASE_sizeForStar)
    c.format(QX_FORMAT("%*d"), sizeof buf, 1);
#elif defined(CASE_doubleForCharacter)
    w.format(QX_FORMAT("%c"), 65.0);
#elif defined(CASE_tooFewArguments)
    qxUtil::Error(2, QX_FORMAT(QX_W("%d of %d")), 1);
#elif defined(CASE_tooManyArguments)
    app.info(QX_FORMAT("%d%%"), 1, 2);
#elif defined(CASE_unknownConversion)
    OL_snprintf(buf, sizeof buf, QX_FORMAT("%d %n"), 1, nullptr);
#endif
    (void)os, (void)buf, (void)wbuf, (void)app;
}
