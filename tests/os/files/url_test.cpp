// URL: the parts of network URLs, file URLs and plain paths, their encoded
// forms, the Filename answers, and the static text helpers.
#include "qxbase.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

using qxOS::URL;
using qxString::CString;

std::string str(const CString& s) {
    return std::string(s.data(), s.length());
}

// protocol|authority|host|port|path|query|ref, plain forms.
std::string parts(const char* text) {
    const URL u{CString(text)};
    return str(u.getProtocol()) + "|" + str(u.getAuthority()) + "|" + str(u.getHost()) + "|" +
           std::to_string(u.getPort()) + "|" + str(u.getPath(false)) + "|" +
           str(u.getQuery(false)) + "|" + str(u.getRef(false));
}

TEST(URLTest, NetworkParts) {
    EXPECT_EQ(parts("SCHEME://Example:8080/a/b?x=1#top"),
              "scheme|example:8080|example|8080|/a/b|x=1|top");
    // Default ports, and the path when little follows the authority.
    EXPECT_EQ(parts("https://host/"), "https|host|host|443|/||");
    EXPECT_EQ(parts("telnet://host"), "telnet|host|host|23|/||");
    EXPECT_EQ(parts("ftp://h/x"), "ftp|h|h|21|/x||");
    EXPECT_EQ(parts("gopher://h"), "gopher|h|h|80|/||");
    EXPECT_EQ(parts("http://"), "http|||80|/||");
    EXPECT_EQ(parts("http:///x"), "http|||80|/x||");
    // Ports: a colon at either end, signs, and numbers too large for int
    // (which stop at the limit on every target).
    EXPECT_EQ(parts("http://h:/"), "http|h:|h|80|/||");
    EXPECT_EQ(parts("http://:99/"), "http|:99||99|/||");
    EXPECT_EQ(parts("http://h:-5x/"), "http|h:-5x|h|-5|/||");
    EXPECT_EQ(parts("http://h:99999999999/"),
              "http|h:99999999999|h|" + std::to_string(INT_MAX) + "|/||");
    EXPECT_EQ(URL(CString("http://h:-99999999999/")).getPort(), INT_MIN);
    // Query and reference: one character, empty, out of order.
    EXPECT_EQ(parts("http://h/p?q"), "http|h|h|80|/p|q|");
    EXPECT_EQ(parts("http://h/p#"), "http|h|h|80|/p||");
    EXPECT_EQ(parts("http://h/p?#r"), "http|h|h|80|/p||r");
    EXPECT_EQ(parts("http://h/a#b?c#d"), "http|h|h|80|/a#b|c|d");
    EXPECT_EQ(parts("http://#frag"), "http|||80|||frag");
    EXPECT_EQ(parts("http://?q"), "http|||80||q|");
    EXPECT_EQ(parts("http://h?x"), "http|h?x|h?x|80|/||");
    // The path with '/' only and no runs, a leading pair kept.
    EXPECT_EQ(parts("http://h/a\\\\b//c/"), "http|h|h|80|/a/b/c/||");
    EXPECT_EQ(parts("http://h//srv/x"), "http|h|h|80|//srv/x||");
    EXPECT_EQ(parts("http://h/a://b"), "http|h|h|80|/a:/b||");
    EXPECT_TRUE(URL(CString("IMAN://x")).IsIMan());
    EXPECT_FALSE(URL(CString("http://x")).IsIMan());
}

