#include "os/app/qxRegistry.h"

#include "Components/Base/Utility/qxTextUtil.h"
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysRegistry.h"
#include "string/qxEncoding.h"

#include <cstring>
#include <memory>

using qxString::IString;
using qxUtil::Error;

// --- qxRegistryValue ----------------------------------------------------------

qxRegistryValue::qxRegistryValue(const IString& name, ValueType type)
    : m_name(name), m_type(type), m_dataSize(0), m_data(nullptr) {}

qxRegistryValue::qxRegistryValue(const IString& name, ValueType type, const IString& data)
    : qxRegistryValue(name, type) {
    setData(data);
}

qxRegistryValue::qxRegistryValue(const IString& name, ValueType type, unsigned int data)
    : qxRegistryValue(name, type) {
    setData(data);
}

qxRegistryValue::qxRegistryValue(const IString& name, ValueType type, const unsigned char* data,
                                 unsigned long size)
    : qxRegistryValue(name, type) {
    setData(data, size);
}

qxRegistryValue::qxRegistryValue(const qxRegistryValue& v) : qxRegistryValue(v.m_name, v.m_type) {
    assignData(v.m_data, v.m_dataSize);
}

qxRegistryValue& qxRegistryValue::operator=(const qxRegistryValue& v) {
    if (this != &v) {
        assignData(v.m_data, v.m_dataSize);
        m_name = v.m_name;
        m_type = v.m_type;
    }
    return *this;
}

qxRegistryValue::~qxRegistryValue() {
    delete[] m_data;
}

void qxRegistryValue::assignData(const unsigned char* bytes, uint32_t size) {
    unsigned char* copy = size ? new unsigned char[size] : nullptr;
    if (size) std::memcpy(copy, bytes, size);
    delete[] m_data;
    m_data = copy;
    m_dataSize = size;
}

void qxRegistryValue::setData(const IString& s) {
    if (m_type != ExpandText && m_type != Text)
        throw Error(1, "qxString::IString cannot be converted to data of type %d",
                    static_cast<int>(m_type));
    const char* utf8 = s.asUTF8();
    assignData(reinterpret_cast<const unsigned char*>(utf8),
               static_cast<uint32_t>(std::strlen(utf8) + 1));
}

void qxRegistryValue::setData(unsigned int v) {
    if (m_type < DWordLittleEndian || m_type > DWordBigEndian)
        throw Error(1, "Unsigned int cannot be converted to data of type %d",
                    static_cast<int>(m_type));
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(v >> (8 * i));
    assignData(bytes, 4);
}

void qxRegistryValue::setData(const unsigned char* bytes, unsigned long size) {
    // Only where unsigned long is 64 bits (not Windows) can this be too big.
    if (static_cast<unsigned long long>(size) >> 32)
        throw Error(1, "Data of %llu bytes is too large for a registry value",
                    static_cast<unsigned long long>(size));
    assignData(bytes, static_cast<uint32_t>(size));
}

void qxRegistryValue::getData(unsigned int& v) const {
    if (m_type < DWordLittleEndian || m_type > DWordBigEndian)
        throw Error(1, "Data of type %d cannot be converted to unsigned int",
                    static_cast<int>(m_type));
    v = 0;
    for (uint32_t i = 0; i < 4 && i < m_dataSize; ++i)
        v |= static_cast<unsigned>(m_data[i]) << (8 * i);
}

void qxRegistryValue::getData(IString& s) const {
    if (m_type != ExpandText && m_type != Text)
        throw Error(1, "Data of type %d cannot be converted to qxString::IString",
                    static_cast<int>(m_type));
    const char* text = reinterpret_cast<const char*>(m_data);
    uint32_t n = 0;
    while (n < m_dataSize && text[n]) ++n;
    s = IString(qxString::CString(text, static_cast<int>(n)), qxString::EncodingUTF8);
}

void qxRegistryValue::getData(unsigned char* buffer) const {
    if (m_dataSize) std::memcpy(buffer, m_data, m_dataSize);
}

bool operator==(const qxRegistryValue& a, const qxRegistryValue& b) {
    return a.getName() == b.getName() && a.getType() == b.getType() &&
           a.getDataSize() == b.getDataSize() &&
           (a.getDataSize() == 0 ||
            std::memcmp(a.getDataPtr(), b.getDataPtr(), a.getDataSize()) == 0);
}

// --- the implementation -------------------------------------------------------

