// The library's 48-bit generator. On Linux against the C library's drand48
// family, value for value; on Windows, where the library exports the
// standard names itself, against values the C library of Linux gives.
#include "Components/Base/Utility/qxRand48.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#ifdef _WIN32
#    include <windows.h>
#else
#    include <dlfcn.h>
#endif

namespace {

// The first draws of the process, before any test seeds: the state starts
// at 0, so the first value is the addend over 2^48.
const double g_firstDraw = qxUtil_drand48();
#ifndef _WIN32
const double g_firstCDraw = drand48();
#endif

TEST(Rand48, UnseededStateIsZero) {
    EXPECT_EQ(g_firstDraw, 0xB * 0x1p-48);
#ifndef _WIN32
    EXPECT_EQ(g_firstDraw, g_firstCDraw);
#endif
}

#ifndef _WIN32

const long kSeeds[] = {0, 1, 42, -1, 0x7FFFFFFF, 123456789, LONG_MIN, 0x123456789ABCL};
constexpr int kDraws = 1000000;

TEST(Rand48, MatchesTheCLibrary) {
    for (long seed : kSeeds) {
        qxUtil_srand48(seed);
        srand48(seed);
        for (int i = 0; i < kDraws; ++i) {
            const double ours = qxUtil_drand48(), theirs = drand48();
            ASSERT_EQ(std::memcmp(&ours, &theirs, sizeof ours), 0)
                << "seed " << seed << ", draw " << i << ": " << ours << " " << theirs;
        }
        for (int i = 0; i < kDraws; ++i) ASSERT_EQ(qxUtil_lrand48(), lrand48()) << seed << " " << i;
        // Both kinds of draw advance the one state.
        for (int i = 0; i < 1000; ++i) {
            ASSERT_EQ(qxUtil_lrand48(), lrand48());
            ASSERT_EQ(qxUtil_drand48(), drand48());
        }
    }
}

TEST(Rand48, Seed48AndErand48MatchTheCLibrary) {
    unsigned short words[][3] = {{0, 0, 0}, {1, 2, 3}, {0xFFFF, 0xFFFF, 0xFFFF}, {0x330E, 0, 1}};
    qxUtil_srand48(7);
    srand48(7);
    for (auto& w : words) {
        unsigned short mine[3] = {w[0], w[1], w[2]}, theirs[3] = {w[0], w[1], w[2]};
        const unsigned short* oldOurs = qxUtil_seed48(mine);
        const unsigned short* oldTheirs = seed48(theirs);
        EXPECT_EQ(std::memcmp(oldOurs, oldTheirs, 3 * sizeof(unsigned short)), 0);
        for (int i = 0; i < kDraws / 4; ++i) ASSERT_EQ(qxUtil_drand48(), drand48());
        // The caller's state, advanced in place, with the same multiplier.
        for (int i = 0; i < kDraws / 4; ++i) {
            ASSERT_EQ(qxUtil_erand48(mine), erand48(theirs));
            ASSERT_EQ(std::memcmp(mine, theirs, sizeof mine), 0);
        }
    }
    // seed48 hands back the state from before the call, in the same buffer
    // each time.
    unsigned short a[3] = {5, 6, 7}, b[3] = {8, 9, 10};
    qxUtil_seed48(a);
    unsigned short* first = qxUtil_seed48(b);
    EXPECT_EQ(first[0], 5);
    EXPECT_EQ(first[2], 7);
    EXPECT_EQ(qxUtil_seed48(a), first);
    EXPECT_EQ(first[0], 8);
}

// The standard names stay the C library's: loading the library does not
// put its own generator in their place.
TEST(Rand48, StandardNamesAreNotExported) {
    Dl_info ours{}, standard{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&qxUtil_drand48), &ours), 0);
    for (const char* name : {"drand48", "erand48", "lrand48", "srand48", "seed48"}) {
        void* found = dlsym(RTLD_DEFAULT, name);
        ASSERT_NE(found, nullptr) << name;
        ASSERT_NE(dladdr(found, &standard), 0) << name;
        EXPECT_STRNE(standard.dli_fname, ours.dli_fname) << name;
        void* library = dlopen(ours.dli_fname, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(library, nullptr);
        // Looked up through the library, the name still leads out of it.
        void* viaLibrary = dlsym(library, name);
        EXPECT_EQ(viaLibrary, found) << name;
        dlclose(library);
    }
}

#else

// Values of the C library of Linux (glibc 2.36) for the same calls.
TEST(Rand48, StandardNamesAreTheLibrarysGenerator) {
    srand48(42);
    EXPECT_EQ(drand48(), 0x1.7d32617ca202p-1);
    EXPECT_EQ(qxUtil_drand48(), 0x1.5eed22ed8dep-2);  // one state behind both names
    EXPECT_EQ(drand48(), 0x1.c7015c72a23p-4);
    EXPECT_EQ(lrand48(), 906966006);
    EXPECT_EQ(qxUtil_lrand48(), 174184913);
    EXPECT_EQ(lrand48(), 1839192415);
    unsigned short s[3] = {1, 2, 3};
    const unsigned short* old = seed48(s);
    EXPECT_EQ(old[0], 61436);
    EXPECT_EQ(old[1], 45759);
    EXPECT_EQ(old[2], 56127);
    EXPECT_EQ(drand48(), 0x1.c49aaf1b99ep-2);
    unsigned short e[3] = {0x1234, 0x5678, 0x9abc};
    EXPECT_EQ(erand48(e), 0x1.257a45a9e0bcp-2);

    HMODULE library = GetModuleHandleA("qxbase.dll");
    ASSERT_NE(library, nullptr);
    for (const char* name : {"drand48", "erand48", "lrand48", "srand48", "seed48"})
        EXPECT_NE(reinterpret_cast<void*>(GetProcAddress(library, name)), nullptr) << name;
}

#endif

}  // namespace