TEST(URLTest, LocalPaths) {
    EXPECT_EQ(parts("file:///C:/dir/"), "file|||80|C:\\dir||");
    EXPECT_EQ(parts("FILE://C:\\dir"), "file|||80|C:\\dir||");
    EXPECT_EQ(parts("file://"), "file|||80|\\||");
    EXPECT_EQ(parts("file://x?y#z"), "file|||80|x?y#z||");
    EXPECT_EQ(parts("C:\\dir\\"), "file|||80|C:\\dir||");
    EXPECT_EQ(parts("c://x"), "file|||80|c:\\x||");  // a drive, not a scheme
    EXPECT_EQ(parts("\\\\\\srv\\share\\"), "file|||80|\\\\srv\\share||");
    EXPECT_EQ(parts(""), "file|||80|||");

    // The trailing separator of a plain path shows in its name only.
    const URL dir{CString("C:\\dir\\")};
    EXPECT_EQ(str(dir.getName(false)), "C:\\dir\\");
    EXPECT_EQ(str(URL(CString("file:///C:/dir/")).getName(false)), "C:\\dir");
    EXPECT_EQ(str(URL(CString("C:\\")).getName(false)), "C:\\");
    EXPECT_EQ(dir.getSeparator(), '\\');
    EXPECT_EQ(URL(CString("http://h")).getSeparator(), '/');
    EXPECT_EQ(str(dir.getFullURL(false)), "file://C:\\dir");

    EXPECT_TRUE(isLocalFile("c://x"));
    EXPECT_TRUE(isLocalFile("relative\\path"));
    EXPECT_TRUE(isLocalFile(nullptr));
    EXPECT_FALSE(isLocalFile("http://x"));
    EXPECT_TRUE(isAbsolutePath("C:\\x"));
    EXPECT_TRUE(isAbsolutePath("\\\\srv\\x"));
    EXPECT_TRUE(isAbsolutePath("ftp://h/x"));
    EXPECT_FALSE(isAbsolutePath("x\\y"));
    EXPECT_FALSE(isAbsolutePath("\\x"));  // no drive: not absolute on any target
    const URL http{CString("http://h/x")};
    EXPECT_FALSE(http.isAbsolute());
    EXPECT_TRUE(http.isAbsolutePath());
}

TEST(URLTest, Encoding) {
    EXPECT_EQ(str(URL::encode(CString("a b%"))), "a%20b%25");
    EXPECT_EQ(str(URL::encode(CString("<x>~[]?#"))), "%3Cx%3E~[]?#");
    EXPECT_EQ(str(URL::decode(CString("a%2"))), "a");
    EXPECT_EQ(str(URL::decode(CString("a%41b%4a%"))), "aAbJ");
    EXPECT_EQ(str(URL::decode(CString("%zz%g1"))), std::string("\0\1", 2));
    EXPECT_EQ(str(URL::decode(qxString::IString(QX_W("x%3Cy")))), "x<y");
    EXPECT_EQ(str(URL::decode(static_cast<const char*>(nullptr))), "");
    EXPECT_EQ(str(URL::decode("%25%2541")), "%%41");

    const URL u{CString("http://h/my dir/a<b>?q r#x%y")};
    EXPECT_EQ(str(u.getPath(true)), "/my%20dir/a%3Cb%3E");
    EXPECT_EQ(str(u.getQuery(true)), "q%20r");
    EXPECT_EQ(str(u.getRef(true)), "x%25y");
    EXPECT_EQ(str(u.getFullURL(true)), "http://h/my%20dir/a%3Cb%3E?q%20r#x%25y");
    EXPECT_EQ(str(u.getFullURL(false)), "http://h/my dir/a<b>?q r#x%y");
    EXPECT_EQ(str(u.basename(true)), "a%3Cb%3E");
    EXPECT_EQ(str(u.dirname(false)), "/my dir");
}

TEST(URLTest, FilenameAnswers) {
    const URL u{CString("http://h/a/b/c.tar.gz")};
    EXPECT_EQ(str(u.dirname(false)), "/a/b");
    EXPECT_EQ(str(u.basename(false)), "c.tar.gz");
    EXPECT_EQ(str(u.baseTrunk(false)), "c.tar");
    EXPECT_EQ(str(u.baseSuffix(false)), "gz");
    EXPECT_EQ(str(u.getDirname(false)), "http://h/a/b/");
    EXPECT_EQ(str(u.getName(false)), "http://h/a/b/c.tar.gz");
    EXPECT_EQ(str(URL(CString("http://h/c.txt")).getDirname(false)), "http://h/");
    EXPECT_EQ(str(URL(CString("http://h/d/")).basename(false)), "d");
    // Without a path after the authority there is no Filename to ask.
    const URL bare{CString("http://h")};
    EXPECT_EQ(str(bare.getDirname(false)), "http://h");
    EXPECT_EQ(str(bare.basename(false)), "");

    const URL local{CString("C:/my dir\\f.txt")};
    EXPECT_EQ(str(local.getDirname(false)), "C:\\my dir\\");
    EXPECT_EQ(str(local.getDirname(true)), "C:\\my%20dir\\");
    EXPECT_EQ(str(local.basename(false)), "f.txt");
    EXPECT_EQ(str(local.getCanonicalPath(false)), "C:\\my dir\\f.txt");
    EXPECT_EQ(str(URL(CString("C:\\f")).getDirname(false)), "C:\\");
    EXPECT_EQ(str(URL(CString("f")).getDirname(false)), "\\");

    // Copies keep the '/' of network paths, made or not made yet.
    URL made(u);
    EXPECT_EQ(str(made.dirname(false)), "/a/b");
    URL fresh{CString("ftp://h/x/y")};
    URL copy(fresh);
    EXPECT_EQ(str(copy.dirname(false)), "/x");
    URL assigned{CString("C:\\z")};
    assigned = u;
    EXPECT_EQ(str(assigned.dirname(false)), "/a/b");
    assigned = URL(CString("ftp://h/p/q"));
    EXPECT_EQ(str(assigned.dirname(false)), "/p");
    EXPECT_EQ(assigned.getPort(), 21);
}