namespace {

using qx::sys::RegKey;

using qx::sys::kRegHiveCount;
using qx::sys::kRegHiveNames;

// The registry type each ValueType is written as, in the enumeration's order.
const uint32_t kRegistryTypes[] = {3, 4, 4, 5, 2, 6, 7, 0, 8, 1};
constexpr uint32_t kRegNone = 0, kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4,
                   kRegDwordBigEndian = 5, kRegLink = 6, kRegMultiSz = 7, kRegResourceList = 8;

// The index of an exact hive name, or -1.
int hiveIndex(const IString& name) {
    for (int i = 0; i < kRegHiveCount; ++i)
        if (name == IString(kRegHiveNames[i], qxString::EncodingUTF8)) return i;
    return -1;
}

qx::vector<IString> splitPath(const IString& path) {
    return qxUtil::split(path, static_cast<qx::WChar>('\\'), true, false);
}

// What a read value's registry type reads as.
qxRegistryValue::ValueType typeOfRead(uint32_t type) {
    switch (type) {
        case kRegBinary:
            return qxRegistryValue::Bytes;
        case kRegDword:
            return qxRegistryValue::DWord;
        case kRegDwordBigEndian:
            return qxRegistryValue::DWordBigEndian;
        case kRegExpandSz:
            return qxRegistryValue::ExpandText;
        case kRegLink:
            return qxRegistryValue::Link;
        case kRegMultiSz:
            return qxRegistryValue::MultiText;
        case kRegResourceList:
            return qxRegistryValue::ResourceList;
        case kRegSz:
            return qxRegistryValue::Text;
        case kRegNone:
        default:
            return qxRegistryValue::NoType;
    }
}

// What a listed value's registry type reads as: the first ValueType written
// as it.
qxRegistryValue::ValueType typeOfListed(uint32_t type) {
    for (int i = 0; i < 10; ++i)
        if (kRegistryTypes[i] == type) return static_cast<qxRegistryValue::ValueType>(i);
    return qxRegistryValue::NoType;
}

// A key handle that closes itself unless released.
class KeyGuard {
public:
    explicit KeyGuard(RegKey key = 0) : m_key(key) {}
    ~KeyGuard() {
        if (m_key) qx::sys::regCloseKey(m_key);
    }
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;
    RegKey* out() { return &m_key; }
    RegKey get() const { return m_key; }
    RegKey release() {
        const RegKey k = m_key;
        m_key = 0;
        return k;
    }

private:
    RegKey m_key;
};

// The implementation over the registry's 8-bit functions of the platform
// layer (on Linux, its file store).
class qxRegistryWin32Impl final : public qxRegistryImpl {
public:
    explicit qxRegistryWin32Impl(uint32_t access) : m_access(access) {}
    qxRegistryWin32Impl(const qxRegistryWin32Impl&) = delete;
    qxRegistryWin32Impl& operator=(const qxRegistryWin32Impl&) = delete;
    ~qxRegistryWin32Impl() override {
        if (m_key) qx::sys::regCloseKey(m_key);
    }

    IString getKeyPath() const override { return m_keyPath; }

    void openKey(const IString& path) override {
        if (!m_key) throw Error(4, "No current key on which to base a relative key");
        KeyGuard key;
        if (const int rc = qx::sys::regOpenKey(m_key, path.asChar(), m_access, key.out()))
            throw Error(1, "Error opening key path %S relative to %S due to Windows error %d",
                        path.asWChar(), m_keyPath.asWChar(), rc);
        moveTo(key, m_hive, relative(path));
    }

    void openKey(const IString& path, bool absolute) override {
        if (!absolute) return openKey(path);
        const int hive = checkAbsolute(path);
        const qx::vector<IString> pieces = splitPath(path);
        const IString sub = joinPieces(pieces, 1, pieces.size());
        KeyGuard key;
        if (const int rc =
                qx::sys::regOpenKey(qx::sys::regHiveKey(hive), sub.asChar(), m_access, key.out()))
            throw Error(1, "Error opening absolute key path %S due to Windows error %d",
                        path.asWChar(), rc);
        moveTo(key, hive, path);
    }

