// The registry editor's file format, on both targets, and (on Linux) the
// store of hives in such files: its files, a corrupt or cut-off file, and
// changes made from outside.
#include "env_var.h"
#include "os/app/qxRegistry.h"
#include "os/sys/qxSysRegFile.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>

namespace {

using qx::sys::RegFileKey;
using qx::sys::RegFileValue;
using qx::sys::RegText;
using qxString::IString;

RegText units(const std::string& ascii) {
    return RegText(ascii.begin(), ascii.end());
}
RegText wide(const std::u16string& s) {
    return RegText(s.begin(), s.end());
}

// UTF-16LE with the byte-order mark, as the editor writes.
std::string fileBytes(const std::u16string& text) {
    std::string b("\xFF\xFE", 2);
    for (char16_t c : text) {
        b.push_back(static_cast<char>(c & 0xFF));
        b.push_back(static_cast<char>(c >> 8));
    }
    return b;
}
std::u16string fileText(const std::string& bytes) {
    std::u16string t;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        t.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8));
    return t;
}
std::u16string u16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::unique_ptr<RegFileKey> parse(const std::string& bytes, size_t* bad) {
    return qx::sys::regParseFile(bytes.data(), bytes.size(), units("HKEY_CURRENT_USER"), 7, bad);
}

std::string le16(const std::u16string& s) {
    return fileBytes(s).substr(2);
}

// Everything of two trees, names with their spelling, in order.
void expectSame(const RegFileKey& a, const RegFileKey& b) {
    EXPECT_TRUE(a.name == b.name && a.className == b.className && a.lastWrite == b.lastWrite);
    ASSERT_EQ(a.values().size(), b.values().size());
    for (size_t i = 0; i < a.values().size(); ++i) {
        const RegFileValue &x = a.values()[i], &y = b.values()[i];
        EXPECT_TRUE(x.name == y.name && x.type == y.type && x.data == y.data) << "value " << i;
    }
    ASSERT_EQ(a.subkeys().size(), b.subkeys().size());
    for (size_t i = 0; i < a.subkeys().size(); ++i) expectSame(*a.subkeys()[i], *b.subkeys()[i]);
}

TEST(RegistryFile, WritesWhatTheEditorWrites) {
    RegFileKey root(units("HKEY_CURRENT_USER"));
    root.lastWrite = 0x01dd8658b8784feeull;
    RegFileKey* k = root.makeSubkey(units("Software"))->makeSubkey(units("Q \"x\""));
    k->className = units("My\\Class");
    k->lastWrite = 1;
    std::string bin;
    for (int i = 0; i < 42; ++i) bin.push_back(static_cast<char>(0x11 * (i % 16)));
    k->setValue(RegText(), 1, le16(std::u16string(u"default") + u'\0'));
    k->setValue(units("b"), 3, bin);
    k->setValue(units("d"), 4, std::string("\x78\x56\x34\x12", 4));
    k->setValue(units("e"), 2, le16(u16("%PATH%;x") + u'\0'));
    k->setValue(units("q"), 11, std::string("\x88\x77\x66\x55\x44\x33\x22\x11", 8));
    k->setValue(units("s"), 1, le16(u"he said \"hi\" c:\\path" + std::u16string(1, u'\0')));
    k->setValue(units("we\"ird\\name"), 1, le16(std::u16string(u"x") + u'\0'));
    k->setValue(units("nl"), 1, le16(std::u16string(u"a\nb") + u'\0'));
    k->setValue(units("n"), 0, "");
    const std::u16string expected =
        u"Windows Registry Editor Version 5.00\r\n;qx:begin\r\n\r\n"
        u"[HKEY_CURRENT_USER]\r\n;qx:time=01dd8658b8784fee\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software]\r\n;qx:time=0000000000000000\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Q \"x\"]\r\n;qx:time=0000000000000001\r\n"
        u";qx:class=\"My\\\\Class\"\r\n"
        u"@=\"default\"\r\n"
        u"\"b\"=hex:00,11,22,33,44,55,66,77,88,99,aa,bb,cc,dd,ee,ff,00,11,22,33,44,55,66,\\\r\n"
        u"  77,88,99,aa,bb,cc,dd,ee,ff,00,11,22,33,44,55,66,77,88,99\r\n"
        u"\"d\"=dword:12345678\r\n"
        u"\"e\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,3b,00,78,00,00,00\r\n"
        u"\"q\"=hex(b):88,77,66,55,44,33,22,11\r\n"
        u"\"s\"=\"he said \\\"hi\\\" c:\\\\path\"\r\n"
        u"\"we\\\"ird\\\\name\"=\"x\"\r\n"
        u"\"nl\"=hex(1):61,00,0a,00,62,00,00,00\r\n"
        u"\"n\"=hex(0):\r\n"
        u"\r\n;qx:end\r\n";
    const std::string written = qx::sys::regWriteFile(root);
    EXPECT_EQ(written.substr(0, 2), "\xFF\xFE");
    EXPECT_TRUE(fileText(written) == expected) << "written differently";
    size_t bad = 0;
    const auto back = parse(written, &bad);
    ASSERT_TRUE(back) << "line " << bad;
    expectSame(root, *back);
}

