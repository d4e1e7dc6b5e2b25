// POSIX backend of the registry: one file per hive in the registry editor's
// export format, changed by locked read-modify-write and atomic rename, read
// through a parsed copy (see qxSysRegistry.h).
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysRegFile.h"
#include "os/sys/qxSysRegistry.h"
#include "os/sys/qxSysText.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qx {
namespace sys {

namespace {

constexpr int kPerformanceData = 5;
// The predefined keys carry Windows' numbers, sign-extended as an HKEY is;
// no pointer of this process looks like one.
const uint32_t kHiveNumbers[kRegHiveCount] = {0x80000000u, 0x80000005u, 0x80000001u,
                                              0x80000002u, 0x80000003u, 0x80000004u};
constexpr uint32_t kKeySetValue = 0x0002;  // KEY_SET_VALUE
// Returned by a change that found nothing to change: success, no write.
constexpr int kUnchanged = -1;

int predefinedHive(RegKey key) {
    for (int i = 0; i < kRegHiveCount; ++i)
        if (key == static_cast<RegKey>(static_cast<int32_t>(kHiveNumbers[i]))) return i;
    return -1;
}

RegTime now() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<RegTime>(ts.tv_sec) * 10000000u + static_cast<RegTime>(ts.tv_nsec) / 100 +
           116444736000000000ull;  // 1601 to 1970
}

bool isString(uint32_t type) {
    return type == 1 || type == 2 || type == 7;  // REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ
}

bool isAscii(const RegText& t) {
    for (WChar c : t)
        if (c >= 0x80) return false;
    return true;
}

// 8-bit text of the locale as UTF-16, every byte of it (NULs too); what
// the locale rejects becomes '?' byte by byte.
RegText widen(const char* s, size_t n) {
    RegText out;
    out.reserve(n);
    for (size_t i = 0; i < n;) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        WChar w[2];
        int units = 1;
        const int r = mbCharToWide(w, s + i, n - i, &units);
        if (r <= 0) {
            out.push_back('?');
            ++i;
            continue;
        }
        out.append(w, static_cast<size_t>(units));
        i += static_cast<size_t>(r);
    }
    return out;
}

// UTF-16 as 8-bit text of the locale; what it cannot hold becomes '?'.
std::string narrow(const WChar* s, size_t n) {
    std::string out;
    out.reserve(n);
    char buf[2 * MB_LEN_MAX + 1];
    for (size_t i = 0; i < n;) {
        const WChar c = s[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        WChar one[3] = {c, 0, 0};
        size_t take = 1;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            one[1] = s[i + 1];
            take = 2;
        }
        const size_t r = wideToMbs(buf, one, sizeof buf - 1);
        if (r == kConvertError || r == 0)
            out.push_back('?');
        else
            out.append(buf, r);
        i += take;
    }
    return out;
}

std::string narrow(const RegText& t) {
    return narrow(t.data(), t.size());
}