    void openParentKey() override {
        if (!m_key) throw Error(4, "Cannot go up one level without a current open key");
        const qx::vector<IString> pieces = splitPath(m_keyPath);
        if (pieces.size() < 2) throw Error(3, "Already at the hive level, cannot go up a level");
        const RegKey hiveKey = qx::sys::regHiveKey(m_hive);
        const IString hiveName(kRegHiveNames[m_hive], qxString::EncodingUTF8);
        KeyGuard key;
        if (pieces.size() == 2) {
            if (const int rc = qx::sys::regOpenKey(hiveKey, nullptr, 0, key.out()))
                throw Error(1, "Error opening hive %s due to Windows error %d",
                            kRegHiveNames[m_hive], rc);
            return moveTo(key, m_hive, hiveName);
        }
        const IString parentPath = joinPieces(pieces, 1, pieces.size() - 1);
        if (const int rc = qx::sys::regOpenKey(hiveKey, parentPath.asChar(), m_access, key.out()))
            throw Error(1, "Error opening parent key of %S due to Windows error %d",
                        m_keyPath.asWChar(), rc);
        moveTo(key, m_hive, hiveName + IString(QX_W("\\")) + parentPath);
    }

    void createKey(const IString& path, const IString& className) override {
        if (!m_key) throw Error(4, "No current key on which to base a relative key");
        KeyGuard key;
        if (const int rc = create(m_key, path, className, key))
            throw Error(1, "Error creating key %S relative to %S due to Windows error %d",
                        path.asWChar(), m_keyPath.asWChar(), rc);
        moveTo(key, m_hive, relative(path));
    }

    void createKey(const IString& path, bool absolute, const IString& className) override {
        if (!absolute) return createKey(path, className);
        const int hive = checkAbsolute(path);
        // The text after the hive name and its separator.
        const IString first = splitPath(path)[0];
        const unsigned at = path.find(first) + first.length() + 1;
        const IString sub = at < path.length() ? path.substr(at) : IString();
        KeyGuard key;
        if (const int rc = create(qx::sys::regHiveKey(hive), sub, className, key))
            throw Error(1, "Error creating absolute key %S due to Windows error %d", path.asWChar(),
                        rc);
        moveTo(key, hive, path);
    }

    // The buffers are sized from the last refresh; when another object or
    // process has since made a longer name or value (234), they are sized
    // again from fresh information and the same item asked once more.
    void getSubkeys(qx::vector<IString>& names) const override {
        if (!m_key) throw Error(4, "Cannot get list of subkeys without a current open key");
        qx::sys::RegKeyInfo info = m_info;
        std::unique_ptr<char[]> name(new char[info.maxSubkeyLength + 1]);
        for (uint32_t i = 0;; ++i) {
            uint32_t length = info.maxSubkeyLength + 1;
            int rc = qx::sys::regEnumKey(m_key, i, name.get(), &length);
            if (rc == qx::sys::kErrorMoreData && grown(&info)) {
                name.reset(new char[info.maxSubkeyLength + 1]);
                length = info.maxSubkeyLength + 1;
                rc = qx::sys::regEnumKey(m_key, i, name.get(), &length);
            }
            if (rc == qx::sys::kErrorNoMoreItems) return;
            if (rc)
                throw Error(1, "Error enumerating the %d'th subkey of %S due to Windows error %d",
                            static_cast<int>(i), m_keyPath.asWChar(), rc);
            names.push_back(IString(name.get()));
        }
    }

    void getValues(qx::vector<qxRegistryValue>& values) const override {
        if (!m_key) throw Error(4, "Cannot get list of values without a current open key");
        qx::sys::RegKeyInfo info = m_info;
        std::unique_ptr<char[]> name;
        std::unique_ptr<unsigned char[]> data;
        const auto size = [&] {
            name.reset(new char[info.maxValueNameLength + 1]);
            data.reset(new unsigned char[info.maxValueLength + 1]);
        };
        size();
        for (uint32_t i = 0;; ++i) {
            uint32_t nameLength, type = 0, length;
            int rc;
            for (bool again = true;; again = false) {
                nameLength = info.maxValueNameLength + 1;
                length = info.maxValueLength;
                rc = qx::sys::regEnumValue(m_key, i, name.get(), &nameLength, &type, data.get(),
                                           &length);
                if (rc != qx::sys::kErrorMoreData || !again || !grown(&info)) break;
                size();
            }
            if (rc == qx::sys::kErrorNoMoreItems) return;
            if (rc)
                throw Error(2, "Error enumerating the %d'th value of %S due to Windows error %d",
                            static_cast<int>(i + 1), m_keyPath.asWChar(), rc);
            values.push_back(
                qxRegistryValue(IString(name.get()), typeOfListed(type), data.get(), length));
        }
    }

