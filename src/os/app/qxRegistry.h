// Registry access: qxRegistryValue, one named and typed value as raw bytes,
// and qxRegistry, a cursor on one key of the registry that opens keys by
// absolute paths beginning with a hive name ("HKEY_CURRENT_USER\Software"),
// moves to subkeys, the parent and new keys, lists subkeys and values, and
// reads, writes and deletes values.
//
// Every failure throws a qxUtil::Error: 1 for a bad path and a failed open,
// create, subkey deletion or key query, 2 for a failed value read, write,
// deletion or listing, 3 for going above the hive, 4 for an operation that
// needs a current key when there is none. A failed operation leaves the
// object on its previous key.
//
// Windows reaches the registry through its 8-bit functions (names and text
// in the current code page); Linux keeps each hive in a file in the
// registry editor's format (see the platform layer), in $QX_REGISTRY_DIR or
// else ~/.config/qxbase/registry, and converts names and text through the C
// runtime's locale. String data of a qxRegistryValue is UTF-8.
#ifndef QXBASE_OS_APP_QXREGISTRY_H
#define QXBASE_OS_APP_QXREGISTRY_H

#include "containers/qxVector.h"
#include "diagnostics/qxError.h"
#include "qxDefs.h"
#include "string/qxString.h"

#include <cstdint>

class QX_API qxRegistryValue {
public:
    // What the library calls each registry type; the type written is in
    // the comment (REG_DWORD_LITTLE_ENDIAN and REG_DWORD are one type).
    enum ValueType : int32_t {
        Bytes = 0,              // REG_BINARY
        DWordLittleEndian = 1,  // REG_DWORD
        DWord = 2,              // REG_DWORD
        DWordBigEndian = 3,     // REG_DWORD_BIG_ENDIAN
        ExpandText = 4,         // REG_EXPAND_SZ
        Link = 5,               // REG_LINK
        MultiText = 6,          // REG_MULTI_SZ
        NoType = 7,             // REG_NONE
        ResourceList = 8,       // REG_RESOURCE_LIST
        Text = 9,               // REG_SZ
    };

    // No data.
    qxRegistryValue(const qxString::IString& name = qxString::IString(), ValueType type = NoType);
    // As the matching setData; they throw as it does.
    qxRegistryValue(const qxString::IString& name, ValueType type, const qxString::IString& data);
    qxRegistryValue(const qxString::IString& name, ValueType type, unsigned int data);
    qxRegistryValue(const qxString::IString& name, ValueType type, const unsigned char* data,
                    unsigned long size);
    qxRegistryValue(const qxRegistryValue& v);
    qxRegistryValue& operator=(const qxRegistryValue& v);
    ~qxRegistryValue();

    // Text and ExpandText only (else error 1 "qxString::IString cannot be
    // converted to data of type N"): the UTF-8 bytes of s and a NUL.
    void setData(const qxString::IString& s);
    // The three DWord types only (else error 1 "Unsigned int cannot be
    // converted to data of type N"): the 4 bytes of v, least significant
    // first, for DWordBigEndian too.
    void setData(unsigned int v);
    // A copy of size bytes (none for 0). A size beyond 32 bits throws
    // error 1.
    void setData(const unsigned char* bytes, unsigned long size);
    // The three DWord types only (else error 1 "Data of type N cannot be
    // converted to unsigned int"): the first 4 bytes (missing ones are 0).
    void getData(unsigned int& v) const;
    // Text and ExpandText only (else error 1 "Data of type N cannot be
    // converted to qxString::IString"): the data as UTF-8 up to its NUL.
    void getData(qxString::IString& s) const;
    // Copies getDataSize() bytes to buffer.
    void getData(unsigned char* buffer) const;

    // Null when there is no data.
    const unsigned char* getDataPtr() const { return m_data; }
    unsigned int getDataSize() const { return m_dataSize; }
    const qxString::IString& getName() const { return m_name; }
    ValueType getType() const { return m_type; }
    void setName(const qxString::IString& name) { m_name = name; }
    void setType(ValueType type) { m_type = type; }

private:
    void assignData(const unsigned char* bytes, uint32_t size);

