// The control for the refused formatting calls: everything an argument list
// can carry, through every checked front-end, with plain and QX_FORMAT
// formats. Must compile without a warning.
#include "diagnostics/qxAppOutput.h"
#include "diagnostics/qxDebug.h"
#include "diagnostics/qxError.h"
#include "diagnostics/qxOStream.h"
#include "string/qxFormat.h"
#include "string/qxString.h"

#include <cstddef>

namespace {

enum Colour { Red, Green };
enum class Wide : long long { Big = 1LL << 40 };
struct Point {
    int x, y;
};
void callback() {}

}  // namespace

void accept(qxOS::OStream& os) {
    const qxOS::AppOutput& app = qxOS::AppOutput::getInstance();
    const qxOS::DebugChannel channel;
    qxString::CString c;
    qxString::IString w;
    const qxString::CString cFormat("%d");
    const qxString::IString wFormat(QX_W("%d"));
    char buf[64] = "text";
    qx::WChar wbuf[64] = {'w', 0};
    const char* text = buf;
    const qx::WChar* wide = wbuf;
    const Point point{1, 2};
    const short shortValue = 1;
    const unsigned char byte = 2;
    const float single = 1.5f;
    const long double extended = 2.5L;
    const size_t size = sizeof buf;

    // Every accepted kind, once through each front-end.
#define EVERY_KIND                                                                             \
    "%d %hd %u %c %d %d %lld %zu %f %f %Lf %s %s %S %p %p %p %p %s", 1, shortValue, 2u, byte,  \
        true, Green, Wide::Big, size, single, 2.0, extended, text, buf, wide, &point, nullptr, \
        &callback, static_cast<void*>(buf), cFormat.asChar()
    c.format(EVERY_KIND);
    c.format(16, EVERY_KIND);
    c.format(&cFormat, 1);
    c.format(QX_FORMAT("%d|%I64d|%hs"), 1, 2LL, "x");
    w.format(EVERY_KIND);
    w.format(QX_W("%d %s %S"), 1, text, wide);
    w.format(16, QX_W("%d"), 1);
    w.format(&wFormat, 1);
    w.format(QX_FORMAT(QX_W("%s %S %+s %ls %hs %5.2s %c %C")), text, wide, wide, wide, text, text,
             'a', u'b');
    // Only the plain shapes are rewritten: %*s keeps the legacy wide meaning.
    w.format(QX_FORMAT("%-4s %*s %.*S"), text, 3, wide, 2, text);
    os.format(EVERY_KIND);
    os.printf(EVERY_KIND);
    os.format(QX_FORMAT("%s=%S %x %%"), text, wide, 255u);
    os.format(QX_FORMAT("%S"), u"UTF-16 where qx::WChar is another type");
    app.printf(1, EVERY_KIND);
    app.printf(EVERY_KIND);
    app(1, EVERY_KIND);
    app(EVERY_KIND);
    app.info(1, EVERY_KIND);
    app.info(EVERY_KIND);
    app.error(1, EVERY_KIND);
    app.error(EVERY_KIND);
    app.printf(2, QX_FORMAT("%.3f %e %g %a %p"), 1.0, single, 2.0, 3.0, text);
    channel.print(1, EVERY_KIND);
    channel.print(EVERY_KIND);
    channel.print(3, QX_FORMAT("%s %d"), text, 1);
    channel.print(QX_FORMAT("no arguments"));
    channel.print(0, "no arguments");
    channel.print("no arguments");
    const qxUtil::Error e1(1, EVERY_KIND), e2(2, QX_W("%d %S"), 1, wide), e3(3, "no arguments"),
        e4(4, QX_FORMAT(QX_W("%s: %d")), text, 5), e5(5, QX_FORMAT("done"));
    OL_snprintf(buf, sizeof buf, EVERY_KIND);
    OL_snprintf(buf, sizeof buf, QX_FORMAT("%I64u %Iu %lu"), 1ULL, size, 3UL);
    OL_swprintf(wbuf, 64, QX_W("%d %s %S"), 1, text, wide);
    OL_swprintf(wbuf, 64, QX_FORMAT(QX_W("%s|%S|%ls|%%")), text, wide, wide);
    qxUtilPrint(EVERY_KIND);
    qxUtilPrint(QX_FORMAT("%c%C\n"), 'a', u'b');
#undef EVERY_KIND
    (void)e1, (void)e2, (void)e3, (void)e4, (void)e5;
}