// What the editor itself exports (no times, no classes, no end line) reads,
// as UTF-16 and as UTF-8; sections without a time get the default one.
TEST(RegistryFile, ReadsTheEditorsOwnFiles) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Caf\u00e9]\r\n"
        u"; a comment\r\n"
        u"@=\"d\u00e9fault\"\r\n"
        u"  \"b\" = HEX:00,1,\\\r\n"
        u"    ff\r\n"
        u"\"d\"=dword:0000000A\r\n"
        u"\"esc\"=\"a\\nb\\rc\\0\"\r\n"
        u"\"x\"=hex(12345678):\r\n"
        u"\"b\"=hex:02\n"
        u"[HKEY_CURRENT_USER\\Software\\caf\u00c9\\Sub]\n";
    std::string utf8;
    for (char16_t c : text) {
        if (c < 0x80) {
            utf8.push_back(static_cast<char>(c));
        } else {
            utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    for (const std::string& bytes : {fileBytes(text), utf8, "\xEF\xBB\xBF" + utf8}) {
        size_t bad = 0;
        const auto root = parse(bytes, &bad);
        ASSERT_TRUE(root) << "line " << bad;
        const RegFileKey* k = root->findSubkey(units("SOFTWARE"));
        ASSERT_TRUE(k);
        k = k->findSubkey(wide(u"CAF\u00c9"));
        ASSERT_TRUE(k);
        EXPECT_EQ(k->lastWrite, 7u);
        ASSERT_EQ(k->values().size(), 5u);
        EXPECT_EQ(k->findValue(RegText())->data, le16(std::u16string(u"d\u00e9fault") + u'\0'));
        EXPECT_EQ(k->findValue(units("B"))->data, "\x02") << "the later line wins";
        EXPECT_EQ(k->findValue(units("d"))->data, std::string("\x0a\0\0\0", 4));
        EXPECT_EQ(k->findValue(units("esc"))->data, le16(std::u16string(u"a\nb\rc\0\0", 7)));
        EXPECT_EQ(k->findValue(units("x"))->type, 0x12345678u);
        EXPECT_EQ(k->subkeys().size(), 1u);
    }
}

TEST(RegistryFile, RefusesWhatDoesNotFit) {
    const std::string header = "Windows Registry Editor Version 5.00\r\n";
    const std::string key = "[HKEY_CURRENT_USER\\k]\r\n";
    const std::string longKey(256, 'k'), longName(16384, 'v');
    const struct {
        std::string text;
        size_t line;
    } cases[] = {
        {"", 1},
        {"REGEDIT4\r\n", 1},
        {header, 2},  // no section
        {header + key + ";qx:begin\r\n", 3},
        {header + "\"v\"=\"x\"\r\n", 2},               // outside a section
        {header + "[HKEY_LOCAL_MACHINE\\k]\r\n", 2},   // another hive
        {header + "[hkey_current_user\\k]\r\n", 2},    // the hive in other case
        {header + "[-HKEY_CURRENT_USER\\k]\r\n", 2},   // a deletion
        {header + "[HKEY_CURRENT_USER\\\\k]\r\n", 2},  // an empty name
        {header + "[HKEY_CURRENT_USER\\k] x\r\n", 2},
        {header + "[HKEY_CURRENT_USER\\k\r\n", 2},
        {header + "[HKEY_CURRENT_USER\\" + longKey + "]\r\n", 2},
        {header + key + "\"" + longName + "\"=\"\"\r\n", 3},
        {header + key + "\"v\"=-\r\n", 3},
        {header + key + "\"v\"=\"x\r\n", 3},
        {header + key + "\"v\"=\"x\\q\"\r\n", 3},
        {header + key + "\"v\"=\"x\" y\r\n", 3},
        {header + key + "\"v\"=dword:123456789\r\n", 3},
        {header + key + "\"v\"=dword:\r\n", 3},
        {header + key + "\"v\"=qword:1\r\n", 3},
        {header + key + "\"v\"=hex(123456789):00\r\n", 3},
        {header + key + "\"v\"=hex:001\r\n", 3},
        {header + key + "\"v\"=hex:0g\r\n", 3},
        {header + key + "\"v\"=hex:00,\\\r\n", 3},  // continued past the end
        {header + key + "v=1\r\n", 3},
        {header + key + ";qx:time=1\r\n", 3},
        {header + key + ";qx:what\r\n", 3},
        {header + key + ";qx:end\r\n\"v\"=\"\"\r\n", 4},
        {header + key + ";qx:time=0000000000000001\r\n", 4},  // no end line
        {"\xEF\xBB\xBF" + header + "\xC3(\r\n", 1},           // not UTF-8
    };
    for (const auto& c : cases) {
        size_t bad = 0;
        EXPECT_FALSE(parse(c.text, &bad)) << c.text.substr(0, 80);
        EXPECT_EQ(bad, c.line) << c.text.substr(0, 80);
    }
}

// Random trees with awkward names and data survive a write and a read,
// and every copy cut short of its end is refused.
TEST(RegistryFile, RandomTreesRoundTripAndCutCopiesFail) {
    std::mt19937 random(6);
    const std::u16string alphabet = u"ab\"\\[]=@;: \u00e9\u20ac\U0001F600\t";
    auto name = [&](size_t max) {
        RegText n;
        const size_t len = 1 + random() % max;
        while (n.size() < len)
            n.push_back(static_cast<qx::WChar>(alphabet[random() % alphabet.size()]));
        return n;
    };
    for (int round = 0; round < 10; ++round) {
        RegFileKey root(units("HKEY_CURRENT_USER"));
        std::vector<RegFileKey*> keys{&root};
        for (int i = 0; i < 12; ++i) {
            RegFileKey* parent = keys[random() % keys.size()];
            RegText n = name(6);
            for (qx::WChar& c : n)
                if (c == '\\') c = '/';
            RegFileKey* k = parent->makeSubkey(n);
            k->lastWrite = random();
            if (random() % 2) k->className = name(8);
            keys.push_back(k);
        }
        for (int i = 0; i < 40; ++i) {
            RegFileKey* k = keys[random() % keys.size()];
            std::string data(random() % 90, '\0');
            for (char& b : data) b = static_cast<char>(random());
            const uint32_t types[] = {0, 1, 2, 3, 4, 7, 11, 0xFFFFFFFFu};
            const uint32_t type = types[random() % 8];
            if (type == 1 && random() % 2) data = le16(u"text \"q\" \\" + std::u16string(1, u'\0'));
            if (type == 4 && random() % 2) data.resize(4);
            k->setValue(random() % 8 ? name(10) : RegText(), type, data);
        }
        const std::string written = qx::sys::regWriteFile(root);
        size_t bad = 0;
        const auto back = parse(written, &bad);
        ASSERT_TRUE(back) << "round " << round << ", line " << bad;
        expectSame(root, *back);
        EXPECT_EQ(qx::sys::regWriteFile(*back), written);
        // Only the last line break may go.
        for (size_t cut = 0; cut + 4 < written.size(); cut += 1 + random() % (written.size() / 100))
            EXPECT_FALSE(parse(written.substr(0, cut), &bad)) << "cut at " << cut;
    }
}

#ifndef _WIN32

// A registry directory of its own for each test.
class RegistryStore : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        dirVar_.set(dir_.u8string().c_str());
    }
    IString path(const char* p) { return IString(p, qxString::EncodingUTF8); }
    EnvVar dirVar_{"QX_REGISTRY_DIR", nullptr};
};