TEST(URLTest, ComparePathAndIllegalCharacters) {
    EXPECT_TRUE(URL(CString("C:\\Dir\\A")).comparePath(URL(CString("c:/dir/a"))));
    EXPECT_FALSE(URL(CString("http://h/A")).comparePath(URL(CString("http://h/a"))));
    EXPECT_TRUE(URL(CString("http://h/a//b")).comparePath(URL(CString("http://h/a/b"))));

    EXPECT_FALSE(URL(CString("http://h/a b/c~d%")).hasIllegalCharacters());  // encoded first
    EXPECT_FALSE(URL(CString("C:\\dir\\x.txt")).hasIllegalCharacters());
    EXPECT_TRUE(URL(CString("http://h/a[1]")).hasIllegalCharacters());
    EXPECT_TRUE(URL(CString("http://h/a|b")).hasIllegalCharacters());
    EXPECT_TRUE(URL(CString("http://h\\x/p")).hasIllegalCharacters());
    EXPECT_FALSE(URL(CString("http://h:80/p")).hasIllegalCharacters());  // the host has no port
    EXPECT_TRUE(URL(CString("ht@p://h/")).hasIllegalCharacters());
    EXPECT_TRUE(URL(CString("h[t]p://h/")).hasIllegalCharacters());

    EXPECT_FALSE(URL::hasIllegalCharacters(CString("a:b/c\\[d]~%.-_!*'()")));
    for (const char c : std::string(" \"#$&+,;<=>?@^`{|}\x01\x1f\x7f"))
        EXPECT_TRUE(URL::hasIllegalCharacters(CString(1, c))) << int(c);
    EXPECT_FALSE(URL::hasIllegalCharacters(CString("\xe9t\xc3\xa9")));
    EXPECT_FALSE(URL::hasIllegalCharacters(CString()));
}

TEST(URLTest, Separators) {
    const auto trailing = [](const char* s, char sep) {
        return str(URL::removeTrailingSeparators(CString(s), sep));
    };
    EXPECT_EQ(trailing("C:\\", '\\'), "C:\\");
    EXPECT_EQ(trailing("\\\\server\\", '\\'), "\\\\server\\");
    EXPECT_EQ(trailing("\\\\server\\share\\", '\\'), "\\\\server\\share");
    EXPECT_EQ(trailing("C:\\dir\\\\", '\\'), "C:\\dir");
    EXPECT_EQ(trailing("\\\\", '\\'), "\\");
    EXPECT_EQ(trailing("", '\\'), "");
    EXPECT_EQ(trailing("/a//", '/'), "/a");
    EXPECT_EQ(trailing("C:\\", '/'), "C:\\");  // only the given separator counts

    const auto duplicates = [](const char* s, char sep) {
        return str(URL::removeDuplicateSeparators(CString(s), sep));
    };
    EXPECT_EQ(duplicates("\\\\\\srv\\\\a\\\\\\b\\\\", '\\'), "\\\\srv\\a\\b\\");
    EXPECT_EQ(duplicates("a//b", '\\'), "a//b");
    EXPECT_EQ(duplicates("//", '/'), "//");
    EXPECT_EQ(duplicates("/", '/'), "/");
    EXPECT_EQ(duplicates("x//", '/'), "x/");
}

}  // namespace
