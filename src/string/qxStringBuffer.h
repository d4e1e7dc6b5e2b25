// The record management both string types share: a header followed by the
// NUL-terminated text in one C-heap block, grown with realloc. Internal.
#ifndef QXBASE_STRING_QXSTRINGBUFFER_H
#define QXBASE_STRING_QXSTRINGBUFFER_H

#include "string/qxString.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qxString {
namespace detail {

[[noreturn]] void throwOutOfRange(const char* where);
[[noreturn]] void throwLength(const char* where);

constexpr unsigned kMaxLength = 0xFFFFFFFEu;

inline void initRep(CStringRep* r) {
    *r = CStringRep();
}
inline void initRep(IStringRep* r) {
    *r = IStringRep();
    r->cacheStale = true;
    r->cachedEncoding = EncodingMultibyte;
    r->conversionStatus = ConversionUnknown;
    r->cacheCapacity = sizeof(r->cacheInline) - 1;
}

// Rep is the header type, Ch the character type, kMask the rounding of
// capacities (15 for bytes, 7 for units: one less than a multiple of 16 or 8).
template <class Rep, class Ch, unsigned kMask>
struct Buffer {
    static Ch* chars(Rep* r) { return reinterpret_cast<Ch*>(r + 1); }
    static size_t bytesFor(unsigned cap) { return sizeof(Rep) + (size_t(cap) + 1) * sizeof(Ch); }
    static bool isShared(const Rep* r) { return r->capacity == 0; }

    // A new, empty record for cap characters.
    static Rep* allocate(unsigned cap) {
        Rep* r = static_cast<Rep*>(std::malloc(bytesFor(cap)));
        if (!r) throw std::bad_alloc();
        initRep(r);
        r->capacity = cap;
        chars(r)[0] = 0;
        return r;
    }

    // A new record holding n characters from s (cap at least kMask).
    static Rep* make(const Ch* s, unsigned n, const char* where) {
        if (n > kMaxLength) throwLength(where);
        Rep* r = allocate(n | kMask);
        if (n) std::memcpy(chars(r), s, size_t(n) * sizeof(Ch));
        chars(r)[n] = 0;
        r->length = n;
        return r;
    }

    static void release(Rep* r) {
        if (!isShared(r)) std::free(r);
    }

    // Moves the record to exactly cap characters of room (cap >= length);
    // the shared empty record is replaced by a fresh one.
    static void resize(Rep*& r, unsigned cap) {
        if (isShared(r)) {
            r = allocate(cap);
            return;
        }
        Rep* n = static_cast<Rep*>(std::realloc(r, bytesFor(cap)));
        if (!n) throw std::bad_alloc();
        n->capacity = cap;
        r = n;
    }

    // Room for n characters: n rounded up by the mask, or the old capacity
    // and half of it when that is more.
    static void ensure(Rep*& r, unsigned long long n, const char* where) {
        if (n <= r->capacity) return;
        if (n > kMaxLength) throwLength(where);
        unsigned long long cap = n | kMask;
        const unsigned long long grown = r->capacity + r->capacity / 2ull;
        if (grown > cap) cap = grown;
        if (cap > kMaxLength) cap = kMaxLength;
        resize(r, static_cast<unsigned>(cap));
    }

    static bool pointsInto(const Rep* r, const Ch* s) {
        const std::uintptr_t p = reinterpret_cast<std::uintptr_t>(s);
        const std::uintptr_t b = reinterpret_cast<std::uintptr_t>(r + 1);
        return p >= b && p <= b + size_t(r->capacity) * sizeof(Ch);
    }

