// Arguments that an argument list cannot carry to the formatting engine:
// every checked front-end must refuse them at compile time. FRONT names the
// front-end and ARG the argument, one of the objects below
// (-DFRONT=cstring -DARG=stdString).
#include "diagnostics/qxAppOutput.h"
#include "diagnostics/qxDebug.h"
#include "diagnostics/qxError.h"
#include "diagnostics/qxOStream.h"
#include "string/qxFormat.h"
#include "string/qxString.h"

#include <cstdarg>
#include <string>
#include <vector>

#define CALL_cstring(a) qxString::CString().format("%d", a)
#define CALL_cstringStart(a) qxString::CString().format(64, "%d", a)
#define CALL_cstringStringFormat(a) qxString::CString().format(&cstringFormat, a)
#define CALL_istring(a) qxString::IString().format(QX_W("%d"), a)
#define CALL_istringNarrowFormat(a) qxString::IString().format(8, "%d", a)
#define CALL_istringStringFormat(a) qxString::IString().format(&istringFormat, a)
#define CALL_ostream(a) os.format("%d", a)
#define CALL_ostreamPrintf(a) os.printf("%d", a)
#define CALL_appOutput(a) app.printf(1, "%d", a)
#define CALL_appOutputNoLevel(a) app.printf("%d", a)
#define CALL_appOutputCall(a) app(1, "%d", a)
#define CALL_appOutputInfo(a) app.info("%d", a)
#define CALL_appOutputError(a) app.error(2, "%d", a)
#define CALL_debugChannel(a) channel.print(1, "%d", a)
#define CALL_debugChannelNoLevel(a) channel.print("%d", a)
#define CALL_error(a) qxUtil::Error(1, "%d", a)
#define CALL_errorWide(a) qxUtil::Error(1, QX_W("%d"), a)
#define CALL_snprintf(a) OL_snprintf(buf, sizeof buf, "%d", a)
#define CALL_swprintf(a) OL_swprintf(wbuf, 16, QX_W("%d"), a)
#define CALL_utilPrint(a) qxUtilPrint("%d", a)
#define CALL(front, arg) CALL_##front(arg)
#define EXPAND(front, arg) CALL(front, arg)

namespace {

struct Point {
    int x, y;
};

}  // namespace

void refuse(qxOS::OStream& os, va_list vaList) {
    const qxOS::AppOutput& app = qxOS::AppOutput::getInstance();
    const qxOS::DebugChannel channel;
    char buf[16];
    qx::WChar wbuf[16];
    const qxString::CString cstringFormat("%d");
    const qxString::IString istringFormat(QX_W("%d"));

    qxString::CString cstring("text");
    qxString::IString istring(QX_W("text"));
    const std::string stdString("text");
    const Point point{1, 2};
    const std::vector<int> vector(3);
    const qxString::CString cstrings[2];
    const qxString::CString& cstringReference = cstring;

    EXPAND(FRONT, ARG);
    (void)os, (void)app, (void)channel, (void)buf, (void)wbuf, (void)cstringFormat,
        (void)istringFormat, (void)vaList;
    (void)istring, (void)stdString, (void)point, (void)vector, (void)cstrings,
        (void)cstringReference;
}
