// Registry values and the registry cursor, on both targets: Linux works in a
// registry directory of its own, Windows in a test key of the real registry
// (Wine's, under the tests) that is removed afterwards.
#include "Components/Base/Utility/qxTextUtil.h"
#include "env_var.h"
#include "os/app/qxRegistry.h"
#include "os/sys/qxSysFile.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>

namespace {

using qxString::IString;
using qxUtil::Error;
using VT = qxRegistryValue::ValueType;

IString text(const char* s) {
    return IString(s, qxString::EncodingUTF8);
}

// Runs f, which must throw; gives back what it threw.
template <class F>
Error thrown(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "nothing thrown";
    return Error();
}

#define EXPECT_THROWS(number, text, expr)          \
    do {                                           \
        const Error e_ = thrown([&] { expr; });    \
        EXPECT_EQ(e_.num(), number) << #expr;      \
        EXPECT_STREQ(e_.message(), text) << #expr; \
    } while (0)

std::string bytes(const qxRegistryValue& v) {
    return std::string(reinterpret_cast<const char*>(v.getDataPtr()), v.getDataSize());
}

TEST(RegistryValue, TypedDataAndItsErrors) {
    qxRegistryValue empty;
    EXPECT_TRUE(empty.getName().isEmpty());
    EXPECT_EQ(empty.getType(), qxRegistryValue::NoType);
    EXPECT_EQ(empty.getDataPtr(), nullptr);
    EXPECT_EQ(empty.getDataSize(), 0u);

    // Both DWord orders keep the least significant byte first.
    for (VT t : {qxRegistryValue::DWord, qxRegistryValue::DWordLittleEndian,
                 qxRegistryValue::DWordBigEndian}) {
        qxRegistryValue d(text("d"), t, 0x11223344u);
        EXPECT_EQ(bytes(d), std::string("\x44\x33\x22\x11", 4));
        unsigned v = 0;
        d.getData(v);
        EXPECT_EQ(v, 0x11223344u);
    }
    qxRegistryValue s(text("s"), qxRegistryValue::Text, text("caf\xC3\xA9"));
    EXPECT_EQ(bytes(s), std::string("caf\xC3\xA9\0", 6));
    IString back;
    s.getData(back);
    EXPECT_EQ(back, text("caf\xC3\xA9"));

    unsigned n = 0;
    EXPECT_THROWS(1, "Data of type 9 cannot be converted to unsigned int", s.getData(n));
    EXPECT_THROWS(1, "Unsigned int cannot be converted to data of type 9", s.setData(5u));
    qxRegistryValue b(text("b"), qxRegistryValue::Bytes);
    EXPECT_THROWS(1, "qxString::IString cannot be converted to data of type 0", b.setData(back));
    EXPECT_THROWS(1, "Data of type 0 cannot be converted to qxString::IString", b.getData(back));
    EXPECT_THROWS(1, "qxString::IString cannot be converted to data of type 6",
                  qxRegistryValue(text("m"), qxRegistryValue::MultiText, back));

    // Bytes are copied; copies and assignments are deep; equality looks at
    // everything, the name exactly.
    unsigned char raw[3] = {1, 0, 2};
    qxRegistryValue r(text("R"), qxRegistryValue::Bytes, raw, 3);
    raw[0] = 9;
    qxRegistryValue copy(r);
    EXPECT_EQ(copy, r);
    EXPECT_NE(copy.getDataPtr(), r.getDataPtr());
    unsigned char out[3] = {};
    copy.getData(out);
    EXPECT_EQ(std::memcmp(out, "\1\0\2", 3), 0);
    copy.setName(text("r"));
    EXPECT_NE(copy, r);
    copy = r;
    copy.setType(qxRegistryValue::NoType);
    EXPECT_NE(copy, r);
    copy = s;
    EXPECT_EQ(copy, s);
    copy.setData(nullptr, 0);
    EXPECT_EQ(copy.getDataPtr(), nullptr);
}

// A test key of one's own, created before each test and removed with
// everything in it afterwards.
class Registry : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        dirVar_.set(dir_.u8string().c_str());
        base_ = text("HKEY_CURRENT_USER\\Software\\qxbase-test-") +
                text(std::to_string(qx::sys::processId()).c_str());
        qxRegistry r(text("HKEY_CURRENT_USER"));
        r.createKey(base_, true, IString());
    }
    void TearDown() override {
        try {
            removeTree(base_);
        } catch (const Error& e) {
            ADD_FAILURE() << "cannot remove the test key: " << e.message();
        }
        ScratchDir::TearDown();
    }
    static void removeTree(const IString& path) {
        qxRegistry r(path);
        qx::vector<IString> subkeys;
        r.getSubkeys(subkeys);
        for (const IString& s : subkeys) removeTree(path + text("\\") + s);
        r.openParentKey();
        const qx::vector<IString> pieces =
            qxUtil::split(path, static_cast<qx::WChar>('\\'), true, false);
        r.deleteKey(pieces.back());
    }
    IString at(const char* rel) const { return base_ + text("\\") + text(rel); }

    EnvVar dirVar_{"QX_REGISTRY_DIR", nullptr};
    IString base_;
};

