// Every socket the suite opens is closed again: on POSIX the process has as
// many descriptors open after the tests as before them. (Under Wine the
// host's /proc/self/fd is reachable too, but counts Wine's own.)
#include "os/sys/qxSysApp.h"
#include "tcp/qxTcpAddress.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

namespace {

int openDescriptors() {
    if (qx::sys::listSeparator() != ':') return -1;  // not POSIX
    std::error_code ec;
    int n = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end;
         it.increment(ec))
        ++n;
    return ec ? -1 : n;
}

class DescriptorCheck : public testing::Environment {
public:
    void SetUp() override {
        // The socket layer's one-time start-up may keep what it needs open.
        qxTCP::isIPv4Usable();
        before_ = openDescriptors();
    }
    void TearDown() override {
        if (before_ < 0) return;
        EXPECT_EQ(before_, openDescriptors()) << "descriptors left open by the TCP tests";
    }

private:
    int before_ = -1;
};

testing::Environment* const s_check = testing::AddGlobalTestEnvironment(new DescriptorCheck);

}  // namespace
