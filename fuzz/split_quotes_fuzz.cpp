// Checks the quote-aware splitters on arbitrary bytes:
//  - no crash, and a failure carries a 1-based position inside the text and
//    a message;
//  - on text without double quotes or backslashes both give exactly the
//    words of a plain split on blanks;
//  - round trip: the input cut at LF into words (holding blanks, quotes,
//    backslashes, NULs) and written back as quoted words with escapes, one
//    blank between them, splits into the same words; words without quotes
//    written between plain quotes do the same for splitWithQuotes.
#include "qxbase.h"

#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using fuzzcheck::expect;
using qxString::CString;

bool blank(char c) {
    return qxString::isSpace(c);
}

CString make(const std::string& s) {
    return CString(s.data(), static_cast<int>(s.size()));
}

std::vector<std::string> texts(const qx::vector<CString>& v) {
    std::vector<std::string> out;
    for (const CString& s : v) out.emplace_back(s.data(), s.length());
    return out;
}

void checkError(const qxUtil::Error& e, size_t length) {
    if (!e) return;
    expect(e.num() >= 1 && static_cast<size_t>(e.num()) <= length, "error position out of range");
    expect(e.messageText() != nullptr, "error without message");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const CString text = make(input);

    qx::vector<CString> quoted, escaped;
    const qxUtil::Error e1 = qxUtil::splitWithQuotes(text, quoted);
    const qxUtil::Error e2 = qxUtil::splitWithQuotesAndBackslash(text, escaped);
    checkError(e1, size);
    checkError(e2, size);

    if (input.find_first_of("\"\\") == std::string::npos) {
        const std::vector<std::string> plain = texts(qxUtil::split(text, blank, true, false));
        expect(!e1 && !e2, "error on text without quotes or backslashes");
        expect(texts(quoted) == plain, "splitWithQuotes differs from a split on blanks");
        expect(texts(escaped) == plain,
               "splitWithQuotesAndBackslash differs from a split on blanks");
    }

    // Round trips.
    std::vector<std::string> words;
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i)
        if (i == size || input[i] == '\n') {
            words.push_back(input.substr(start, i - start));
            start = i + 1;
        }
    std::string encoded, plainQuoted;
    bool anyQuote = false;
    for (const std::string& w : words) {
        if (!encoded.empty()) encoded += ' ';
        encoded += '"';
        for (char c : w) {
            if (c == '"' || c == '\\') encoded += '\\';
            encoded += c;
        }
        encoded += '"';
        anyQuote |= w.find('"') != std::string::npos;
        if (!plainQuoted.empty()) plainQuoted += ' ';
        plainQuoted += '"' + w + '"';
    }
    qx::vector<CString> back;
    expect(!qxUtil::splitWithQuotesAndBackslash(make(encoded), back), "escaped words fail");
    expect(texts(back) == words, "escaped words do not come back");
    if (!anyQuote) {
        expect(!qxUtil::splitWithQuotes(make(plainQuoted), back), "quoted words fail");
        expect(texts(back) == words, "quoted words do not come back");
    }
    return 0;
}
