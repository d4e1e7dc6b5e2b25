// OSTREL_PROTECTED_WRITE_USE_COPY chooses the copy strategy for the whole
// process, read once: a process of its own, since any write that asked
// before would have fixed the answer.
#include "env_var.h"
#include "qxbase.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

namespace {

using qxOS::Filename;
using qxOS::ProtectedWrite;

class ProtectedWriteEnv : public ScratchDir {};

TEST_F(ProtectedWriteEnv, CopyStrategyFromTheEnvironment) {
    std::filesystem::create_directory(dir_ / "tmp");
    const std::string tmp = (dir_ / "tmp").string();
    EnvVar a("TMPDIR", tmp.c_str()), b("TMP", tmp.c_str()), c("TEMP", tmp.c_str());
    const Filename tmpName(windows("tmp"));
    {
        EnvVar copy("OSTREL_PROTECTED_WRITE_USE_COPY", "1");
        ProtectedWrite w(Filename(windows("main")));
        ASSERT_TRUE(w.init());
        EXPECT_EQ(w.getTempFilename().dirname().compare(tmpName.name()), 0);
    }
    // Unset now, but the answer holds for the life of the process.
    ProtectedWrite w(Filename(windows("main")));
    ASSERT_TRUE(w.init());
    EXPECT_EQ(w.getTempFilename().dirname().compare(tmpName.name()), 0);
    write("content", "new");
    ASSERT_FALSE(qxOS::fileCopy(Filename(windows("content")), w.getTempFilename(), false));
    ASSERT_TRUE(w.finalize());
    EXPECT_EQ(read("main"), "new");
}

}  // namespace