    void getValue(qxRegistryValue& value) const override {
        if (!m_key) throw Error(4, "Cannot get value without a current open key");
        uint32_t room = m_info.maxValueLength + 1;
        std::unique_ptr<unsigned char[]> data(new unsigned char[room + 1]);
        uint32_t type = 0, size = room;
        const char* name = value.getName().asChar();
        int rc = qx::sys::regQueryValue(m_key, name, &type, data.get(), &size);
        if (rc == qx::sys::kErrorMoreData) {
            // Longer than any value was at the last refresh: size says how long.
            room = size;
            data.reset(new unsigned char[room + 1]);
            rc = qx::sys::regQueryValue(m_key, name, &type, data.get(), &size);
        }
        if (rc)
            throw Error(2, "Cannot get value %S under key %S due to Windows error %d",
                        value.getName().asWChar(), m_keyPath.asWChar(), rc);
        value.setType(typeOfRead(type));
        if (value.getType() != qxRegistryValue::Text) return value.setData(data.get(), size);
        // Up to the NUL, or all of it: there is a byte to spare for one.
        data[size] = 0;
        value.setData(IString(reinterpret_cast<const char*>(data.get())));
    }

    void setValue(const qxRegistryValue& value) override {
        if (!m_key) throw Error(4, "Cannot set value without a current open key");
        const int t = static_cast<int>(value.getType());
        // A type outside the table has no registry type to be written as.
        const int rc = t < 0 || t > 9 ? qx::sys::kErrorInvalidParameter
                                      : qx::sys::regSetValue(m_key, value.getName().asChar(),
                                                             kRegistryTypes[t], value.getDataPtr(),
                                                             value.getDataSize());
        if (rc)
            throw Error(2, "Cannot set value %S under key %S due to Windows error %d",
                        value.getName().asWChar(), m_keyPath.asWChar(), rc);
        refresh();
    }

    void deleteKey(const IString& name) override {
        if (!m_key) throw Error(4, "Cannot delete subkey without a current open key");
        if (const int rc = qx::sys::regDeleteKey(m_key, name.asChar()))
            throw Error(1, "Error deleting subkey %S of parent key %S due to Windows error %d",
                        name.asWChar(), m_keyPath.asWChar(), rc);
        refresh();
    }

    void deleteValue(const IString& name) override {
        if (!m_key) throw Error(4, "Cannot delete value without a current open key");
        if (const int rc = qx::sys::regDeleteValue(m_key, name.asChar()))
            throw Error(2, "Cannot delete value %S under key %S due to Windows error %d",
                        name.asWChar(), m_keyPath.asWChar(), rc);
        refresh();
    }

    unsigned getSubkeyCount() const override {
        requireKey();
        return m_info.subkeyCount;
    }
    unsigned getValueCount() const override {
        requireKey();
        return m_info.valueCount;
    }
    IString getClassName() const override {
        requireKey();
        return m_className;
    }

    qxRegistryImpl* clone() const override {
        auto copy = std::make_unique<qxRegistryWin32Impl>(m_access);
        if (m_key) {
            KeyGuard key;
            if (const int rc = qx::sys::regOpenKey(m_key, nullptr, m_access, key.out()))
                throw Error(1, "Error opening absolute key path %S due to Windows error %d",
                            m_keyPath.asWChar(), rc);
            copy->m_key = key.release();
        }
        copy->m_hive = m_hive;
        copy->m_keyPath = m_keyPath;
        copy->m_className = m_className;
        copy->m_info = m_info;
        return copy.release();
    }

private:
    // Key information of one key, as the last refresh found it.
    struct Info {
        IString className;
        qx::sys::RegKeyInfo info;
    };

    // Fresh key information in *info, when it allows longer names or data
    // than *info did.
    bool grown(qx::sys::RegKeyInfo* info) const {
        char cls[256];
        uint32_t length = sizeof cls;
        qx::sys::RegKeyInfo now = {};
        if (qx::sys::regQueryInfoKey(m_key, cls, &length, &now) ||
            (now.maxSubkeyLength <= info->maxSubkeyLength &&
             now.maxValueNameLength <= info->maxValueNameLength &&
             now.maxValueLength <= info->maxValueLength))
            return false;
        *info = now;
        return true;
    }

    void requireKey() const {
        if (!m_key) throw Error(4, "Cannot return property of key without an open key");
    }

    // The hive of an absolute path, or the path's error.
    static int checkAbsolute(const IString& path) {
        const qx::vector<IString> pieces = splitPath(path);
        if (pieces.empty()) throw Error(1, "Key path is empty");
        const int hive = hiveIndex(pieces[0]);
        if (hive < 0) throw Error(1, "Hive name in key path is invalid");
        return hive;
    }

