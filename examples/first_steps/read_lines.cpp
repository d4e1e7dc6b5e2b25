// Read a file line by line.
#include "qxbase.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    qxOS::File file(qxString::IString(argv[1], qxString::EncodingUTF8));
    if (qxUtil::Error e = file.open(qxOS::File::kRead)) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1], e.message());
        return 1;
    }
    qxString::CString text;
    char buffer[4096];
    qxUtil::Error e;
    do {
        size_t got = 0;
        e = file.read(buffer, sizeof buffer, &got);  // 3 (end of file) comes with the last bytes
        text.append(buffer, static_cast<unsigned>(got));
    } while (!e);
    if (e.num() != qxOS::File::kEndOfFile) return 1;
    int n = 0;  // a text ending in a line break has an empty last line
    for (const qxString::CString& line : qxUtil::splitMultiLines(text))
        std::printf("%4d  %s\n", ++n, line.c_str());
}
