// The registry editor's export format ("Windows Registry Editor Version
// 5.00"), read and written the same way on every target: the POSIX backend
// keeps each hive in such a file, and the tests and the fuzz target read
// them anywhere.
//
// Files are written as the registry editor writes them: UTF-16LE with a
// byte-order mark and CR LF line ends, a [key] section per key, parents
// before children, subkeys in name order, values in their own order,
// "name"= or @= lines with "text", dword: and hex: or hex(N): data, hex
// data wrapped before column 80 with ",\" and two spaces. Each section also
// carries the key's last-write time and class in comment lines of the form
// ";qx:time=<16 hex digits>" and ";qx:class="<text>"", which the editor
// skips; ";qx:begin" follows the header and ";qx:end" ends the file. A file
// that holds any ";qx:" line must end with that line, and every file needs
// a section, so a cut-off copy of a file written here never reads as
// complete.
//
// Read: UTF-16LE with a byte-order mark or UTF-8 (strictly, with or without
// one). Text strings take the escapes \\ \" \n \r and \0; blank lines and
// other comments are skipped. Whatever else does not fit the grammar,
// values outside a section, sections of another hive, deletions ([-key],
// "name"=-), names over the limits below and sections not closed fail the
// whole file: nothing of it is kept.
#ifndef QXBASE_OS_SYS_QXSYSREGFILE_H
#define QXBASE_OS_SYS_QXSYSREGFILE_H

#include "qxDefs.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace qx {
namespace sys {

using RegText = std::basic_string<WChar>;

// Limits of the registry, in UTF-16 units: a key's own name and a value's
// name.
enum : size_t { kRegMaxKeyName = 255, kRegMaxValueName = 16383 };

// The registry's types that the file spells specially.
enum : uint32_t { kRegNone = 0, kRegSz = 1, kRegBinary = 3, kRegDword = 4 };

// The number of 100 ns ticks since 1601-01-01 UTC (a Windows file time).
using RegTime = uint64_t;

struct RegFileValue {
    RegText name;      // empty for the default value (@)
    uint32_t type;     // the registry type number
    std::string data;  // the bytes as the registry holds them (text in UTF-16LE)
};

// One key and everything below it. Names compare without regard to case
// (see regFoldUnit); subkeys stay sorted that way, values keep their order.
class QX_API RegFileKey {
public:
    explicit RegFileKey(RegText keyName = RegText()) : name(std::move(keyName)) {}
    RegFileKey(const RegFileKey&) = delete;
    RegFileKey& operator=(const RegFileKey&) = delete;

    RegText name;
    RegText className;
    RegTime lastWrite = 0;

    const std::vector<RegFileValue>& values() const { return m_values; }
    const std::vector<std::unique_ptr<RegFileKey>>& subkeys() const { return m_subkeys; }

    // The value or subkey of that name, or null.
    const RegFileValue* findValue(const RegText& valueName) const;
    RegFileKey* findSubkey(const RegText& keyName) const;
    // Sets a value, in place when it exists (its name keeps its spelling),
    // else at the end.
    void setValue(const RegText& valueName, uint32_t type, std::string data);
    // False when there is no such value.
    bool deleteValue(const RegText& valueName);
    // The subkey, made (with no class and time 0) when missing.
    RegFileKey* makeSubkey(const RegText& keyName);
    // False when there is no such subkey.
    bool deleteSubkey(const RegText& keyName);

private:
    // Hash and equality of names as folded, for the value index.
    struct FoldHash {
        size_t operator()(const RegText& s) const;
    };
    struct FoldEqual {
        bool operator()(const RegText& a, const RegText& b) const;
    };
    // Where a subkey of that name is or would go.
    size_t subkeyPosition(const RegText& keyName) const;

    std::vector<RegFileValue> m_values;
    std::vector<std::unique_ptr<RegFileKey>> m_subkeys;
    // Value names to positions, made on the first search of a key with many
    // values, kept up to date by setValue and dropped when a value goes.
    mutable std::unordered_map<RegText, size_t, FoldHash, FoldEqual> m_valueIndex;
};

// A name's units as names are compared: ASCII, Latin-1, Greek and Cyrillic
// letters in upper case, everything else as it is. (The registry folds by
// the whole Unicode table; other scripts compare exactly here.)
QX_API WChar regFoldUnit(WChar c);
// Whether two names are equal, or a is less, as folded.
QX_API bool regNamesEqual(const WChar* a, size_t na, const WChar* b, size_t nb);
QX_API bool regNameLess(const WChar* a, size_t na, const WChar* b, size_t nb);

// Parses a whole file for the hive named hive (the first component of every
// section, matched exactly). Sections without a ";qx:time=" line get
// defaultTime. Null when the file does not fit, with *badLine the 1-based
// number of the first line that does not (the line after the last for a
// file that ends too soon).
QX_API std::unique_ptr<RegFileKey> regParseFile(const char* bytes, size_t size, const RegText& hive,
                                                RegTime defaultTime, size_t* badLine);

// The file for root and everything below it, as described above.
QX_API std::string regWriteFile(const RegFileKey& root);

}  // namespace sys
}  // namespace qx

#endif
