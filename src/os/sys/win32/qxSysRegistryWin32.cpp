// Win32 backend of the registry: the system's 8-bit registry functions.
#include "os/sys/qxSysRegistry.h"

#include <windows.h>

namespace qx {
namespace sys {

namespace {

HKEY hkey(RegKey key) {
    return reinterpret_cast<HKEY>(key);
}

}  // namespace

RegKey regHiveKey(int hive) {
    static const HKEY kHives[] = {HKEY_CLASSES_ROOT,  HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
                                  HKEY_LOCAL_MACHINE, HKEY_USERS,          HKEY_PERFORMANCE_DATA};
    return hive >= 0 && hive < 6 ? reinterpret_cast<RegKey>(kHives[hive]) : 0;
}

int regOpenKey(RegKey parent, const char* subkey, uint32_t access, RegKey* key) {
    HKEY out = nullptr;
    const LONG rc = RegOpenKeyExA(hkey(parent), subkey, 0, access, &out);
    *key = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(out) : 0;
    return static_cast<int>(rc);
}

int regCreateKey(RegKey parent, const char* subkey, const char* className, uint32_t access,
                 RegKey* key) {
    HKEY out = nullptr;
    const LONG rc = RegCreateKeyExA(hkey(parent), subkey, 0, const_cast<char*>(className),
                                    REG_OPTION_NON_VOLATILE, access, nullptr, &out, nullptr);
    *key = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(out) : 0;
    return static_cast<int>(rc);
}

int regCloseKey(RegKey key) {
    return static_cast<int>(RegCloseKey(hkey(key)));
}

int regQueryInfoKey(RegKey key, char* className, uint32_t* classLength, RegKeyInfo* info) {
    DWORD cls = *classLength, subkeys = 0, maxSubkey = 0, maxClass = 0, values = 0,
          maxValueName = 0, maxValue = 0, security = 0;
    FILETIME written = {};
    const LONG rc =
        RegQueryInfoKeyA(hkey(key), className, &cls, nullptr, &subkeys, &maxSubkey, &maxClass,
                         &values, &maxValueName, &maxValue, &security, &written);
    *classLength = cls;
    info->subkeyCount = subkeys;
    info->maxSubkeyLength = maxSubkey;
    info->maxClassLength = maxClass;
    info->valueCount = values;
    info->maxValueNameLength = maxValueName;
    info->maxValueLength = maxValue;
    info->securityDescriptorLength = security;
    info->lastWriteTime =
        (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return static_cast<int>(rc);
}

int regQueryValue(RegKey key, const char* name, uint32_t* type, unsigned char* data,
                  uint32_t* size) {
    DWORD t = 0, n = *size;
    const LONG rc = RegQueryValueExA(hkey(key), name, nullptr, &t, data, &n);
    *type = t;
    *size = n;
    return static_cast<int>(rc);
}

int regEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength, uint32_t* type,
                 unsigned char* data, uint32_t* size) {
    DWORD nl = *nameLength, t = 0, n = *size;
    const LONG rc = RegEnumValueA(hkey(key), index, name, &nl, nullptr, &t, data, &n);
    *nameLength = nl;
    *type = t;
    *size = n;
    return static_cast<int>(rc);
}

int regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameLength) {
    DWORD nl = *nameLength;
    const LONG rc = RegEnumKeyExA(hkey(key), index, name, &nl, nullptr, nullptr, nullptr, nullptr);
    *nameLength = nl;
    return static_cast<int>(rc);
}

int regSetValue(RegKey key, const char* name, uint32_t type, const unsigned char* data,
                uint32_t size) {
    return static_cast<int>(RegSetValueExA(hkey(key), name, 0, type, data, size));
}

int regDeleteKey(RegKey key, const char* subkey) {
    return static_cast<int>(RegDeleteKeyA(hkey(key), subkey));
}

int regDeleteValue(RegKey key, const char* name) {
    return static_cast<int>(RegDeleteValueA(hkey(key), name));
}

}  // namespace sys
}  // namespace qx