TEST_F(RegistryStore, EachHiveIsAFileOfTheEditor) {
    {
        qxRegistry r(path("HKEY_CURRENT_USER"));
        r.createKey(path("Software\\Tool"), false, path("Settings"));
        qxRegistryValue v(IString(), qxRegistryValue::DWord, 0x2Au);
        r.setValue(path("answer"), v);
    }
    namespace fs = std::filesystem;
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.insert(e.path().filename().string());
    EXPECT_EQ(names,
              (std::set<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
    const std::string bytes = read("HKEY_CURRENT_USER.reg");
    const std::u16string text = fileText(bytes);
    EXPECT_EQ(text.find(u"Windows Registry Editor Version 5.00\r\n;qx:begin\r\n\r\n"
                        u"[HKEY_CURRENT_USER]\r\n"),
              0u);
    EXPECT_NE(text.find(u"[HKEY_CURRENT_USER\\Software\\Tool]\r\n;qx:time="), std::u16string::npos);
    EXPECT_NE(text.find(u";qx:class=\"Settings\"\r\n\"answer\"=dword:0000002a\r\n"),
              std::u16string::npos);

    // A hand-written file (UTF-8 here) replaces it: the next open sees it.
    write("HKEY_CURRENT_USER.reg",
          "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\Tool]\n"
          "\"answer\"=dword:00000007\n");
    qxRegistry r(path("HKEY_CURRENT_USER\\Software\\Tool"), true);
    qxRegistryValue got;
    r.getValue(path("answer"), got);
    unsigned n = 0;
    got.getData(n);
    EXPECT_EQ(n, 7u);
    EXPECT_TRUE(r.getClassName().isEmpty());
}

TEST_F(RegistryStore, ACorruptOrCutFileIsRefusedAndKept) {
    {
        qxRegistry r(path("HKEY_CURRENT_USER"));
        r.createKey(path("Software\\Tool"), false);
        qxRegistryValue v(IString(), qxRegistryValue::Text, path("a longer text value"));
        r.setValue(path("t"), v);
    }
    const std::string whole = read("HKEY_CURRENT_USER.reg");
    for (const std::string& broken :
         {whole.substr(0, whole.size() - 9), whole.substr(0, whole.size() / 2),
          whole.substr(0, whole.size() - 1), std::string("garbage"), std::string("\xFF\xFE")}) {
        write("HKEY_CURRENT_USER.reg", broken);
        for (int attempt = 0; attempt < 4; ++attempt) {
            try {
                qxRegistry r(path("HKEY_CURRENT_USER"));
                if (attempt == 1) r.openKey(path("Software"), false);
                if (attempt == 2) r.createKey(path("Other"), false);
                qxRegistryValue v(IString(), qxRegistryValue::DWord, 1u);
                if (attempt == 3) r.setValue(path("x"), v);
                ADD_FAILURE() << "attempt " << attempt << " went through";
            } catch (const qxUtil::Error& e) {
                EXPECT_EQ(e.num(), 1);
                EXPECT_NE(std::string(e.message()).find("due to Windows error 1009"),
                          std::string::npos)
                    << e.message();
            }
        }
        EXPECT_EQ(read("HKEY_CURRENT_USER.reg"), broken) << "never written over";
    }
    write("HKEY_CURRENT_USER.reg", whole);
    qxRegistry r(path("HKEY_CURRENT_USER\\Software\\Tool"));
    EXPECT_EQ(r.getValueCount(), 1u);
}

// With a UTF-8 locale, non-ASCII names and text go through as themselves,
// and the lengths the key reports fit their 8-bit form.
TEST_F(RegistryStore, TextThroughTheLocale) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    if (!std::setlocale(LC_CTYPE, "C.UTF-8") && !std::setlocale(LC_CTYPE, "en_US.UTF-8"))
        GTEST_SKIP() << "no UTF-8 locale";
    {
        qxRegistry r(path("HKEY_CURRENT_USER"));
        r.createKey(path("\xE2\x82\xAC\xE2\x82\xAC"), false);
        qxRegistryValue v(IString(), qxRegistryValue::Text, path("\xE2\x82\xAC 5"));
        r.setValue(path("pr\xC3\xAEx"), v);
        r.openParentKey();
        qx::vector<IString> subkeys;
        r.getSubkeys(subkeys);
        ASSERT_EQ(subkeys.size(), 1);
        EXPECT_EQ(subkeys[0], path("\xE2\x82\xAC\xE2\x82\xAC"));
        r.openKey(subkeys[0], false);
        qxRegistryValue got;
        r.getValue(path("PR\xC3\x8EX"), got);
        IString s;
        got.getData(s);
        EXPECT_EQ(s, path("\xE2\x82\xAC 5"));
        qx::vector<qxRegistryValue> values;
        r.getValues(values);
        ASSERT_EQ(values.size(), 1);
        EXPECT_EQ(values[0].getName(), path("pr\xC3\xAEx"));
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    const std::u16string text = fileText(read("HKEY_CURRENT_USER.reg"));
    EXPECT_NE(text.find(u"[HKEY_CURRENT_USER\\\u20ac\u20ac]"), std::u16string::npos);
    EXPECT_NE(text.find(u"\"pr\u00eex\"=\"\u20ac 5\""), std::u16string::npos);
}

// Values of every type under one key, for the registry editor to import
// (scripts/test-all.sh imports the file into a Wine prefix with Wine's own
// regedit and reads every value back): written to $QX_REGEDIT_CHECK_FILE
// when that is set.
TEST_F(RegistryStore, WritesAFileForTheEditor) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    const bool utf8 =
        std::setlocale(LC_CTYPE, "C.UTF-8") || std::setlocale(LC_CTYPE, "en_US.UTF-8");
    {
        qxRegistry r(path("HKEY_CURRENT_USER"));
        r.createKey(path("Software\\qxbase-regedit-check"), false, path("Check"));
        const auto put = [&](const char* name, qxRegistryValue v) { r.setValue(path(name), v); };
        using V = qxRegistryValue;
        std::string binary;
        for (int i = 0; i < 200; ++i) binary.push_back(static_cast<char>(i * 37));
        const auto raw = [](const std::string& b) {
            return reinterpret_cast<const unsigned char*>(b.data());
        };
        put("", V(IString(), V::Text, path("the default")));
        put("text", V(IString(), V::Text, path("plain text")));
        put("quotes \"and\" back\\slashes", V(IString(), V::Text, path("C:\\dir\\\"x\"")));
        put("empty", V(IString(), V::Text, IString()));
        put("accented", V(IString(), V::Text, path(utf8 ? "caf\xC3\xA9 na\xC3\xAFve" : "cafe")));
        put("euro", V(IString(), V::Text, path(utf8 ? "5 \xE2\x82\xAC" : "5 EUR")));
        put("expand", V(IString(), V::ExpandText, path("%SystemRoot%\\system32")));
        put("dword", V(IString(), V::DWord, 0xDEADBEEFu));
        put("dword le", V(IString(), V::DWordLittleEndian, 1u));
        put("dword be", V(IString(), V::DWordBigEndian, 0x01020304u));
        put("binary", V(IString(), V::Bytes, raw(binary), binary.size()));
        put("binary empty", V(IString(), V::Bytes));
        const std::string multi("alpha\0\0beta\0gamma\0\0", 19);
        put("multi", V(IString(), V::MultiText, raw(multi), multi.size()));
        put("none", V(IString(), V::NoType, raw(binary), 5));
        put("none empty", V(IString(), V::NoType));
        put("link", V(IString(), V::Link, raw(binary), 8));
        put("resources", V(IString(), V::ResourceList, raw(binary), 30));
        r.createKey(path("sub key\\deeper [1]"), false);
        put("in deeper", V(IString(), V::DWord, 42u));
        r.createKey(path("HKEY_CURRENT_USER\\Software\\qxbase-regedit-check\\empty key"), true);
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    const std::string bytes = read("HKEY_CURRENT_USER.reg");
    size_t bad = 0;
    ASSERT_TRUE(parse(bytes, &bad)) << "line " << bad;
    if (const char* out = std::getenv("QX_REGEDIT_CHECK_FILE")) {
        std::ofstream(out, std::ios::binary) << bytes;
        EXPECT_TRUE(std::filesystem::exists(out));
    }
}

#endif

}  // namespace
