// qxOS::URL: splits a URL into protocol, authority (host and port), path,
// query and reference, and keeps each of path, query and reference both as
// parsed and percent-encoded. A text without a protocol is a local path
// (protocol "file"), so one class serves file URLs, plain paths and network
// URLs alike:
//
//   qxOS::URL("HTTP://Example:8080/a/b?x=1#top")  http, example:8080, /a/b, x=1, top
//   qxOS::URL("file:///C:/dir/")                   file, C:\dir
//   qxOS::URL("C:\\dir\\")                         file, C:\dir (trailing separator noted)
//
// A lenient splitter, not a validator: nothing is rejected, and
// hasIllegalCharacters() tells what does not belong. The text is 8-bit; the
// Filename answers convert it through the locale's multibyte encoding.
#ifndef QXBASE_OS_FILES_QXURL_H
#define QXBASE_OS_FILES_QXURL_H

#include "os/files/qxFilename.h"
#include "qxDefs.h"
#include "string/qxString.h"

namespace qxOS {

class QX_API URL {
public:
    struct _info {
        qxString::CString path;
        qxString::CString query;
        qxString::CString ref;
    };

    explicit URL(const qxString::CString& text);
    URL(const URL& other);
    URL(URL&& other) noexcept;
    URL& operator=(const URL& other);
    URL& operator=(URL&& other) noexcept;
    ~URL();

    // The protocol and authority in lower case. The port is the authority's
    // when it names one, else 443 for https, 23 for telnet, 21 for ftp, 80
    // for anything else.
    qxString::CString getProtocol() const { return m_protocol; }
    qxString::CString getHost() const { return m_host; }
    qxString::CString getAuthority() const { return m_authority; }
    int getPort() const { return m_port; }
    qxString::CString getPath(bool encoded) const { return info(encoded).path; }
    qxString::CString getQuery(bool encoded) const { return info(encoded).query; }
    qxString::CString getRef(bool encoded) const { return info(encoded).ref; }
    // '\' for file URLs, '/' for the others.
    char getSeparator() const;

    // A file URL's path (with a separator when the text ended in one), any
    // other URL's protocol, "://", authority and path.
    qxString::CString getName(bool encoded) const;
    // protocol://authority, path, ?query and #ref, each part only when it is
    // not empty.
    qxString::CString getFullURL(bool encoded) const;
    // A file URL's directory with a separator after it; any other URL's
    // protocol://authority followed by its directory and '/'.
    qxString::CString getDirname(bool encoded) const;
    // The path with the URL's separator only, no runs of it.
    qxString::CString getCanonicalPath(bool encoded) const;
    // The parts of the path as a Filename splits it.
    qxString::CString dirname(bool encoded) const;
    qxString::CString basename(bool encoded) const;
    qxString::CString baseSuffix(bool encoded) const;
    qxString::CString baseTrunk(bool encoded) const;
    // The path is absolute in the Filename sense ("C:\..." or "\\...").
    bool isAbsolute() const;
    // Not a file URL, or an absolute one.
    bool isAbsolutePath() const;
    bool isLocalFile() const;
    bool IsIMan() const;
    // Equal names (getName(false)), ignoring case for a file URL.
    bool comparePath(const URL& other) const;

    // A character that has no place in a URL: in the encoded path ('[' and
    // ']' too), the host ('\', ':' and '/' too) or the protocol (all four).
    bool hasIllegalCharacters() const;
    // The test with none of the extra rules: control characters, space and
    // "#$&+,;<=>?@^`{|} are illegal; everything else is legal.
    static bool hasIllegalCharacters(const qxString::CString& text);

    // Space, '%', '<' and '>' become '%' and two upper-case hexadecimal
    // digits; nothing else changes.
    static qxString::CString encode(const qxString::CString& text);
    // "%xy" becomes the character xy (a digit that is no hexadecimal one
    // counts as 0); a '%' with fewer than two characters after it ends the
    // text. The wide form converts through the locale's multibyte encoding.
    static qxString::CString decode(const qxString::CString& text);
    static qxString::CString decode(const qxString::IString& text);
    static qxString::CString decode(const char* text);
    // Runs of separator shrink to one; a run that starts a text of two or
    // more characters keeps two (a server path).
    static qxString::CString removeDuplicateSeparators(const qxString::CString& text,
                                                       char separator);
    // Except in "C:\" and "\\server\", and never the first character.
    static qxString::CString removeTrailingSeparators(const qxString::CString& text,
                                                      char separator);

protected:
    // The other separator replaced by separator, then its runs removed.
    qxString::CString canonicalize(const qxString::CString& text, char separator) const;

private:
    // How the two Filenames come from the paths: not at all, with the
    // default separator (file URLs), or with '/' after trailing ones go.
    enum FileKind : unsigned char { kNoFiles, kLocalFiles, kSlashFiles };

    const _info& info(bool encoded) const { return encoded ? m_encoded : m_plain; }
    void parseLocal(const qxString::CString& path);
    void encodeAllInfo();
    // The Filename of either path, made on first use.
    const Filename& file(bool encoded) const;
    static char asciiHexit2decimalHexit(char c);
    static char decimalHexit2asciiHexit(char d);

    _info m_encoded;
    _info m_plain;
    qxString::CString m_host;
    qxString::CString m_authority;
    qxString::CString m_protocol;
    int m_port;
    bool m_trailingSeparator;
    FileKind m_fileKind;
    mutable bool m_filesMade;
    mutable Filename m_encodedFile;
    mutable Filename m_plainFile;
};

}  // namespace qxOS

extern "C" {
// URL(text).isAbsolutePath() and URL(text).isLocalFile(); a null text is
// an empty one.
QX_API bool isAbsolutePath(const char* text);
QX_API bool isLocalFile(const char* text);
}

#endif
