// Walk a directory tree and add up the sizes of its files.
#include "qxbase.h"

#include <cstdio>

int main(int argc, char** argv) {
    const qxString::IString root(argc > 1 ? argv[1] : ".", qxString::EncodingUTF8);
    long long total = 0;
    qxOS::DirectoryIterator it(root);
    for (; it.valid(); it.next()) {
        qxOS::FileStatus st;
        if (it.onFile() && !qxOS::File::query(it.getName(), st)) total += st.getSize64();
    }
    std::printf("%lld bytes\n", total);
    if (it.skippedCount())  // never silent: what could not be listed
        std::printf("%d left out, last %s: %s\n", it.skippedCount(),
                    qxOS::Filename(it.lastSkipped()).nativeName().asUTF8(),
                    it.lastSkipError().message());
}
