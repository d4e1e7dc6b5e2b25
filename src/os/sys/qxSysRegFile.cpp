// The registry editor's export format; see qxSysRegFile.h. Nothing here
// touches the system, so both targets build it.
#include "os/sys/qxSysRegFile.h"

#include "string/qxUtf8Codec.h"

#include <algorithm>

namespace qx {
namespace sys {

namespace {

// A key with more values than this keeps an index of their names.
constexpr size_t kIndexFrom = 16;

// The editor breaks hex data after the comma that reaches this column.
constexpr size_t kHexColumns = 77;

const char kHeader[] = "Windows Registry Editor Version 5.00";

RegText ascii(const char* s) {
    RegText t;
    while (*s) t.push_back(static_cast<WChar>(*s++));
    return t;
}

bool isBlank(WChar c) {
    return c == ' ' || c == '\t';
}

int hexDigit(WChar c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A text's units as the registry holds them: UTF-16LE bytes.
std::string utf16Bytes(const RegText& text, bool withNul) {
    std::string out;
    out.reserve(2 * (text.size() + 1));
    for (WChar c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    if (withNul) out.append(2, '\0');
    return out;
}

// Reads one line after another; each is handed over without its line end
// (LF, or CR LF).
class Lines {
public:
    explicit Lines(const RegText& text) : m_text(text) {}
    bool next(RegText& line) {
        if (m_pos >= m_text.size()) return false;
        size_t end = m_text.find(static_cast<WChar>('\n'), m_pos);
        const size_t stop = end == RegText::npos ? m_text.size() : end;
        size_t len = stop - m_pos;
        if (len && m_text[m_pos + len - 1] == '\r') --len;
        line.assign(m_text, m_pos, len);
        m_pos = end == RegText::npos ? m_text.size() : end + 1;
        ++m_number;
        return true;
    }
    size_t number() const { return m_number; }

private:
    const RegText& m_text;
    size_t m_pos = 0;
    size_t m_number = 0;
};

// A cursor on one line.
struct Cursor {
    const RegText* line;
    size_t pos;

    bool atEnd() const { return pos >= line->size(); }
    WChar peek() const { return atEnd() ? 0 : (*line)[pos]; }
    void skipBlanks() {
        while (!atEnd() && isBlank((*line)[pos])) ++pos;
    }
    // Nothing but blanks to the end.
    bool restIsBlank() {
        skipBlanks();
        return atEnd();
    }
    bool take(const char* word, bool anyCase) {
        size_t p = pos;
        for (const char* w = word; *w; ++w, ++p) {
            if (p >= line->size()) return false;
            WChar c = (*line)[p];
            if (anyCase && c >= 'A' && c <= 'Z') c = static_cast<WChar>(c + 32);
            if (c != static_cast<WChar>(*w)) return false;
        }
        pos = p;
        return true;
    }
    // 1 to maxDigits hexadecimal digits.
    bool hexNumber(size_t maxDigits, uint64_t* value) {
        size_t n = 0;
        uint64_t v = 0;
        for (int d; n < maxDigits && (d = hexDigit(peek())) >= 0; ++n, ++pos)
            v = (v << 4) | static_cast<unsigned>(d);
        *value = v;
        return n > 0 && hexDigit(peek()) < 0;
    }
    // A double-quoted text with its escapes, the opening quote under the
    // cursor; false when it is not closed on this line or has a bad escape.
    bool quoted(RegText& out) {
        out.clear();
        ++pos;
        while (!atEnd()) {
            WChar c = (*line)[pos++];
            if (c == '"') return true;
            if (c == '\\') {
                if (atEnd()) return false;
                switch ((*line)[pos++]) {
                    case '\\':
                        c = '\\';
                        break;
                    case '"':
                        c = '"';
                        break;
                    case 'n':
                        c = '\n';
                        break;
                    case 'r':
                        c = '\r';
                        break;
                    case '0':
                        c = 0;
                        break;
                    default:
                        return false;
                }
            }
            out.push_back(c);
        }
        return false;
    }
};

// Text for a "..." form: escaped quotes and backslashes, line breaks as \n
// and \r, NUL as \0 (the editor's own spelling of them).
void appendEscaped(RegText& out, const RegText& text) {
    for (WChar c : text) {
        switch (c) {
            case '\\':
                out += QX_W("\\\\");
                break;
            case '"':
                out += QX_W("\\\"");
                break;
            case '\n':
                out += QX_W("\\n");
                break;
            case '\r':
                out += QX_W("\\r");
                break;
            case 0:
                out += QX_W("\\0");
                break;
            default:
                out.push_back(c);
        }
    }
}

void appendHex(RegText& out, uint64_t v, int digits) {
    static const char kDigits[] = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i)
        out.push_back(static_cast<WChar>(kDigits[(v >> (4 * i)) & 15]));
}

// Hexadecimal without leading zeros, as in hex(7).
void appendShortHex(RegText& out, uint32_t v) {
    int digits = 1;
    while (digits < 8 && (v >> (4 * digits)) != 0) ++digits;
    appendHex(out, v, digits);
}

// REG_SZ data that a "..." form gives back exactly: whole units, one NUL at
// the end and none before it, no line break (which the editor would have to
// escape, and older editors cannot read).
bool isPlainText(const std::string& data, RegText* text) {
    if (data.size() < 2 || data.size() % 2) return false;
    const size_t n = data.size() / 2 - 1;
    text->clear();
    for (size_t i = 0; i <= n; ++i) {
        const WChar c = static_cast<WChar>(static_cast<unsigned char>(data[2 * i]) |
                                           static_cast<unsigned char>(data[2 * i + 1]) << 8);
        if ((c == 0) != (i == n) || c == '\r' || c == '\n') return false;
        if (i < n) text->push_back(c);
    }
    return true;
}

class Parser {
public:
    Parser(const RegText& text, const RegText& hive, RegTime defaultTime)
        : m_lines(text), m_hive(hive), m_time(defaultTime) {}

    // 0, or the number of the line that does not fit.
    size_t run(RegFileKey& root) {
        root.lastWrite = m_time;
        RegText line;
        if (!m_lines.next(line)) return 1;
        Cursor header{&line, 0};
        if (!header.take(kHeader, false) || !header.restIsBlank()) return 1;
        RegFileKey* key = nullptr;
        bool meta = false, ended = false;
        while (m_lines.next(line)) {
            Cursor c{&line, 0};
            if (c.restIsBlank()) continue;
            if (ended) return m_lines.number();
            bool ok;
            switch (c.peek()) {
                case ';':
                    if (!c.take(";qx:", false)) continue;  // a comment of someone else's
                    meta = true;
                    ok = metadata(c, key, &ended);
                    break;
                case '[':
                    ok = (key = section(c, root)) != nullptr;
                    break;
                case '@':
                case '"':
                    ok = key && value(c, *key);
                    break;
                default:
                    ok = false;
            }
            if (!ok) return m_lines.number();
        }
        // No section at all, or no end after a beginning: cut short.
        return !key || (meta && !ended) ? m_lines.number() + 1 : 0;
    }

private:
    bool metadata(Cursor& c, RegFileKey* key, bool* ended) {
        if (c.take("end", false)) return (*ended = c.restIsBlank());
        if (c.take("begin", false)) return !key && c.restIsBlank();
        if (!key) return false;
        if (c.take("time=", false)) {
            uint64_t t = 0;
            const size_t start = c.pos;
            if (!c.hexNumber(16, &t) || c.pos - start != 16 || !c.restIsBlank()) return false;
            key->lastWrite = t;
            return true;
        }
        if (c.take("class=", false) && c.peek() == '"') {
            RegText text;
            if (!c.quoted(text) || !c.restIsBlank()) return false;
            key->className = text;
            return true;
        }
        return false;
    }

    RegFileKey* section(Cursor& c, RegFileKey& root) {
        const size_t close = c.line->rfind(static_cast<WChar>(']'));
        if (close == RegText::npos || close < c.pos + 2) return nullptr;
        Cursor after{c.line, close + 1};
        if (!after.restIsBlank() || (*c.line)[c.pos + 1] == '-') return nullptr;
        const RegText path(*c.line, c.pos + 1, close - c.pos - 1);
        size_t start = 0;
        RegFileKey* key = &root;
        for (bool first = true;; first = false) {
            size_t end = path.find(static_cast<WChar>('\\'), start);
            if (end == RegText::npos) end = path.size();
            const RegText part(path, start, end - start);
            if (first) {
                if (part != m_hive) return nullptr;
            } else {
                if (part.empty() || part.size() > kRegMaxKeyName) return nullptr;
                RegFileKey* sub = key->findSubkey(part);
                if (!sub) {
                    sub = key->makeSubkey(part);
                    sub->lastWrite = m_time;
                }
                key = sub;
            }
            if (end == path.size()) return key;
            start = end + 1;
        }
    }

    bool value(Cursor& c, RegFileKey& key) {
        RegText name;
        if (c.peek() == '@') {
            ++c.pos;
        } else if (!c.quoted(name) || name.size() > kRegMaxValueName ||
                   name.find(static_cast<WChar>(0)) != RegText::npos) {
            return false;
        }
        c.skipBlanks();
        if (c.peek() != '=') return false;
        ++c.pos;
        c.skipBlanks();
        if (c.peek() == '"') {
            RegText text;
            if (!c.quoted(text) || !c.restIsBlank()) return false;
            key.setValue(name, kRegSz, utf16Bytes(text, true));
            return true;
        }
        if (c.take("dword:", true)) {
            c.skipBlanks();
            uint64_t v = 0;
            if (!c.hexNumber(8, &v) || !c.restIsBlank()) return false;
            std::string data(4, '\0');
            for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
            key.setValue(name, kRegDword, std::move(data));
            return true;
        }
        if (!c.take("hex", true)) return false;
        uint64_t type = kRegBinary;
        if (c.peek() == '(') {
            ++c.pos;
            if (!c.hexNumber(8, &type) || c.peek() != ')') return false;
            ++c.pos;
        }
        if (c.peek() != ':') return false;
        ++c.pos;
        std::string data;
        if (!hexBytes(c, data)) return false;
        key.setValue(name, static_cast<uint32_t>(type), std::move(data));
        return true;
    }

    // Comma-separated bytes of one or two digits, continued on the next line
    // after a backslash; a trailing comma is allowed.
    bool hexBytes(Cursor& c, std::string& data) {
        for (;;) {
            c.skipBlanks();
            if (c.atEnd()) return true;
            if (c.peek() == '\\') {
                ++c.pos;
                if (!c.restIsBlank() || !m_lines.next(m_continued)) return false;
                c = Cursor{&m_continued, 0};
                continue;
            }
            uint64_t b = 0;
            if (!c.hexNumber(2, &b)) return false;
            data.push_back(static_cast<char>(b));
            c.skipBlanks();
            if (c.atEnd()) return true;
            if (c.peek() != ',') return false;
            ++c.pos;
        }
    }

    Lines m_lines;
    const RegText& m_hive;
    RegTime m_time;
    RegText m_continued;
};

void writeKey(RegText& out, const RegFileKey& key, const RegText& path) {
    out += '[';
    out += path;
    out += QX_W("]\r\n;qx:time=");
    appendHex(out, key.lastWrite, 16);
    out += QX_W("\r\n");
    if (!key.className.empty()) {
        out += QX_W(";qx:class=\"");
        appendEscaped(out, key.className);
        out += QX_W("\"\r\n");
    }
    RegText text;
    for (const RegFileValue& v : key.values()) {
        const size_t lineStart = out.size();
        if (v.name.empty()) {
            out += '@';
        } else {
            out += '"';
            appendEscaped(out, v.name);
            out += '"';
        }
        out += '=';
        if (v.type == kRegSz && isPlainText(v.data, &text)) {
            out += '"';
            appendEscaped(out, text);
            out += '"';
        } else if (v.type == kRegDword && v.data.size() == 4) {
            uint32_t n = 0;
            for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(v.data[i]);
            out += QX_W("dword:");
            appendHex(out, n, 8);
        } else {
            if (v.type == kRegBinary) {
                out += QX_W("hex:");
            } else {
                out += QX_W("hex(");
                appendShortHex(out, v.type);
                out += QX_W("):");
            }
            size_t column = out.size() - lineStart;
            for (size_t i = 0; i < v.data.size(); ++i) {
                appendHex(out, static_cast<unsigned char>(v.data[i]), 2);
                column += 2;
                if (i + 1 == v.data.size()) break;
                out += ',';
                if (++column >= kHexColumns) {
                    out += QX_W("\\\r\n  ");
                    column = 2;
                }
            }
        }
        out += QX_W("\r\n");
    }
    out += QX_W("\r\n");
    for (const std::unique_ptr<RegFileKey>& sub : key.subkeys()) {
        RegText subPath = path;
        subPath += '\\';
        subPath += sub->name;
        writeKey(out, *sub, subPath);
    }
}

size_t foldedHash(const WChar* s, size_t n) {
    size_t h = 14695981039346656037ull & static_cast<size_t>(-1);
    for (size_t i = 0; i < n; ++i)
        h = (h ^ regFoldUnit(s[i])) * static_cast<size_t>(1099511628211ull);
    return h;
}

}  // namespace

WChar regFoldUnit(WChar c) {
    const unsigned u = c;
    if (u < 0x80) return u >= 'a' && u <= 'z' ? static_cast<WChar>(u - 32) : c;
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<WChar>(u - 0x20);
    if (u == 0xFF) return static_cast<WChar>(0x178);
    if (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) return static_cast<WChar>(u - 0x20);
    if (u >= 0x430 && u <= 0x44F) return static_cast<WChar>(u - 0x20);
    if (u >= 0x450 && u <= 0x45F) return static_cast<WChar>(u - 0x50);
    return c;
}

bool regNamesEqual(const WChar* a, size_t na, const WChar* b, size_t nb) {
    if (na != nb) return false;
    for (size_t i = 0; i < na; ++i)
        if (a[i] != b[i] && regFoldUnit(a[i]) != regFoldUnit(b[i])) return false;
    return true;
}

bool regNameLess(const WChar* a, size_t na, const WChar* b, size_t nb) {
    const size_t n = std::min(na, nb);
    for (size_t i = 0; i < n; ++i) {
        const WChar x = regFoldUnit(a[i]), y = regFoldUnit(b[i]);
        if (x != y) return x < y;
    }
    return na < nb;
}

size_t RegFileKey::FoldHash::operator()(const RegText& s) const {
    return foldedHash(s.data(), s.size());
}

bool RegFileKey::FoldEqual::operator()(const RegText& a, const RegText& b) const {
    return regNamesEqual(a.data(), a.size(), b.data(), b.size());
}

const RegFileValue* RegFileKey::findValue(const RegText& valueName) const {
    if (m_values.size() < kIndexFrom) {
        for (const RegFileValue& v : m_values)
            if (regNamesEqual(v.name.data(), v.name.size(), valueName.data(), valueName.size()))
                return &v;
        return nullptr;
    }
    if (m_valueIndex.empty())
        for (size_t i = 0; i < m_values.size(); ++i) m_valueIndex.emplace(m_values[i].name, i);
    const auto it = m_valueIndex.find(valueName);
    return it == m_valueIndex.end() ? nullptr : &m_values[it->second];
}

void RegFileKey::setValue(const RegText& valueName, uint32_t type, std::string data) {
    if (RegFileValue* v = const_cast<RegFileValue*>(findValue(valueName))) {
        v->type = type;
        v->data = std::move(data);
        return;
    }
    m_values.push_back(RegFileValue{valueName, type, std::move(data)});
    if (!m_valueIndex.empty()) m_valueIndex.emplace(valueName, m_values.size() - 1);
}

bool RegFileKey::deleteValue(const RegText& valueName) {
    const RegFileValue* v = findValue(valueName);
    if (!v) return false;
    m_values.erase(m_values.begin() + (v - m_values.data()));
    m_valueIndex.clear();
    return true;
}

size_t RegFileKey::subkeyPosition(const RegText& keyName) const {
    const auto it =
        std::lower_bound(m_subkeys.begin(), m_subkeys.end(), keyName,
                         [](const std::unique_ptr<RegFileKey>& k, const RegText& n) {
                             return regNameLess(k->name.data(), k->name.size(), n.data(), n.size());
                         });
    return static_cast<size_t>(it - m_subkeys.begin());
}

RegFileKey* RegFileKey::findSubkey(const RegText& keyName) const {
    const size_t i = subkeyPosition(keyName);
    if (i == m_subkeys.size()) return nullptr;
    const RegText& found = m_subkeys[i]->name;
    return regNamesEqual(found.data(), found.size(), keyName.data(), keyName.size())
               ? m_subkeys[i].get()
               : nullptr;
}

RegFileKey* RegFileKey::makeSubkey(const RegText& keyName) {
    if (RegFileKey* k = findSubkey(keyName)) return k;
    const size_t i = subkeyPosition(keyName);
    return m_subkeys
        .insert(m_subkeys.begin() + static_cast<long>(i), std::make_unique<RegFileKey>(keyName))
        ->get();
}

bool RegFileKey::deleteSubkey(const RegText& keyName) {
    const size_t i = subkeyPosition(keyName);
    if (i == m_subkeys.size()) return false;
    const RegText& found = m_subkeys[i]->name;
    if (!regNamesEqual(found.data(), found.size(), keyName.data(), keyName.size())) return false;
    m_subkeys.erase(m_subkeys.begin() + static_cast<long>(i));
    return true;
}

std::unique_ptr<RegFileKey> regParseFile(const char* bytes, size_t size, const RegText& hive,
                                         RegTime defaultTime, size_t* badLine) {
    RegText text;
    const auto* u = reinterpret_cast<const unsigned char*>(bytes);
    bool whole = true;
    if (size >= 2 && u[0] == 0xFF && u[1] == 0xFE) {
        whole = size % 2 == 0;
        text.reserve(size / 2);
        for (size_t i = 2; i + 1 < size; i += 2)
            text.push_back(static_cast<WChar>(u[i] | (u[i + 1] << 8)));
    } else {
        const size_t skip = size >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF ? 3 : 0;
        bool invalid = false;
        text.resize(qx::utf8::toUtf16(bytes + skip, size - skip, nullptr, 0, &invalid));
        qx::utf8::toUtf16(bytes + skip, size - skip, &text[0], text.size(), &invalid);
        if (invalid) {
            *badLine = 1;
            return nullptr;
        }
    }
    auto root = std::make_unique<RegFileKey>(hive);
    Parser parser(text, hive, defaultTime);
    size_t bad = parser.run(*root);
    if (!bad && !whole) bad = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 2;
    *badLine = bad;
    return bad ? nullptr : std::move(root);
}

std::string regWriteFile(const RegFileKey& root) {
    RegText out = ascii(kHeader);
    out += QX_W("\r\n;qx:begin\r\n\r\n");
    writeKey(out, root, root.name);
    out += QX_W(";qx:end\r\n");
    std::string bytes("\xFF\xFE", 2);
    bytes += utf16Bytes(out, false);
    return bytes;
}

}  // namespace sys
}  // namespace qx
