// String base class, free functions over both string types and the C entry
// points.
#include "string/qxString.h"

#include "string/qxStringBuffer.h"

#include <ostream>
#include <stdexcept>
#include <string>

namespace qxString {

namespace detail {

void throwOutOfRange(const char* where) {
    throw std::out_of_range(std::string(where) + ": position out of range");
}

void throwLength(const char* where) {
    throw std::length_error(std::string(where) + ": length out of range");
}

}  // namespace detail

String::~String() {}
bool String::isEmpty() const {
    return length() == 0;
}
bool String::isNull() const {
    return isEmpty();
}
unsigned String::length() const {
    return 0;
}
unsigned String::first() const {
    return 0;
}
unsigned String::last() const {
    return length() == 0 ? 0 : length() - 1;
}
unsigned String::maxSize() const {
    return 0;
}

bool equal(const CString& a, const CString& b) {
    return a.compare(b) == 0;
}
bool equal(const CString& a, const char* b) {
    return a.compare(b) == 0;
}
bool notEqual(const CString& a, const CString& b) {
    return a.compare(b) != 0;
}
bool less(const CString& a, const CString& b) {
    return a.compare(b) < 0;
}
bool lessEqual(const CString& a, const CString& b) {
    return a.compare(b) <= 0;
}
bool greater(const CString& a, const CString& b) {
    return a.compare(b) > 0;
}
bool greaterEqual(const CString& a, const CString& b) {
    return a.compare(b) >= 0;
}
bool equal(const IString& a, const IString& b) {
    return a.compare(b) == 0;
}
bool notEqual(const IString& a, const IString& b) {
    return a.compare(b) != 0;
}
bool less(const IString& a, const IString& b) {
    return a.compare(b) < 0;
}
bool lessEqual(const IString& a, const IString& b) {
    return a.compare(b) <= 0;
}
bool greater(const IString& a, const IString& b) {
    return a.compare(b) > 0;
}
bool greaterEqual(const IString& a, const IString& b) {
    return a.compare(b) >= 0;
}

CString plus(const CString& a, const CString& b) {
    CString r(a);
    r.append(b);
    return r;
}

IString plus(const IString& a, const IString& b) {
    IString r(a);
    r.append(b);
    return r;
}

CString& plusEqual(CString& a, const CString& b) {
    return a.append(b);
}
IString& plusEqual(IString& a, const IString& b) {
    return a.append(b);
}

unsigned hashfunction(const CString& s) {
    return qx::hashfunction(reinterpret_cast<const unsigned char*>(s.data()),
                            static_cast<int>(s.length()));
}

unsigned hashfunction(const IString& s) {
    return qx::hashfunction(s.data(), static_cast<int>(s.length()));
}

std::ostream& operator<<(std::ostream& os, const CString& s) {
    return os.write(s.data(), static_cast<std::streamsize>(s.length()));
}

}  // namespace qxString

extern "C" {

qxString::CString* CString_create(const char* s) {
    return new qxString::CString(s);
}

void CString_delete(qxString::CString* p) {
    delete p;
}

char* IStringToTCHARCopy(const qxString::IString& s) {
    return s.copyAsMultibyte(qxString::EncodingMultibyte, nullptr);
}
}
