// qxOS::Filename: a path value, kept in canonical form for one separator,
// whose parts (prefix, directory, base name, trunk, suffix) are split once,
// on first use. Paths are Windows paths on every target: '\' separates,
// "C:" is a drive prefix, "\\server\share" a server prefix.
#ifndef QXBASE_OS_FILES_QXFILENAME_H
#define QXBASE_OS_FILES_QXFILENAME_H

#include "containers/qxVector.h"
#include "qxDefs.h"
#include "string/qxString.h"

namespace qxOS {

struct FilenameParts;

class QX_API Filename {
public:
    static qx::WChar separator() { return '\\'; }
    static char pathSeparator() { return ';'; }
    // The limit of the classic file calls, closing zero included: makeDir
    // and setCwd refuse names of maxLength() units or more on every target.
    static int maxLength() { return 260; }

    Filename();
    // Takes the other's text as it is, with the default separator (not the
    // other's); assignment keeps the other's separator.
    Filename(const Filename& other);
    // Takes the other's text with the default separator, like the copy.
    Filename(Filename&& other) noexcept;
    explicit Filename(const qxString::IString& path);
    Filename(const qxString::IString& path, qx::WChar sep);
    // A char separator with a wide path, without going through CString.
    Filename(const qxString::IString& path, char sep)
        : Filename(path, static_cast<qx::WChar>(static_cast<unsigned char>(sep))) {}
    // 8-bit paths are in the locale's multibyte encoding.
    Filename(const qxString::CString& path, char sep);
    Filename(const char* path, char sep);
    // dir and base joined with the default separator, then cleaned (without
    // turning '/' into '\').
    Filename(const qxString::IString& dir, const qxString::IString& base);
    Filename(const Filename& dir, const Filename& base);
    virtual ~Filename();

    Filename& operator=(const Filename& other);
    Filename& operator=(Filename&& other) noexcept;
    // Canonical for this name's own separator.
    Filename& operator=(const qxString::IString& path);

    const qxString::IString& name() const { return m_name; }
    // The name as the platform spells it, for people to read: on Linux with
    // '/' and without a drive ("/usr/include/GL/glext.h" for
    // "\usr\include\GL\glext.h"), on Windows the name itself.
    qxString::IString nativeName() const;
    qx::WChar ownSeparator() const { return m_separator; }

    // Parts, split on first use; the references stay valid until the name
    // changes or the object goes.
    const qxString::IString& prefix() const;
    const qxString::IString& dirname() const;
    const qxString::IString& basename() const;
    const qxString::IString& baseTrunk() const;
    const qxString::IString& baseSuffix() const;
    // Exactly five strings: prefix, dirname, basename, baseTrunk, baseSuffix.
    qx::vector<qxString::IString> components() const;
    // "\\..." or "X:\..."; always tested with '\', whatever the separator.
    bool isAbsolute() const;

    // The cleaning steps on bare strings: foreign separators replaced, then
    // the three steps below in this order.
    static void canonicalize(const qxString::IString& in, qx::WChar sep, qxString::IString& out);
    // Runs of separators shrink to one, except a leading run, which keeps two
    // (the start of a server path).
    static void removeDuplicateSeparators(qxString::IString& s, qx::WChar sep);
    // Except in "C:\" and "\\server\", and never the first character.
    static void removeTrailingSeparators(qxString::IString& s, qx::WChar sep);
    // "a\b\..\c" becomes "a\c"; "..\..\x" stays; a trailing "\.." stays.
    static void removeSlashDotDotSlash(qxString::IString& s, qx::WChar sep);

    static qxString::IString join(const qxString::IString& a, const qxString::IString& b);
    static qxString::IString join(const qxString::IString& a, const qxString::IString& b,
                                  const qxString::IString& c);
    // (a joined with b) joined with (c joined with d).
    static qxString::IString join(const qxString::IString& a, const qxString::IString& b,
                                  const qxString::IString& c, const qxString::IString& d);

    // Creates the last component of this name as a directory.
    bool makeDir() const;
    // Makes this name the process's current directory.
    bool setCwd();
    // Becomes the current directory (default separator); empty when it
    // cannot be read or has maxLength() units or more.
    void getCwd();

protected:
    void assign(const qxString::IString& path);
    void assign(const qxString::IString& dir, const qxString::IString& base);

private:
    const FilenameParts& parts() const;
    void dropParts();

    qx::WChar m_separator;
    qxString::IString m_name;
    mutable FilenameParts* m_parts;
};

}  // namespace qxOS

extern "C" {
// 8-bit forms in the locale's multibyte encoding. Each writes the answer and
// its NUL to out, which must be large enough (a path's part is never longer
// than the path; a join is at most both lengths plus one).
QX_API void qxOS_FilenameBasename(const char* path, char* out);
QX_API void qxOS_FilenameDirname(const char* path, char* out);
QX_API void qxOS_FilenameBaseTrunk(const char* path, char* out);
QX_API void qxOS_FilenameBaseSuffix(const char* path, char* out);
QX_API void qxOS_FilenamePrefix(const char* path, char* out);
QX_API void qxOS_FilenameJoin(const char* dir, const char* base, char* out);
// 1 when the directory was created, else 0.
QX_API int qxOS_FilenameMakeDir(const char* path);
}

#endif