TEST_F(Registry, HivesPathsAndTheParent) {
    qxRegistry hklm;
    EXPECT_EQ(hklm.getKeyPath(), text("HKEY_LOCAL_MACHINE"));
    EXPECT_THROWS(3, "Already at the hive level, cannot go up a level", hklm.openParentKey());
    hklm.createKey(text("HKEY_LOCAL_MACHINE\\SOFTWARE"), true);
    qxRegistry software(text("HKEY_LOCAL_MACHINE\\SOFTWARE"));
    software.openParentKey();
    EXPECT_EQ(software.getKeyPath(), text("HKEY_LOCAL_MACHINE"));

    // Hive names are exact; the path as passed becomes the key path.
    EXPECT_THROWS(1, "Hive name in key path is invalid",
                  qxRegistry(text("hkey_local_machine\\SOFTWARE")));
    EXPECT_THROWS(1, "Hive name in key path is invalid", qxRegistry(text("HKLM")));
    EXPECT_THROWS(1, "Key path is empty", qxRegistry(text("\\\\")));
    for (const char* hive : {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG", "HKEY_USERS"})
        EXPECT_EQ(qxRegistry(text(hive), true).getKeyPath(), text(hive));
    EXPECT_THROWS(1, "Error fetching key information due to Windows error 6",
                  qxRegistry(text("HKEY_PERFORMANCE_DATA")));
    qxRegistry r(base_ + text("\\"));
    EXPECT_EQ(r.getKeyPath(), base_ + text("\\"));

    // Missing keys, and the object stays where it was.
    const std::string missing = std::string("Error opening absolute key path ") +
                                at("nosuch").asUTF8() + " due to Windows error 2";
    EXPECT_THROWS(1, missing.c_str(), r.openKey(at("nosuch"), true));
    const std::string relMissing = std::string("Error opening key path a\\b relative to ") +
                                   r.getKeyPath().asUTF8() + " due to Windows error 2";
    EXPECT_THROWS(1, relMissing.c_str(), r.openKey(text("a\\b"), false));
    EXPECT_EQ(r.getKeyPath(), base_ + text("\\"));
}

TEST_F(Registry, CreateMovesAndKeyInformationFollowsEveryChange) {
    qxRegistry r(base_);
    r.createKey(text("one\\two"), false, text("Layout"));
    EXPECT_EQ(r.getKeyPath(), at("one\\two"));
    EXPECT_EQ(r.getClassName(), text("Layout"));
    EXPECT_EQ(r.getSubkeyCount(), 0u);
    EXPECT_EQ(r.getValueCount(), 0u);
    r.createKey(text("three"), false);
    r.openParentKey();
    EXPECT_EQ(r.getKeyPath(), at("one\\two"));
    EXPECT_EQ(r.getSubkeyCount(), 1u);

    // Creating an existing key opens it; its class stays (Wine, under which
    // the Windows tests run, takes the new one).
    r.createKey(at("one\\two"), true, IString());
#ifndef _WIN32
    EXPECT_EQ(r.getClassName(), text("Layout"));
#endif

    qxRegistryValue v(IString(), qxRegistryValue::DWord, 7u);
    r.setValue(text("a"), v);
    EXPECT_EQ(r.getValueCount(), 1u);
    r.setValue(text("b"), v);
    r.setValue(text("A"), v);  // the same value as "a"
    EXPECT_EQ(r.getValueCount(), 2u);
    r.deleteValue(text("a"));
    EXPECT_EQ(r.getValueCount(), 1u);
    r.deleteKey(text("three"));
    EXPECT_EQ(r.getSubkeyCount(), 0u);

    // Relative opens append to the path; the parent of a deep key is found
    // from the hive.
    qxRegistry deep(base_);
    deep.openKey(text("ONE"), false);
    deep.openKey(text("two"), false);
    EXPECT_EQ(deep.getKeyPath(), base_ + text("\\ONE\\two"));
    EXPECT_EQ(deep.getValueCount(), 1u);
    deep.openParentKey();
    EXPECT_EQ(deep.getKeyPath(), base_ + text("\\ONE"));
    deep.openParentKey();
    EXPECT_EQ(deep.getKeyPath(), base_);

    const std::string notEmpty = std::string("Error deleting subkey one of parent key ") +
                                 base_.asUTF8() + " due to Windows error 5";
    EXPECT_THROWS(1, notEmpty.c_str(), deep.deleteKey(text("one")));
    const std::string gone = std::string("Error deleting subkey nosuch of parent key ") +
                             base_.asUTF8() + " due to Windows error 2";
    EXPECT_THROWS(1, gone.c_str(), deep.deleteKey(text("nosuch")));
}

TEST_F(Registry, EveryTypeIsWrittenAndReadBack) {
    qxRegistry r(base_);
    const unsigned char raw[] = {0, 1, 2, 0xFF};
    const std::string multi("one\0two\0\0", 9);
    const std::string link("L\0i\0n\0k\0", 8);
    struct Case {
        const char* name;
        qxRegistryValue value;
        VT read;    // the type getValue gives
        VT listed;  // the type getValues gives
    };
    const Case cases[] = {
        {"bytes", qxRegistryValue(IString(), qxRegistryValue::Bytes, raw, 4),
         qxRegistryValue::Bytes, qxRegistryValue::Bytes},
        {"le", qxRegistryValue(IString(), qxRegistryValue::DWordLittleEndian, 258u),
         qxRegistryValue::DWord, qxRegistryValue::DWordLittleEndian},
        {"dword", qxRegistryValue(IString(), qxRegistryValue::DWord, 0xFFFFFFFFu),
         qxRegistryValue::DWord, qxRegistryValue::DWordLittleEndian},
        {"be", qxRegistryValue(IString(), qxRegistryValue::DWordBigEndian, 5u),
         qxRegistryValue::DWordBigEndian, qxRegistryValue::DWordBigEndian},
        {"expand", qxRegistryValue(IString(), qxRegistryValue::ExpandText, text("%TEMP%\\x")),
         qxRegistryValue::ExpandText, qxRegistryValue::ExpandText},
        {"link",
         qxRegistryValue(IString(), qxRegistryValue::Link,
                         reinterpret_cast<const unsigned char*>(link.data()), link.size()),
         qxRegistryValue::Link, qxRegistryValue::Link},
        {"multi",
         qxRegistryValue(IString(), qxRegistryValue::MultiText,
                         reinterpret_cast<const unsigned char*>(multi.data()), multi.size()),
         qxRegistryValue::MultiText, qxRegistryValue::MultiText},
        {"none", qxRegistryValue(IString(), qxRegistryValue::NoType, raw, 2),
         qxRegistryValue::NoType, qxRegistryValue::NoType},
        {"resources", qxRegistryValue(IString(), qxRegistryValue::ResourceList, raw, 3),
         qxRegistryValue::ResourceList, qxRegistryValue::ResourceList},
        {"text", qxRegistryValue(IString(), qxRegistryValue::Text, text("say \"hi\" \\ there")),
         qxRegistryValue::Text, qxRegistryValue::Text},
        {"", qxRegistryValue(IString(), qxRegistryValue::Text, text("the default")),
         qxRegistryValue::Text, qxRegistryValue::Text},
        {"empty", qxRegistryValue(IString(), qxRegistryValue::Bytes), qxRegistryValue::Bytes,
         qxRegistryValue::Bytes},
    };
    for (const Case& c : cases) {
        qxRegistryValue v = c.value;
        r.setValue(text(c.name), v);
        EXPECT_EQ(v.getName(), text(c.name)) << "named by setValue";
    }
    EXPECT_EQ(r.getValueCount(), sizeof cases / sizeof cases[0]);
    qxRegistry reader(base_, true);
    std::map<std::string, qxRegistryValue> listed;
    qx::vector<qxRegistryValue> values(3);
    reader.getValues(values);
    for (const qxRegistryValue& v : values) listed[v.getName().asUTF8()] = v;
    ASSERT_EQ(listed.size(), sizeof cases / sizeof cases[0]);
    for (const Case& c : cases) {
        qxRegistryValue got;
        reader.getValue(text(c.name), got);
        EXPECT_EQ(got.getName(), text(c.name));
        EXPECT_EQ(got.getType(), c.read) << c.name;
        EXPECT_EQ(bytes(got), bytes(c.value)) << c.name;
        const qxRegistryValue& l = listed[c.name];
        EXPECT_EQ(l.getType(), c.listed) << c.name;
        EXPECT_EQ(bytes(l), bytes(c.value)) << c.name << ": ASCII text is the same in 8 bits";
    }
    unsigned n = 0;
    qxRegistryValue got;
    reader.getValue(text("BE"), got);  // names without regard to case
    got.getData(n);
    EXPECT_EQ(n, 5u);

    const std::string missing = std::string("Cannot get value nosuch under key ") + base_.asUTF8() +
                                " due to Windows error 2";
    EXPECT_THROWS(2, missing.c_str(), reader.getValue(text("nosuch"), got));
    const std::string delMissing = std::string("Cannot delete value nosuch under key ") +
                                   base_.asUTF8() + " due to Windows error 2";
    EXPECT_THROWS(2, delMissing.c_str(), r.deleteValue(text("nosuch")));
    qxRegistryValue bad(IString(), static_cast<VT>(10));
    const std::string badType = std::string("Cannot set value odd under key ") + base_.asUTF8() +
                                " due to Windows error 87";
    EXPECT_THROWS(2, badType.c_str(), r.setValue(text("odd"), bad));
}

TEST_F(Registry, ReadOnlyObjectsChangeNothingButStillCreate) {
    qxRegistry w(base_);
    qxRegistryValue v(IString(), qxRegistryValue::DWord, 1u);
    w.setValue(text("kept"), v);
    w.createKey(text("sub"), false);

    qxRegistry r(base_, true);
    qxRegistryValue other(IString(), qxRegistryValue::DWord, 2u);
    r.setValue(text("kept"), other);
    r.setValue(text("new"), other);
    r.deleteValue(text("kept"));
    r.deleteKey(text("sub"));
    EXPECT_EQ(other.getName(), IString()) << "not even named";
    qxRegistry check(base_);
    EXPECT_EQ(check.getValueCount(), 1u);
    EXPECT_EQ(check.getSubkeyCount(), 1u);
    qxRegistryValue got;
    check.getValue(text("kept"), got);
    EXPECT_EQ(got, qxRegistryValue(text("kept"), qxRegistryValue::DWord, 1u));

    r.createKey(text("made"), false, IString());
    r.createKey(at("made too"), true, IString());
    check.openKey(base_, true);
    EXPECT_EQ(check.getSubkeyCount(), 3u);
}

TEST_F(Registry, CopiesMoveOnTheirOwn) {
    qxRegistry a(base_);
    a.createKey(text("x"), false);
    qxRegistry b(a);
    EXPECT_EQ(b.getKeyPath(), at("x"));
    b.openParentKey();
    EXPECT_EQ(a.getKeyPath(), at("x"));
    qxRegistryValue v(IString(), qxRegistryValue::DWord, 3u);
    a.setValue(text("v"), v);
    qxRegistry c(text("HKEY_CURRENT_USER"), true);
    c = a;  // takes a's key and a's flag: writable
    c.setValue(text("v"), v);
    EXPECT_EQ(c.getValueCount(), 1u);
    { qxRegistry d(c); }
    EXPECT_EQ(c.getValueCount(), 1u);
    c = qxRegistry(text("HKEY_USERS"), true);
    c.setValue(text("v"), v);  // read-only: nothing happens
    EXPECT_EQ(c.getKeyPath(), text("HKEY_USERS"));
}

TEST_F(Registry, LimitsOfNames) {
    qxRegistry r(base_);
    const std::string longKey(257, 'k');
    const Error e = thrown([&] { r.createKey(text(longKey.c_str()), false); });
    EXPECT_EQ(e.num(), 1);
    EXPECT_EQ(std::string(e.message()).rfind("Error creating key kkk", 0), 0u) << e.message();
    EXPECT_EQ(r.getKeyPath(), base_);
    const std::string longName(16384, 'v');
    qxRegistryValue v(IString(), qxRegistryValue::DWord, 1u);
    const Error f = thrown([&] { r.setValue(text(longName.c_str()), v); });
    EXPECT_EQ(f.num(), 2);
    EXPECT_NE(std::string(f.message()).find("due to Windows error 87"), std::string::npos);
    r.setValue(text(longName.substr(1).c_str()), v);
    qx::vector<qxRegistryValue> values;
    r.getValues(values);
    ASSERT_EQ(values.size(), 1);
    EXPECT_EQ(values[0].getName().length(), 16383u);
}

// Two cursors on one key change it at random; the listing always agrees
// with a plain map of what was written.
TEST_F(Registry, RandomChangesMatchAModel) {
    qxRegistry a(base_), b(base_);
    std::map<std::string, unsigned> model;
    std::mt19937 random(27);
    for (int step = 0; step < 300; ++step) {
        qxRegistry& r = random() % 2 ? a : b;
        const std::string name = "v" + std::to_string(random() % 40);
        if (random() % 3) {
            const unsigned n = static_cast<unsigned>(random());
            qxRegistryValue v(IString(), qxRegistryValue::DWord, n);
            r.setValue(text(name.c_str()), v);
            model[name] = n;
        } else if (model.erase(name)) {
            r.deleteValue(text(name.c_str()));
        }
        if (step % 50 != 49) continue;
        qx::vector<qxRegistryValue> values;
        (random() % 2 ? a : b).getValues(values);
        std::map<std::string, unsigned> seen;
        for (const qxRegistryValue& v : values) {
            unsigned n = 0;
            v.getData(n);
            seen[v.getName().asUTF8()] = n;
        }
        EXPECT_EQ(seen, model) << "after step " << step;
    }
    a.openKey(base_, true);
    EXPECT_EQ(a.getValueCount(), model.size());
}

}  // namespace
