// Machine and process figures, the processor-count overrides, UUIDs and the
// locale switch.
#include "env_var.h"
#include "os/app/qxLocale.h"
#include "os/app/qxSysInfo.h"
#include "os/app/qxUuid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

using qxOS::Locale;
using qxOS::SysInfo;
using qxOS::Uuid;
using qxString::CString;

TEST(SysInfo, MachineFiguresAreConsistent) {
    SysInfo& info = qxOS::sysInfo();
    const uint64_t page = SysInfo::getPageSize();
    EXPECT_GE(page, 4096u);
    EXPECT_EQ(page & (page - 1), 0u);
    EXPECT_EQ(info.pageSize(), page);

    const uint64_t total = info.totalPhysicalMemory(), avail = info.availPhysicalMemory();
    EXPECT_GT(avail, 0u);
    EXPECT_LE(avail, total);
    uint64_t vTotal = 0, vAvail = 0;
    info.getSwapInfo(&vTotal, &vAvail);
    EXPECT_GT(vAvail, 0u);
    EXPECT_LE(vAvail, vTotal);
    EXPECT_EQ(info.totalVirtualMemory(), vTotal);
    info.getSwapInfo(nullptr, nullptr);

    EXPECT_GE(info.numCPUs(), 1u);
    EXPECT_GE(info.numPhysicalCPUs(), 1u);
    EXPECT_LE(info.numPhysicalCPUs(), info.numCPUs());

    const char* host = info.hostname();
    ASSERT_NE(host, nullptr);
    EXPECT_GT(std::strlen(host), 0u);
    EXPECT_LE(std::strlen(host), 15u);
    EXPECT_EQ(info.hostname(), host) << "cached";
    EXPECT_GT(info.getProcessID(), 0);
}

// A fresh object reads the variables again; the shared one has cached them.
TEST(SysInfo, ProcessorOverridesCanOnlyLower) {
    EnvVar cpus("QX_NUM_CPUS", nullptr), phys("QX_NUM_PHYS_CPUS", nullptr);
    const unsigned base = SysInfo().numCPUs();
    ASSERT_GE(base, 1u);
    EXPECT_EQ(SysInfo().numPhysicalCPUs(), base);

    const std::string same = std::to_string(base), more = std::to_string(base * 2);
    for (const char* value : {same.c_str(), more.c_str(), "0", "-3", "many", ""}) {
        cpus.set(value);
        EXPECT_EQ(SysInfo().numCPUs(), base) << "QX_NUM_CPUS=" << value;
        phys.set(value);
        EXPECT_EQ(SysInfo().numPhysicalCPUs(), base) << "QX_NUM_PHYS_CPUS=" << value;
    }
    if (base < 2) GTEST_SKIP() << "one processor: nothing to lower";

    cpus.set("1");
    phys.set(nullptr);
    SysInfo one;
    EXPECT_EQ(one.numCPUs(), 1u);
    EXPECT_EQ(one.numPhysicalCPUs(), 1u) << "starts from the lowered count";
    cpus.set(nullptr);
    phys.set("1");
    SysInfo onePhysical;
    EXPECT_EQ(onePhysical.numCPUs(), base);
    EXPECT_EQ(onePhysical.numPhysicalCPUs(), 1u);
}

TEST(SysInfo, UserNameFromTheEnvironment) {
    EnvVar userName("USERNAME", "alice"), user("USER", "bob");
    EXPECT_STREQ(SysInfo().username(), "alice");
    userName.set(nullptr);
    EXPECT_STREQ(SysInfo().username(), "bob");
    user.set(nullptr);
    SysInfo info;
    EXPECT_EQ(info.username(), nullptr);
    user.set("carol");
    EXPECT_STREQ(info.username(), "carol") << "a missing name is not cached";
    user.set("dave");
    EXPECT_STREQ(info.username(), "carol") << "a found one is";
}

TEST(Uuid, TextForm) {
    const Uuid u(1, 2, 3, 10);
    EXPECT_EQ(std::string(u.asString().c_str()), "00000001-00000002-00000003-0000000a");
    EXPECT_EQ(Uuid(CString("00000001-00000002-00000003-0000000a")), u);
    EXPECT_EQ(Uuid(CString("00000001-00000002-00000003-0000000A")), u);
    const Uuid big(0xFEDCBA98u, 0x76543210u, 0xFFFFFFFFu, 0x80000000u);
    EXPECT_EQ(Uuid(big.asString()), big);

    for (const char* bad : {"00000001-00000002-00000003-0000000a0",  // 36 characters
                            "00000001-00000002-00000003-0000000",    // 34
                            "0000001-000000002-00000003-0000000a",   // dash moved
                            "00000001-00000002-00000003+0000000a",   // not a dash
                            "0000000g-00000002-00000003-0000000a",   // not hexadecimal
                            " 0000001-00000002-00000003-0000000a",   // blank
                            "+0000001-00000002-00000003-0000000a",   // sign
                            ""}) {
        EXPECT_FALSE(Uuid(CString(bad)).valid()) << bad;
    }
}