    // Replaces del characters at pos (both already checked) by sn characters
    // from s, which may point into the record itself.
    static void splice(Rep*& r, unsigned pos, unsigned del, const Ch* s, unsigned sn,
                       const char* where) {
        const unsigned len = r->length;
        if (del == 0 && sn == 0) return;
        const unsigned long long newLen = (unsigned long long)len - del + sn;
        if (newLen > kMaxLength) throwLength(where);
        Ch* copy = nullptr;
        if (sn && pointsInto(r, s)) {
            // Growing may move the record and the tail may move over the
            // source: insert from a copy.
            copy = static_cast<Ch*>(std::malloc(size_t(sn) * sizeof(Ch)));
            if (!copy) throw std::bad_alloc();
            std::memcpy(copy, s, size_t(sn) * sizeof(Ch));
            s = copy;
        }
        try {
            ensure(r, newLen, where);
        } catch (...) {
            std::free(copy);
            throw;
        }
        Ch* base = chars(r);
        std::memmove(base + pos + sn, base + pos + del, size_t(len - pos - del) * sizeof(Ch));
        if (sn) std::memcpy(base + pos, s, size_t(sn) * sizeof(Ch));
        std::free(copy);
        r->length = static_cast<unsigned>(newLen);
        base[newLen] = 0;
    }

    // Removes n characters at pos (checked by the caller), keeping the room.
    static void cut(Rep* r, unsigned pos, unsigned n) {
        if (n == 0) return;
        Ch* base = chars(r);
        std::memmove(base + pos, base + pos + n, size_t(r->length - pos - n) * sizeof(Ch));
        r->length -= n;
        base[r->length] = 0;
    }

    // The reserve rule: only for n at least the length and different from
    // the reported capacity; grow to n, or return to the inline size.
    static void reserve(Rep*& r, unsigned n, const char* where) {
        const unsigned reported = isShared(r) ? kMask : r->capacity;
        if (n < r->length || n == reported) return;
        if (n > reported) {
            if (n > kMaxLength) throwLength(where);
            resize(r, (n | kMask) > kMaxLength ? kMaxLength : (n | kMask));
        } else if (n <= kMask && r->capacity > kMask) {
            resize(r, kMask);
        }
    }

    static unsigned find(const Rep* r, const Ch* s, unsigned n, unsigned pos) {
        const unsigned len = r->length;
        if (n == 0 || len == 0 || pos >= len || n > len - pos) return String::npos;
        const Ch* base = reinterpret_cast<const Ch*>(r + 1);
        const Ch first = s[0];
        for (unsigned i = pos, last = len - n; i <= last; ++i) {
            if (base[i] == first && std::memcmp(base + i, s, size_t(n) * sizeof(Ch)) == 0) return i;
        }
        return String::npos;
    }

    static unsigned rfind(const Rep* r, const Ch* s, unsigned n, unsigned pos) {
        const unsigned len = r->length;
        if (n == 0 || len == 0 || n > len) return String::npos;
        const Ch* base = reinterpret_cast<const Ch*>(r + 1);
        unsigned i = pos < len - n ? pos : len - n;
        for (;; --i) {
            if (base[i] == s[0] && std::memcmp(base + i, s, size_t(n) * sizeof(Ch)) == 0) return i;
            if (i == 0) return String::npos;
        }
    }

    template <class Pred>
    static unsigned findIf(const Rep* r, Pred pred, unsigned pos) {
        const Ch* base = reinterpret_cast<const Ch*>(r + 1);
        for (unsigned i = pos; i < r->length; ++i)
            if (pred(base[i])) return i;
        return String::npos;
    }

    // Scans down from pos (from the last character when pos is past it).
    template <class Pred>
    static unsigned rfindIf(const Rep* r, Pred pred, unsigned pos) {
        if (r->length == 0) return String::npos;
        const Ch* base = reinterpret_cast<const Ch*>(r + 1);
        for (unsigned i = pos < r->length ? pos : r->length - 1;; --i) {
            if (pred(base[i])) return i;
            if (i == 0) return String::npos;
        }
    }

    template <class Pred>
    static void stripLeading(Rep* r, Pred pred) {
        unsigned k = 0;
        const Ch* base = chars(r);
        while (k < r->length && pred(base[k])) ++k;
        cut(r, 0, k);
    }

    template <class Pred>
    static void stripTrailing(Rep* r, Pred pred) {
        unsigned len = r->length;
        const Ch* base = chars(r);
        while (len > 0 && pred(base[len - 1])) --len;
        cut(r, len, r->length - len);
    }
};

}  // namespace detail
}  // namespace qxString

#endif
