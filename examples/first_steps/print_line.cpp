// Print a formatted line: %s is 8-bit text, %S wide (UTF-16) text.
#include "qxbase.h"

#include <cstdio>

int main() {
    qxOS::StdioStream console(stdout);
    qxOS::OStream out(console);
    const qxString::IString who(QX_W("world"));
    // Arguments are checked at compile time: a CString or std::string passed
    // by value is refused; QX_FORMAT also checks each conversion's type.
    out.format(QX_FORMAT("%d files, %.1f MiB, hello %S\n"), 12, 3.5, who.asWChar());
    out << "or with <<: " << 12 << " files for " << who << '\n';
}
