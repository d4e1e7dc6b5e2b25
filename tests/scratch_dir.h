// The fixture of the tests that need the disk: a fresh directory under the
// system's temporary directory for each test, removed afterwards (with its
// write bits given back first, since tests make files read-only), and the
// working directory put back as it was.
#ifndef QXBASE_TESTS_SCRATCH_DIR_H
#define QXBASE_TESTS_SCRATCH_DIR_H

#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"
#include "string/qxString.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#    include <windows.h>
#endif

class ScratchDir : public testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        cwd_ = fs::current_path();
        dir_ =
            fs::canonical(fs::temp_directory_path()) /
            ("qx_" + std::string(info->test_suite_name()) + "_" +
             std::to_string(testing::UnitTest::GetInstance()->random_seed()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        namespace fs = std::filesystem;
#ifdef _WIN32
        // Wine cannot remove the host's links, and a walk of the tree would
        // go round a loop of them: the host removes it all.
        if (hostLinks_)
            hostShell("rm -rf \\\"$1\\\"", {dir_},
                      dir_.parent_path() / (dir_.filename().string() + ".done"));
#endif
        std::error_code ec;
        fs::current_path(cwd_, ec);
        // Incremented by hand: a tree past the path limit must not throw here.
        for (fs::recursive_directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        ec.clear();
        fs::remove_all(dir_, ec);
    }

    void write(const std::string& rel, const std::string& bytes) {
        std::ofstream(dir_ / rel, std::ios::binary) << bytes;
    }
    std::string read(const std::string& rel) {
        std::ifstream in(dir_ / rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Every write bit cleared: read-only on Windows, and for root too here.
    void makeReadOnly(const std::string& rel) {
        namespace fs = std::filesystem;
        fs::permissions(dir_ / rel,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }

    // A symbolic link rel to target, both relative to the directory; false
    // when no link can be made here. Wine makes none through the system
    // call, so there the host's shell makes a Unix one (hostLinks_ set),
    // which Wine shows as a reparse point when it leads to a directory and
    // as the file itself when it leads to a file.
    bool makeLink(const std::string& target, const std::string& rel, bool directory) {
        const int rc =
            qx::sys::makeSymbolicLink(windows(target).asWChar(), windows(rel).asWChar(), directory);
#ifdef _WIN32
        if (rc == qx::sys::kErrorNotSupported && (hostLinks_ = true))
            return hostShell("ln -s \\\"$1\\\" \\\"$2\\\"", {dir_ / target, dir_ / rel},
                             dir_ / "link.done");
#endif
        return rc == 0;
    }

    std::filesystem::path cwd_;
    std::filesystem::path dir_;
    bool hostLinks_ = false;  // links of the host's shell, under Wine

    // The scratch path rel in the library's Windows shape.
    qxString::IString windows(const std::string& rel) const {
        std::string s = (dir_ / rel).u8string();
        for (char& c : s)
            if (c == '/') c = '\\';
        return qxString::IString(s.c_str(), qxString::EncodingUTF8);
    }

private:

#ifdef _WIN32
    // Under Wine: runs a command of the host's shell on the Unix names of
    // the given paths ($1, $2, ...) and waits for it (Wine does not wait for
    // a Unix process, so a marker file tells). False on Windows itself.
    static bool hostShell(const std::string& script,
                          const std::vector<std::filesystem::path>& paths,
                          const std::filesystem::path& marker) {
        namespace fs = std::filesystem;
        using ToUnix = char*(CDECL*)(LPCWSTR);
        const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        if (!toUnix) return false;
        auto quoted = [&](const fs::path& p) {
            char* u = toUnix(fs::absolute(p).wstring().c_str());
            std::wstring q = L"\"";
            for (const char* c = u; c && *c; ++c)
                q += static_cast<wchar_t>(static_cast<unsigned char>(*c));
            HeapFree(GetProcessHeap(), 0, u);
            return q + L"\"";
        };
        std::wstring cmd = L"sh -c \"" + std::wstring(script.begin(), script.end()) +
                           L" && touch \\\"$0\\\"\" " + quoted(marker);
        for (const fs::path& p : paths) cmd += L" " + quoted(p);
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi;
        if (!CreateProcessW(L"Z:\\bin\\sh", &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &pi))
            return false;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        std::error_code ec;
        for (int i = 0; i < 500; ++i, Sleep(10))
            if (fs::exists(marker, ec)) return fs::remove(marker, ec);
        return false;
    }
#endif
};

#endif