TEST(Uuid, WordsBytesSetAndOrder) {
    const unsigned char bytes[16] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                                     0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f, 0x10};
    const Uuid u(bytes);
    EXPECT_EQ(u.get()[0], 0x01020304u);
    EXPECT_EQ(u.get()[3], 0x0d0e0f10u);
    unsigned char back[16];
    u.get(back);
    EXPECT_EQ(std::memcmp(back, bytes, 16), 0);

    Uuid v;
    EXPECT_FALSE(v.valid());
    const uint32_t words[4] = {5, 6, 7, 8};
    EXPECT_TRUE(v.set(words));
    const uint32_t other[4] = {9, 9, 9, 9};
    EXPECT_FALSE(v.set(other));
    uint32_t out[4];
    v.get(out);
    EXPECT_EQ(std::memcmp(out, words, sizeof out), 0);

    // Bytes as they lie in memory, each word little-endian.
    EXPECT_LT(Uuid(0x100, 0, 0, 0), Uuid(0x1, 0, 0, 0));
    EXPECT_LT(Uuid(0, 0, 0, 0xFF), Uuid(1, 0, 0, 0));
    EXPECT_EQ(Uuid(0x100, 0, 0, 0).compare(Uuid(0x1, 0, 0, 0)), -1);
    EXPECT_EQ(u.compare(Uuid(bytes)), 0);
    EXPECT_NE(u, Uuid());
}

TEST(Uuid, GeneratedValuesAreRandomVersion4) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        Uuid u;
        ASSERT_TRUE(u.generate());
        ASSERT_TRUE(u.valid());
        const uint32_t* w = u.get();
        EXPECT_EQ(w[1] >> 28, 4u) << "version";
        EXPECT_EQ(w[2] & 0xC0u, 0x80u) << "variant";
        EXPECT_TRUE(seen.insert(u.asString().c_str()).second) << "repeated";
    }
}

class LocaleTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_FALSE(qxOS::appLocale().setDefault()); }
};

TEST_F(LocaleTest, BadSpecificationsChangeNothing) {
    Locale& locale = qxOS::appLocale();
    const std::string name = locale.getName().c_str();
    const std::string id = locale.getSystemIDName().c_str();
    const bool wasDefault = locale.isDefault();

    qxUtil::Error e = locale.setLocale("zz");
    EXPECT_EQ(e.num(), 1);
    EXPECT_STREQ(e.message(), "Cannot interpret LCID zz as hex or integer code");
    e = locale.setLocale("0");
    EXPECT_STREQ(e.message(), "Cannot interpret LCID 0 as hex or integer code");
    e = locale.setLocale("99999");
    EXPECT_EQ(e.num(), 1);
    EXPECT_STREQ(e.message(), "LCID 99999 is not a supported locale");

    EXPECT_EQ(locale.getName().c_str(), name);
    EXPECT_EQ(locale.getSystemIDName().c_str(), id);
    EXPECT_EQ(locale.isDefault(), wasDefault);
}

TEST_F(LocaleTest, EnglishByEveryNameAndBack) {
    Locale& locale = qxOS::appLocale();
    ASSERT_FALSE(locale.setDefault());
    const std::string startName = locale.getName().c_str();
    EXPECT_TRUE(locale.isDefault());

    for (const char* spec : {"english", "ENGLISH", "English_Default", "0x0409", "1033"}) {
        SCOPED_TRACE(spec);
        const qxUtil::Error e = locale.setLocale(spec);
        ASSERT_FALSE(e) << e.message();
        EXPECT_STREQ(locale.getSystemIDName().c_str(), "0x0409");
        EXPECT_STREQ(locale.getISOLangID().c_str(), "en");
        EXPECT_STREQ(locale.getISOCountryID().c_str(), "US");
        EXPECT_STREQ(locale.getISOLangCountryID().c_str(), "en_US");
        EXPECT_STREQ(locale.getCodeSet().c_str(), "1252");
        const std::string name = locale.getName().c_str();
        EXPECT_EQ(name.substr(name.size() - 8), "(0x0409)");
        EXPECT_EQ(std::string(locale.getDescription().c_str()), name + " (LCID:0x0409)");
        EXPECT_FALSE(locale.isDefault());
    }

    ASSERT_FALSE(locale.setDefault());
    EXPECT_TRUE(locale.isDefault());
    EXPECT_EQ(locale.getName().c_str(), startName);
}

// A locale the system may lack: switched to, or the documented refusal, and
// either way no longer the start-up settings.
TEST_F(LocaleTest, MissingLocaleIsReportedAsNotInstalled) {
    Locale& locale = qxOS::appLocale();
    const qxUtil::Error e = locale.setLocale("0x0407");
    if (e) {
        EXPECT_EQ(e.num(), 2);
        EXPECT_STREQ(e.message(), "Locale is supported but not installed");
    } else {
        EXPECT_STREQ(locale.getSystemIDName().c_str(), "0x0407");
        EXPECT_STREQ(locale.getISOLangCountryID().c_str(), "de_DE");
    }
    EXPECT_FALSE(locale.isDefault());
}

}  // namespace
