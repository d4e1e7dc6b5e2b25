// Platform layer: the registry, through its 8-bit ("A") functions.
//
// Windows calls RegOpenKeyExA and its siblings. POSIX keeps each hive in a
// text file in the registry editor's export format (qxSysRegFile.h), named
// after the hive ("HKEY_CURRENT_USER.reg"), in $QX_REGISTRY_DIR, else
// $XDG_CONFIG_HOME/qxbase/registry, else ~/.config/qxbase/registry. Every
// change there is a read-modify-write under flock on "<hive>.reg.lock" that
// writes "<hive>.reg.tmp", syncs it and renames it over the file, so a
// crash leaves the old file or the new one and two processes never lose each
// other's changes. Reads use a parsed copy, checked against a change counter
// that writers keep in the lock file, shared through a mapping: reading
// costs no system call while the file has not changed. The directory is
// taken when a hive's key is opened; keys opened from that key stay with it.
//
// Names and text data are 8-bit text of the C runtime's locale, converted
// to and from the registry's UTF-16 as the A functions convert them (text
// that does not convert becomes '?'); REG_SZ, REG_EXPAND_SZ and
// REG_MULTI_SZ data are converted, other types are bytes. Every call returns
// 0 or a Win32 number.
//
// Where the POSIX store differs from the system's registry:
// - The hives are separate files: HKEY_CLASSES_ROOT and HKEY_CURRENT_CONFIG
//   are not views of HKEY_LOCAL_MACHINE, nor HKEY_CURRENT_USER of
//   HKEY_USERS. HKEY_PERFORMANCE_DATA opens (with no subkey) and then fails
//   every call with ERROR_INVALID_HANDLE (6), as Wine's does.
// - A key is found again by its path: an open key that is deleted and made
//   again by that name is the new key to it, not ERROR_KEY_DELETED (1018).
// - Key names may not hold a line break (87): the file cannot.
// - Making a subkey asks nothing of the parent key's access, as under Wine
//   (Windows wants KEY_CREATE_SUB_KEY on it).
// - The lengths of the key information are the longer of the UTF-16 units
//   and the 8-bit bytes, so buffers sized from them always fit; no key has a
//   security descriptor (length 0).
// - Files changed by hand are seen when a key is opened or its information
//   queried, or after the next change by this library.
#ifndef QXBASE_OS_SYS_QXSYSREGISTRY_H
#define QXBASE_OS_SYS_QXSYSREGISTRY_H

#include "qxDefs.h"

#include <cstdint>

namespace qx {
namespace sys {

// An open key (an HKEY on Windows); 0 is none.
using RegKey = intptr_t;

enum : uint32_t {
    kRegKeyRead = 0x20019,       // KEY_READ
    kRegKeyAllAccess = 0xF003F,  // KEY_ALL_ACCESS
};

// The hives by number, as regHiveKey takes them.
constexpr int kRegHiveCount = 6;
constexpr const char* kRegHiveNames[kRegHiveCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG",
                                                      "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                                      "HKEY_USERS",        "HKEY_PERFORMANCE_DATA"};

// The predefined key of hive number hive (see kRegHiveNames).
QX_API RegKey regHiveKey(int hive);

// RegOpenKeyExA(parent, subkey, 0, access): subkey null or empty opens the
// parent itself again.
QX_API int regOpenKey(RegKey parent, const char* subkey, uint32_t access, RegKey* key);
// RegCreateKeyExA(parent, subkey, 0, className (null for none),
// REG_OPTION_NON_VOLATILE, access): makes every missing key on the way;
// an existing key keeps its class.
QX_API int regCreateKey(RegKey parent, const char* subkey, const char* className, uint32_t access,
                        RegKey* key);
// RegCloseKey; a predefined key stays usable.
QX_API int regCloseKey(RegKey key);

struct RegKeyInfo {
    uint32_t subkeyCount;
    uint32_t maxSubkeyLength;
    uint32_t maxClassLength;
    uint32_t valueCount;
    uint32_t maxValueNameLength;
    uint32_t maxValueLength;
    uint32_t securityDescriptorLength;
    uint64_t lastWriteTime;  // 100 ns ticks since 1601 (a FILETIME)
};
// RegQueryInfoKeyA: the class into className (*classLength bytes of room in,
// its length without the NUL out; 234 when it does not fit) and the rest
// into info.
QX_API int regQueryInfoKey(RegKey key, char* className, uint32_t* classLength, RegKeyInfo* info);

// RegQueryValueExA: a null or empty name is the default value. *size is
// the room in data on the way in and the data's size out (234 when it does
// not fit); a null data only asks the size.
QX_API int regQueryValue(RegKey key, const char* name, uint32_t* type, unsigned char* data,
                         uint32_t* size);
// RegEnumValueA of the index'th value: *nameLength is the room in name
// (NUL included) in and the name's length out; data and size as above.
// 259 past the last value.
QX_API int regEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength,
                        uint32_t* type, unsigned char* data, uint32_t* size);
// RegEnumKeyExA of the index'th subkey, the name as above; 259 past the last.
QX_API int regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameLength);
// RegSetValueExA.
QX_API int regSetValue(RegKey key, const char* name, uint32_t type, const unsigned char* data,
                       uint32_t size);
// RegDeleteKeyA: the subkey (an empty one: the key itself) must have no
// subkeys of its own (5).
QX_API int regDeleteKey(RegKey key, const char* subkey);
// RegDeleteValueA.
QX_API int regDeleteValue(RegKey key, const char* name);

}  // namespace sys
}  // namespace qx

#endif
