// The fixture of the tests that need the disk: a fresh directory under the
// system's temporary directory for each test, removed afterwards (with its
// write bits given back first, since tests make files read-only), and the
// working directory put back as it was.
#ifndef QXBASE_TESTS_SCRATCH_DIR_H
#define QXBASE_TESTS_SCRATCH_DIR_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

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

    std::filesystem::path cwd_;
    std::filesystem::path dir_;
};

#endif