// UTF-16LE bytes as units (an odd last byte is dropped) and back.
RegText unitsOf(const std::string& bytes) {
    RegText t(bytes.size() / 2, 0);
    for (size_t i = 0; i < t.size(); ++i)
        t[i] = static_cast<WChar>(static_cast<unsigned char>(bytes[2 * i]) |
                                  static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return t;
}
std::string bytesOf(const RegText& t) {
    std::string b(2 * t.size(), '\0');
    for (size_t i = 0; i < t.size(); ++i) {
        b[2 * i] = static_cast<char>(t[i] & 0xFF);
        b[2 * i + 1] = static_cast<char>(t[i] >> 8);
    }
    return b;
}

// The length the 8-bit functions report for a name: its units, or its
// bytes in the locale where those are more.
uint32_t nameLength(const RegText& t) {
    if (isAscii(t)) return static_cast<uint32_t>(t.size());
    const size_t bytes = narrow(t).size();
    return static_cast<uint32_t>(bytes > t.size() ? bytes : t.size());
}

// The size a value's data has for the 8-bit functions.
size_t dataSize8(const RegFileValue& v) {
    return isString(v.type) ? narrow(unitsOf(v.data)).size() : v.data.size();
}

std::string registryDirectory() {
    std::string dir;
    const char* home;
    if (const char* d = std::getenv("QX_REGISTRY_DIR"); d && *d) {
        dir = d;
    } else if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') {
        dir = std::string(x) + "/qxbase/registry";
    } else if ((home = std::getenv("HOME")) && *home) {
        dir = std::string(home) + "/.config/qxbase/registry";
    } else if (const passwd* pw = getpwuid(getuid())) {
        dir = std::string(pw->pw_dir) + "/.config/qxbase/registry";
    } else {
        dir = ".";
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

// Makes dir and every missing directory above it (private to the user).
int makeDirectories(const std::string& dir) {
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : kErrorPathNotFound;
    const size_t slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0)
        if (const int rc = makeDirectories(dir.substr(0, slash))) return rc;
    if (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) return 0;
    return win32FromErrno(errno);
}

// What tells one version of a hive file from the next.
struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{}, ctime{};
    mode_t mode = 0600;

    static FileId of(const struct stat& st) {
        FileId id;
        id.exists = true;
        id.dev = st.st_dev;
        id.ino = st.st_ino;
        id.size = st.st_size;
        id.mtime = st.st_mtim;
        id.ctime = st.st_ctim;
        id.mode = st.st_mode & 07777;
        return id;
    }
    bool operator==(const FileId& o) const {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec &&
               ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

// One hive in one directory: its parsed copy, the lock file and the change
// counter mapped from it. The counter is odd while a writer is between its
// first byte and its rename; one that died there leaves it odd, and then
// every read checks the file itself until the next write.
class Store {
public:
    Store(const std::string& dir, int hive)
        : m_dir(dir),
          m_file(dir + "/" + kRegHiveNames[hive] + ".reg"),
          m_lock(m_file + ".lock"),
          m_temp(m_file + ".tmp"),
          m_hiveName(widen(kRegHiveNames[hive], std::strlen(kRegHiveNames[hive]))) {}
    ~Store() {
        if (m_counter) ::munmap(m_counter, sizeof *m_counter);
        if (m_lockFd >= 0) ::close(m_lockFd);
    }
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    std::mutex mutex;
    // Bumped whenever the parsed copy changes or is replaced: open keys keep
    // the node they found until then.
    uint64_t generation = 0;

    RegFileKey& root() { return *m_root; }

    // Brings the parsed copy up to date: through the counter alone when
    // the file has not changed, through the file itself when check is set.
    // 0, ERROR_BADDB (1009) for a file that does not parse, or the number
    // of a failed read.
    int fresh(bool check) {
        if (m_loaded && !check && m_counter) {
            const uint64_t c = __atomic_load_n(m_counter, __ATOMIC_ACQUIRE);
            if (c % 2 == 0 && c == m_seen) return m_loadError;
        }
        if (!m_counter) openLock(false);
        const uint64_t c = m_counter ? __atomic_load_n(m_counter, __ATOMIC_ACQUIRE) : 0;
        struct stat st;
        FileId id;
        if (::stat(m_file.c_str(), &st) == 0)
            id = FileId::of(st);
        else if (errno != ENOENT)
            return win32FromErrno(errno);
        if (m_loaded && id == m_id) {
            m_seen = c;
            return m_loadError;
        }
        if (const int rc = load(&id)) return rc;
        m_seen = c;
        return m_loadError;
    }

    // A locked read-modify-write: change(root) makes the change (or returns
    // a Win32 number, having changed nothing, or kUnchanged), and the new
    // file replaces the old one.
    template <class F>
    int modify(F&& change) {
        if (const int rc = makeDirectories(m_dir)) return rc;
        if (const int rc = openLock(true)) return rc;
        while (::flock(m_lockFd, LOCK_EX) != 0)
            if (errno != EINTR) return win32FromErrno(errno);
        int rc = fresh(true);
        if (rc == 0) {
            rc = change(*m_root);
            if (rc == 0) {
                ++generation;
                rc = write(regWriteFile(*m_root));
            }
        }
        ::flock(m_lockFd, LOCK_UN);
        return rc == kUnchanged ? 0 : rc;
    }

private:
    // Opens (and with create, makes) the lock file and maps its counter,
    // again in a child after fork: a lock shared with the parent's open file
    // would not keep the two apart.
    int openLock(bool create) {
        if (m_lockFd >= 0 && m_lockPid == ::getpid()) return 0;
        if (m_counter) ::munmap(m_counter, sizeof *m_counter);
        if (m_lockFd >= 0) ::close(m_lockFd);
        m_counter = nullptr;
        m_lockFd = -1;
        struct stat st;
        if (!create && ::stat(m_dir.c_str(), &st) != 0) return win32FromErrno(errno);
        const int fd = ::open(m_lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return win32FromErrno(errno);
        void* p = MAP_FAILED;
        if (::fstat(fd, &st) == 0 && (st.st_size >= static_cast<off_t>(sizeof *m_counter) ||
                                      ::ftruncate(fd, sizeof *m_counter) == 0))
            p = ::mmap(nullptr, sizeof *m_counter, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED) {
            const int err = errno;
            ::close(fd);
            return win32FromErrno(err);
        }
        m_counter = static_cast<uint64_t*>(p);
        m_lockFd = fd;
        m_lockPid = ::getpid();
        return 0;
    }

    // Reads and parses the file (missing: an empty hive).
    int load(FileId* id) {
        std::string bytes;
        if (id->exists) {
            const int fd = ::open(m_file.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) return errno == ENOENT ? load(&(*id = FileId())) : win32FromErrno(errno);
            struct stat st;
            if (::fstat(fd, &st) == 0) *id = FileId::of(st);  // what is read is this one
            bytes.resize(static_cast<size_t>(id->size));
            size_t got = 0;
            while (got < bytes.size()) {
                const ssize_t r = ::read(fd, &bytes[got], bytes.size() - got);
                if (r < 0 && errno == EINTR) continue;
                if (r < 0) {
                    const int err = errno;
                    ::close(fd);
                    return win32FromErrno(err);
                }
                if (r == 0) break;
                got += static_cast<size_t>(r);
            }
            ::close(fd);
            bytes.resize(got);
        }
        size_t badLine = 0;
        const RegTime t = id->exists ? static_cast<RegTime>(id->mtime.tv_sec) * 10000000u +
                                           static_cast<RegTime>(id->mtime.tv_nsec) / 100 +
                                           116444736000000000ull
                                     : now();
        std::unique_ptr<RegFileKey> root;
        if (id->exists) root = regParseFile(bytes.data(), bytes.size(), m_hiveName, t, &badLine);
        if (!id->exists) {
            root = std::make_unique<RegFileKey>(m_hiveName);
            root->lastWrite = t;
        }
        // A file that does not parse is kept as an error until it changes:
        // nothing is written over it.
        m_loadError = root ? 0 : kErrorBadDb;
        m_root = root ? std::move(root) : std::make_unique<RegFileKey>(m_hiveName);
        m_id = *id;
        m_loaded = true;
        ++generation;
        return 0;
    }

    // Writes bytes to the temporary file, syncs it and renames it over the
    // hive file, with the counter odd in between. Under the lock.
    int write(const std::string& bytes) {
        uint64_t c = __atomic_load_n(m_counter, __ATOMIC_ACQUIRE);
        if (c % 2 == 0) __atomic_store_n(m_counter, ++c, __ATOMIC_RELEASE);
        int err = 0;
        const int fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) {
            err = errno;
        } else {
            if (m_id.exists) ::fchmod(fd, m_id.mode);
            for (size_t done = 0; !err && done < bytes.size();) {
                const ssize_t r = ::write(fd, bytes.data() + done, bytes.size() - done);
                if (r < 0 && errno != EINTR) err = errno;
                if (r > 0) done += static_cast<size_t>(r);
            }
            if (!err && ::fsync(fd) != 0) err = errno;
            if (::close(fd) != 0 && !err) err = errno;
            if (!err && ::rename(m_temp.c_str(), m_file.c_str()) != 0) err = errno;
            if (err) ::unlink(m_temp.c_str());
        }
        if (!err) {
            // The rename itself must outlive a power cut.
            const int dirFd = ::open(m_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dirFd >= 0) {
                ::fsync(dirFd);
                ::close(dirFd);
            }
            struct stat st;
            if (::stat(m_file.c_str(), &st) == 0) m_id = FileId::of(st);
        } else {
            m_loaded = false;  // the copy is ahead of the file: read it again
        }
        __atomic_store_n(m_counter, c + 1, __ATOMIC_RELEASE);
        m_seen = c + 1;
        return err ? win32FromErrno(err) : 0;
    }

    std::string m_dir, m_file, m_lock, m_temp;
    RegText m_hiveName;
    int m_lockFd = -1;
    pid_t m_lockPid = 0;
    uint64_t* m_counter = nullptr;
    bool m_loaded = false;
    int m_loadError = 0;
    FileId m_id;
    uint64_t m_seen = 0;
    std::unique_ptr<RegFileKey> m_root = std::make_unique<RegFileKey>();
};

// The store of a hive in the current registry directory, shared by every
// key opened there while one is open.
std::shared_ptr<Store> storeFor(int hive) {
    static std::mutex* mutex = new std::mutex;
    static auto* stores = new std::map<std::pair<std::string, int>, std::weak_ptr<Store>>;
    const std::string dir = registryDirectory();
    std::lock_guard<std::mutex> lock(*mutex);
    std::weak_ptr<Store>& slot = (*stores)[{dir, hive}];
    std::shared_ptr<Store> store = slot.lock();
    if (!store) slot = store = std::make_shared<Store>(dir, hive);
    return store;
}

// An open key: its store and its path below the hive.
struct Handle {
    std::shared_ptr<Store> store;
    std::vector<RegText> path;
    uint32_t access;
    // The node found for the path, valid while the store's generation is.
    uint64_t generation = ~0ull;
    RegFileKey* node = nullptr;
};

// A key handed to a call, as a handle: a predefined key stands for its
// hive's root in the current directory (held in temp). 0, or 6 for no key
// or the performance data.
int handleOf(RegKey key, Handle& temp, Handle** h) {
    const int hive = predefinedHive(key);
    if (hive == kPerformanceData || key == 0) return kErrorInvalidHandle;
    if (hive < 0) {
        *h = reinterpret_cast<Handle*>(key);
        return 0;
    }
    temp.store = storeFor(hive);
    temp.access = kRegKeyAllAccess;
    *h = &temp;
    return 0;
}

// The node of an open key, under the store's mutex after fresh():
// ERROR_KEY_DELETED when it is gone.
int resolve(Handle& h, RegFileKey** node) {
    Store& s = *h.store;
    if (h.generation != s.generation || !h.node) {
        RegFileKey* k = &s.root();
        for (const RegText& part : h.path)
            if (!(k = k->findSubkey(part))) return kErrorKeyDeleted;
        h.node = k;
        h.generation = s.generation;
    }
    *node = h.node;
    return 0;
}

// A subkey path cut at '\' (runs of them count as one); a leading one is a
// bad path (161), a name over the limit or with a line break invalid (87).
int splitPath(const char* subkey, std::vector<RegText>& parts) {
    parts.clear();
    if (!subkey || !*subkey) return 0;
    if (*subkey == '\\') return kErrorBadPathname;
    const RegText all = widen(subkey, std::strlen(subkey));
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(static_cast<WChar>('\\'), start);
        if (end == RegText::npos) end = all.size();
        if (end > start) {
            RegText part(all, start, end - start);
            if (part.size() > kRegMaxKeyName || part.find_first_of(QX_W("\r\n")) != RegText::npos)
                return kErrorInvalidParameter;
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return 0;
}

RegText valueName(const char* name) {
    return name ? widen(name, std::strlen(name)) : RegText();
}

// Copies bytes into data when *size leaves room; 234 otherwise.
int giveData(const char* bytes, size_t n, unsigned char* data, uint32_t* size) {
    const uint32_t room = *size;
    *size = static_cast<uint32_t>(n);
    if (!data) return 0;
    if (room < n) return kErrorMoreData;
    if (n) std::memcpy(data, bytes, n);
    return 0;
}

int giveValue(const RegFileValue& v, uint32_t* type, unsigned char* data, uint32_t* size) {
    if (type) *type = v.type;
    if (!size) return 0;
    if (!isString(v.type)) return giveData(v.data.data(), v.data.size(), data, size);
    const std::string text = narrow(unitsOf(v.data));
    return giveData(text.data(), text.size(), data, size);
}

// A name into name[*length] with its NUL; 234 when it does not fit.
int giveName(const RegText& n, char* name, uint32_t* length) {
    const std::string text = narrow(n);
    if (*length <= text.size()) {
        *length = static_cast<uint32_t>(text.size());
        return kErrorMoreData;
    }
    std::memcpy(name, text.c_str(), text.size() + 1);
    *length = static_cast<uint32_t>(text.size());
    return 0;
}

// A read of one key: its handle, the store locked and brought up to date
// (through the file itself when check is set), then read(key).
template <class Read>
int readKey(RegKey key, bool check, Read&& read) {
    Handle temp, *h;
    if (const int rc = handleOf(key, temp, &h)) return rc;
    std::lock_guard<std::mutex> lock(h->store->mutex);
    if (const int rc = h->store->fresh(check)) return rc;
    RegFileKey* k;
    if (const int rc = resolve(*h, &k)) return rc;
    return read(*k);
}

}  // namespace

RegKey regHiveKey(int hive) {
    return hive >= 0 && hive < kRegHiveCount
               ? static_cast<RegKey>(static_cast<int32_t>(kHiveNumbers[hive]))
               : 0;
}

int regOpenKey(RegKey parent, const char* subkey, uint32_t access, RegKey* key) {
    *key = 0;
    // A hive's own key opens as itself, whatever the access, as on Windows.
    if (predefinedHive(parent) >= 0 && (!subkey || !*subkey)) {
        *key = parent;
        return 0;
    }
    Handle temp, *h;
    if (const int rc = handleOf(parent, temp, &h)) return rc;
    std::vector<RegText> parts;
    if (const int rc = splitPath(subkey, parts)) return rc;
    std::lock_guard<std::mutex> lock(h->store->mutex);
    if (const int rc = h->store->fresh(true)) return rc;
    RegFileKey* k;
    if (const int rc = resolve(*h, &k)) return rc;
    auto opened = std::make_unique<Handle>();
    opened->store = h->store;
    opened->path = h->path;
    opened->access = access;
    for (const RegText& part : parts) {
        if (!(k = k->findSubkey(part))) return kErrorFileNotFound;
        opened->path.push_back(k->name);
    }
    *key = reinterpret_cast<RegKey>(opened.release());
    return 0;
}

int regCreateKey(RegKey parent, const char* subkey, const char* className, uint32_t access,
                 RegKey* key) {
    *key = 0;
    if (predefinedHive(parent) >= 0 && predefinedHive(parent) != kPerformanceData &&
        (!subkey || !*subkey)) {
        *key = parent;
        return 0;
    }
    Handle temp, *h;
    if (const int rc = handleOf(parent, temp, &h)) return rc;
    std::vector<RegText> parts;
    if (const int rc = splitPath(subkey, parts)) return rc;
    const RegText cls = className ? widen(className, std::strlen(className)) : RegText();
    auto made = std::make_unique<Handle>();
    made->store = h->store;
    made->access = access;
    std::lock_guard<std::mutex> lock(h->store->mutex);
    const int rc = h->store->modify([&](RegFileKey&) {
        RegFileKey* k;
        if (const int r = resolve(*h, &k)) return r;
        made->path = h->path;
        bool created = false;
        const RegTime t = now();
        for (size_t i = 0; i < parts.size(); ++i) {
            RegFileKey* sub = k->findSubkey(parts[i]);
            if (!sub) {
                sub = k->makeSubkey(parts[i]);
                sub->lastWrite = t;
                if (i + 1 == parts.size()) sub->className = cls;
                k->lastWrite = t;
                created = true;
            }
            made->path.push_back(sub->name);
            k = sub;
        }
        return created ? 0 : kUnchanged;
    });
    if (rc) return rc;
    *key = reinterpret_cast<RegKey>(made.release());
    return 0;
}

int regCloseKey(RegKey key) {
    if (key == 0) return kErrorInvalidHandle;
    if (predefinedHive(key) < 0) delete reinterpret_cast<Handle*>(key);
    return 0;
}

int regQueryInfoKey(RegKey key, char* className, uint32_t* classLength, RegKeyInfo* info) {
    *info = RegKeyInfo();
    return readKey(key, true, [&](RegFileKey& k) -> int {
        info->subkeyCount = static_cast<uint32_t>(k.subkeys().size());
        for (const std::unique_ptr<RegFileKey>& sub : k.subkeys()) {
            info->maxSubkeyLength = std::max(info->maxSubkeyLength, nameLength(sub->name));
            info->maxClassLength = std::max(info->maxClassLength, nameLength(sub->className));
        }
        info->valueCount = static_cast<uint32_t>(k.values().size());
        for (const RegFileValue& v : k.values()) {
            info->maxValueNameLength = std::max(info->maxValueNameLength, nameLength(v.name));
            size_t n = v.data.size();
            if (isString(v.type) && !isAscii(unitsOf(v.data))) n = std::max(n, dataSize8(v));
            info->maxValueLength = std::max(info->maxValueLength, static_cast<uint32_t>(n));
        }
        info->lastWriteTime = k.lastWrite;
        return giveName(k.className, className, classLength);
    });
}

int regQueryValue(RegKey key, const char* name, uint32_t* type, unsigned char* data,
                  uint32_t* size) {
    const RegText wanted = valueName(name);
    return readKey(key, false, [&](RegFileKey& k) -> int {
        const RegFileValue* v = k.findValue(wanted);
        return v ? giveValue(*v, type, data, size) : kErrorFileNotFound;
    });
}

int regEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength, uint32_t* type,
                 unsigned char* data, uint32_t* size) {
    return readKey(key, false, [&](RegFileKey& k) -> int {
        if (index >= k.values().size()) return kErrorNoMoreItems;
        const RegFileValue& v = k.values()[index];
        if (const int rc = giveName(v.name, name, nameLength)) return rc;
        return giveValue(v, type, data, size);
    });
}

int regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameLength) {
    return readKey(key, false, [&](RegFileKey& k) -> int {
        if (index >= k.subkeys().size()) return kErrorNoMoreItems;
        return giveName(k.subkeys()[index]->name, name, nameLength);
    });
}