    // Pieces [from, to) joined with '\\'.
    static IString joinPieces(const qx::vector<IString>& pieces, int from, int to) {
        IString out;
        for (int i = from; i < to; ++i) {
            if (i > from) out += static_cast<qx::WChar>('\\');
            out += pieces[i];
        }
        return out;
    }

    IString relative(const IString& path) const { return m_keyPath + IString(QX_W("\\")) + path; }

    int create(RegKey parent, const IString& path, const IString& className, KeyGuard& key) {
        return qx::sys::regCreateKey(parent, path.asChar(),
                                     className.isEmpty() ? nullptr : className.asChar(),
                                     qx::sys::kRegKeyAllAccess, key.out());
    }

    // RegQueryInfoKeyA on key with a 256-byte class buffer.
    static Info query(RegKey key) {
        Info out;
        char cls[256];
        uint32_t length = sizeof cls;
        if (const int rc = qx::sys::regQueryInfoKey(key, cls, &length, &out.info))
            throw Error(1, "Error fetching key information due to Windows error %d", rc);
        out.className = IString(cls);
        return out;
    }

    void refresh() {
        Info info = query(m_key);
        m_className = info.className;
        m_info = info.info;
    }

    // Takes key as the current key once its information is in; until then
    // (and when that fails) the old key stays.
    void moveTo(KeyGuard& key, int hive, const IString& path) {
        Info info = query(key.get());
        if (m_key) qx::sys::regCloseKey(m_key);
        m_key = key.release();
        m_hive = hive;
        m_keyPath = path;
        m_className = info.className;
        m_info = info.info;
    }

    int m_hive = -1;
    RegKey m_key = 0;
    IString m_keyPath;
    IString m_className;
    qx::sys::RegKeyInfo m_info = {};
    uint32_t m_access;
};

}  // namespace

// --- qxRegistry ---------------------------------------------------------------

qxRegistry::qxRegistry(const IString& keyPath) : qxRegistry(keyPath, false) {}

qxRegistry::qxRegistry(const IString& keyPath, bool readOnly)
    : m_impl(nullptr), m_readOnly(readOnly) {
    auto impl = std::make_unique<qxRegistryWin32Impl>(readOnly ? qx::sys::kRegKeyRead
                                                               : qx::sys::kRegKeyAllAccess);
    impl->openKey(keyPath, true);
    m_impl = impl.release();
}

qxRegistry::qxRegistry(const qxRegistry& r) : m_impl(r.m_impl->clone()), m_readOnly(r.m_readOnly) {}

qxRegistry& qxRegistry::operator=(const qxRegistry& r) {
    if (this != &r) {
        qxRegistryImpl* copy = r.m_impl->clone();
        delete m_impl;
        m_impl = copy;
        m_readOnly = r.m_readOnly;
    }
    return *this;
}

qxRegistry::~qxRegistry() {
    delete m_impl;
}

void qxRegistry::openKey(const IString& path, bool absolute) {
    m_impl->openKey(path, absolute);
}

void qxRegistry::openParentKey() {
    m_impl->openParentKey();
}

void qxRegistry::createKey(const IString& path, bool absolute, const IString& className) {
    m_impl->createKey(path, absolute, className);
}

void qxRegistry::deleteKey(const IString& name) const {
    if (!m_readOnly) m_impl->deleteKey(name);
}

void qxRegistry::deleteValue(const IString& name) const {
    if (!m_readOnly) m_impl->deleteValue(name);
}

void qxRegistry::getValue(const IString& name, qxRegistryValue& value) const {
    value.setName(name);
    m_impl->getValue(value);
}

void qxRegistry::setValue(IString name, qxRegistryValue& value) const {
    if (m_readOnly) return;
    value.setName(name);
    m_impl->setValue(value);
}

void qxRegistry::getSubkeys(qx::vector<IString>& names) const {
    names.clear();
    m_impl->getSubkeys(names);
}

void qxRegistry::getValues(qx::vector<qxRegistryValue>& values) const {
    values.clear();
    m_impl->getValues(values);
}

unsigned qxRegistry::getSubkeyCount() const {
    return m_impl->getSubkeyCount();
}

unsigned qxRegistry::getValueCount() const {
    return m_impl->getValueCount();
}

IString qxRegistry::getClassName() const {
    return m_impl->getClassName();
}

IString qxRegistry::getKeyPath() const {
    return m_impl->getKeyPath();
}