    qxString::IString m_name;
    ValueType m_type;
    uint32_t m_dataSize;
    unsigned char* m_data;
};

// Names equal exactly, types, sizes and bytes equal.
QX_API bool operator==(const qxRegistryValue& a, const qxRegistryValue& b);
inline bool operator!=(const qxRegistryValue& a, const qxRegistryValue& b) {
    return !(a == b);
}

// What a registry object asks of its implementation; every operation throws
// as qxRegistry's does.
class QX_API qxRegistryImpl : public qx::ImplBase {
public:
    virtual qxString::IString getKeyPath() const = 0;
    // Relative to the current key.
    virtual void openKey(const qxString::IString& path) = 0;
    // Absolute (a hive name first), or relative when absolute is false.
    virtual void openKey(const qxString::IString& path, bool absolute) = 0;
    virtual void openParentKey() = 0;
    virtual void createKey(const qxString::IString& path, const qxString::IString& className) = 0;
    virtual void createKey(const qxString::IString& path, bool absolute,
                           const qxString::IString& className) = 0;
    virtual void getSubkeys(qx::vector<qxString::IString>& names) const = 0;
    virtual void getValues(qx::vector<qxRegistryValue>& values) const = 0;
    // Reads the value named by value's name into it.
    virtual void getValue(qxRegistryValue& value) const = 0;
    virtual void setValue(const qxRegistryValue& value) = 0;
    virtual void deleteKey(const qxString::IString& name) = 0;
    virtual void deleteValue(const qxString::IString& name) = 0;
    virtual unsigned getSubkeyCount() const = 0;
    virtual unsigned getValueCount() const = 0;
    virtual qxString::IString getClassName() const = 0;
    // A new implementation on the same key, with a key handle of its own.
    virtual qxRegistryImpl* clone() const = 0;
};

class QX_API qxRegistry {
public:
    // Opens keyPath absolutely, with full access.
    qxRegistry(const qxString::IString& keyPath = QX_W("HKEY_LOCAL_MACHINE"));
    // With readOnly, keys are opened for reading only, and setValue,
    // deleteKey and deleteValue do nothing; createKey still creates.
    qxRegistry(const qxString::IString& keyPath, bool readOnly);
    // A copy is on the same key with a key handle of its own; either may
    // move on or go without touching the other.
    qxRegistry(const qxRegistry& r);
    qxRegistry& operator=(const qxRegistry& r);
    // Closes the key.
    ~qxRegistry();

    // Moves to path, absolute (a hive name first, matched exactly:
    // HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
    // HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_PERFORMANCE_DATA) or relative to
    // the current key.
    void openKey(const qxString::IString& path, bool absolute);
    // Moves to the parent key; error 3 at a hive.
    void openParentKey();
    // Creates the key (or opens it, when it exists, keeping its class) with
    // full access and moves to it.
    void createKey(const qxString::IString& path, bool absolute,
                   const qxString::IString& className = qxString::IString());
    // The direct subkey name of the current key, which must have no
    // subkeys of its own.
    void deleteKey(const qxString::IString& name) const;
    void deleteValue(const qxString::IString& name) const;
    // Reads value name into value (its name set to name first). Text comes
    // back converted to UTF-8.
    void getValue(const qxString::IString& name, qxRegistryValue& value) const;
    // Writes value under name (value's name set to name first).
    void setValue(qxString::IString name, qxRegistryValue& value) const;
    // Every direct subkey's name, in the registry's order.
    void getSubkeys(qx::vector<qxString::IString>& names) const;
    // Every value of the key as the registry holds it, in its order: text
    // comes in the 8-bit encoding, not converted, and REG_DWORD as
    // DWordLittleEndian.
    void getValues(qx::vector<qxRegistryValue>& values) const;
    // As of the last change or move of this object.
    unsigned getSubkeyCount() const;
    unsigned getValueCount() const;
    qxString::IString getClassName() const;
    qxString::IString getKeyPath() const;

private:
    qxRegistryImpl* m_impl;
    bool m_readOnly;
};

#endif