int regSetValue(RegKey key, const char* name, uint32_t type, const unsigned char* data,
                uint32_t size) {
    Handle temp, *h;
    if (const int rc = handleOf(key, temp, &h)) return rc;
    if (!(h->access & kKeySetValue)) return kErrorAccessDenied;
    const RegText wanted = valueName(name);
    if (wanted.size() > kRegMaxValueName) return kErrorInvalidParameter;
    const char* bytes = reinterpret_cast<const char*>(data);
    std::string stored = isString(type) ? bytesOf(widen(bytes, data ? size : 0))
                                        : std::string(bytes, data ? size : 0);
    std::lock_guard<std::mutex> lock(h->store->mutex);
    return h->store->modify([&](RegFileKey&) {
        RegFileKey* k;
        if (const int r = resolve(*h, &k)) return r;
        k->setValue(wanted, type, std::move(stored));
        k->lastWrite = now();
        return 0;
    });
}

int regDeleteKey(RegKey key, const char* subkey) {
    Handle temp, *h;
    if (const int rc = handleOf(key, temp, &h)) return rc;
    std::vector<RegText> parts;
    if (const int rc = splitPath(subkey, parts)) return rc;
    std::lock_guard<std::mutex> lock(h->store->mutex);
    return h->store->modify([&](RegFileKey& root) {
        RegFileKey* k;
        if (const int r = resolve(*h, &k)) return r;
        // The path from the hive to the key to go, and its parent.
        std::vector<RegText> path = h->path;
        for (const RegText& part : parts) {
            if (!(k = k->findSubkey(part))) return static_cast<int>(kErrorFileNotFound);
            path.push_back(k->name);
        }
        if (path.empty() || !k->subkeys().empty()) return static_cast<int>(kErrorAccessDenied);
        RegFileKey* parent = &root;
        for (size_t i = 0; i + 1 < path.size(); ++i) parent = parent->findSubkey(path[i]);
        parent->deleteSubkey(path.back());
        parent->lastWrite = now();
        return 0;
    });
}

int regDeleteValue(RegKey key, const char* name) {
    Handle temp, *h;
    if (const int rc = handleOf(key, temp, &h)) return rc;
    if (!(h->access & kKeySetValue)) return kErrorAccessDenied;
    const RegText wanted = valueName(name);
    std::lock_guard<std::mutex> lock(h->store->mutex);
    return h->store->modify([&](RegFileKey&) {
        RegFileKey* k;
        if (const int r = resolve(*h, &k)) return r;
        if (!k->deleteValue(wanted)) return static_cast<int>(kErrorFileNotFound);
        k->lastWrite = now();
        return 0;
    });
}

}  // namespace sys
}  // namespace qx
