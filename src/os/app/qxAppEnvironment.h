// The process environment, the heap and console switches, byte order, and
// the C entry points that give the installation's locations, the temporary
// directory and the program's name to callers without the classes.
#ifndef QXBASE_OS_APP_QXAPPENVIRONMENT_H
#define QXBASE_OS_APP_QXAPPENVIRONMENT_H

#include "diagnostics/qxError.h"
#include "qxDefs.h"
#include "string/qxString.h"

#include <cstddef>

namespace qxOS {

// Environment variables, read in the process's native text (on POSIX,
// UTF-8: a value that is not valid UTF-8 counts as not set). Each form
// returns whether the variable is set; an empty value counts as set.
QX_API bool GetEnv(const qxString::IString& name);
QX_API bool GetEnvExists(const qxString::IString& name);
// value = atoi of the text (0 for text that is no number), or defaultValue
// when unset.
QX_API bool GetEnv(const qxString::IString& name, int& value, int defaultValue);
// value = the text, or empty when unset.
QX_API bool GetEnv(const qxString::IString& name, qxString::IString& value);
// value = true exactly for "1", "true", "t", "yes" or "on" (spaces around
// and case ignored), or defaultValue when unset.
QX_API bool GetEnv(const qxString::IString& name, bool& value, bool defaultValue);
// Sets or (with a null value) removes a variable, for this process and the
// children it starts. False for an empty name or one holding '='.
QX_API bool SetEnv(const qxString::IString& name, const qxString::IString* value);

// Switches the runtime's heap and the process heap to the Windows
// low-fragmentation heap. Error 1 when kernel32 cannot be loaded, 2 when it
// lacks HeapSetInformation. Other systems have no such heap: success there,
// and nothing changes.
QX_API qxUtil::Error useWindowsLowFragmentationHeap();

// A console of width columns and height rows for a process without one,
// with stdout and stderr attached, unbuffered. False when none could be
// made (always on POSIX, where a process has a terminal or cannot get one).
QX_API bool CreateConsole(int width, int height);

// Byte order: 0 for little-endian, the order of every target.
inline int getBytesex() {
    return 0;
}

namespace detail {
template <class T>
inline T reverseBytes(T v) {
    unsigned char* p = reinterpret_cast<unsigned char*>(&v);
    for (size_t i = 0, j = sizeof(T) - 1; i < j; ++i, --j) {
        const unsigned char t = p[i];
        p[i] = p[j];
        p[j] = t;
    }
    return v;
}
template <class T>
inline void reverseEach(T* values, size_t count) {
    while (count) {
        --count;
        values[count] = reverseBytes(values[count]);
    }
}
}  // namespace detail

// The value with its bytes reversed. long has the platform's size (4 bytes
// on Windows, 8 on 64-bit POSIX): all of its bytes are reversed.
inline short swap(short v) { return detail::reverseBytes(v); }
inline int swap(int v) { return detail::reverseBytes(v); }
inline long swap(long v) { return detail::reverseBytes(v); }
inline float swap(float v) { return detail::reverseBytes(v); }
inline double swap(double v) { return detail::reverseBytes(v); }
// Each of count elements reversed in place.
inline void swap(short* v, size_t count) { detail::reverseEach(v, count); }
inline void swap(int* v, size_t count) { detail::reverseEach(v, count); }
inline void swap(long* v, size_t count) { detail::reverseEach(v, count); }
inline void swap(float* v, size_t count) { detail::reverseEach(v, count); }
inline void swap(double* v, size_t count) { detail::reverseEach(v, count); }

// Between little-endian and host order: nothing to do on these targets.
inline short swapLittle(short v) { return v; }
inline int swapLittle(int v) { return v; }
inline long swapLittle(long v) { return v; }
inline float swapLittle(float v) { return v; }
inline double swapLittle(double v) { return v; }
inline void swapLittle(short*, size_t) {}
inline void swapLittle(int*, size_t) {}
inline void swapLittle(long*, size_t) {}
inline void swapLittle(float*, size_t) {}
inline void swapLittle(double*, size_t) {}

}  // namespace qxOS

#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__)
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "qxbase assumes a little-endian host");
#endif

// Sets the installation location: the parent of the executable's directory,
// stored and put into the environment as OSTREL_LOCATION.
QX_API void setOstrelLocation();
// Sets the stored location.
QX_API void APP_setPath(const qxString::CString& path);
// APP_getBinariesPath() joined with name.
QX_API qxString::CString APP_getBinaryPath(const char* name);

extern "C" {
// Each pointer points to storage of the library that stays valid until the
// same function is called again.

// true: OSTREL_LOCATION (computed by setOstrelLocation when unset). false:
// the stored location, computed by setOstrelLocation while it is empty.
QX_API const char* APP_getPath(bool fromEnvironment);
// OSTREL_LOCATION, as APP_getPath(true), in storage of its own.
QX_API const char* APP_getResourcePath();
// <location>\bin, <location>\bin\ia32, <location>\Vorn\OpenOstrel\plugins:
// computed on the first call and kept for the process.
QX_API const char* APP_getBinariesPath();
QX_API const char* APP_getBinariesPath32Bit();
QX_API const char* APP_getPluginsPath();
// OSTREL_TEMP_DIRECTORY, TMPDIR, TEMP or TMP, the first that is set; else
// "<drive of SystemRoot>:\temp"; else "\temp".
QX_API const char* APP_getTempPath();
// Stores the part after the last backslash (forward slashes are no
// separators here). A name longer than 1023 bytes is cut to its first 1023,
// never inside a character.
QX_API void APP_setProgramName(const char* path);
// The stored name, or "Application".
QX_API const char* APP_getProgramName();
QX_API bool APP_isProgramNameDefined();
// Switches to the low-fragmentation heap unless OSTREL_DISABLE_LFH is set,
// reporting on stdout when it is disabled or fails.
QX_API void setupLowFragmentationHeap();
}

#endif
