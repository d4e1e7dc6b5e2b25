// Memory streams on the heap and in moveable chunks: block sizes, reads in
// pieces, the messages, and blocks handed over.
#include "scratch_dir.h"
#include "os/memory/qxMemoryIOStream.h"
#include "os/memory/qxMoveableMemory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qxOS::MemoryIOStream;

std::vector<unsigned char> pattern(size_t n) {
    std::vector<unsigned char> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i * 13 + i / 251);
    return v;
}

// Writes 10000 bytes in two calls and reads them back in pieces of 3000.
void roundTrip(MemoryIOStream& s) {
    const std::vector<unsigned char> data = pattern(10000);
    size_t done = 99;
    EXPECT_EQ(s.write(data.data(), 10, &done).num(), 1);
    EXPECT_STREQ(s.write(data.data(), 10, &done).message(), "Stream not open for write");
    EXPECT_EQ(done, 99u);

    s.openForWrite();
    EXPECT_FALSE(s.write(data.data(), 0, &done));
    EXPECT_TRUE(s.getBlocks().empty());
    EXPECT_STREQ(s.read(nullptr, 1, &done).message(), "Stream is not open for read");
    ASSERT_FALSE(s.write(data.data(), 6000, &done));
    EXPECT_EQ(done, 6000u);
    ASSERT_FALSE(s.write(data.data() + 6000, 4000, nullptr));
    s.close();
    ASSERT_EQ(s.getBlocks().size(), 3);
    std::vector<uint64_t> sizes;
    for (const auto& b : s.getBlocks()) sizes.push_back(b->getSize());
    EXPECT_EQ(sizes, (std::vector<uint64_t>{4096, 4096, 1808}));
    EXPECT_EQ(s.getSize(), 10000u);

    s.openForRead();
    EXPECT_STREQ(s.write(data.data(), 1, nullptr).message(), "Stream not open for write");
    std::vector<unsigned char> back(10000);
    size_t at = 0;
    for (size_t want : {3000u, 3000u, 3000u, 1000u}) {
        ASSERT_FALSE(s.read(back.data() + at, 3000, &done));
        EXPECT_EQ(done, want);
        at += done;
    }
    const qxUtil::Error eof = s.read(back.data(), 3000, &done);
    EXPECT_EQ(eof.num(), 1);
    EXPECT_STREQ(eof.message(), "EOF");
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(back, data);
    EXPECT_STREQ(s.read(back.data(), 0, &done).message(), "EOF");
    s.close();
}

TEST(MemoryStream, HeapBlocks) {
    MemoryIOStream s;
    roundTrip(s);

    MemoryIOStream::BlockList taken;
    s.releaseBlocks(taken);
    EXPECT_EQ(s.getSize(), 0u);
    EXPECT_EQ(taken.size(), 3);
    MemoryIOStream other(4096, nullptr);
    other.setBlocks(taken);
    EXPECT_TRUE(taken.empty());
    EXPECT_EQ(other.getSize(), 10000u);
    other.openForRead();
    std::vector<unsigned char> back(10000);
    size_t done = 0;
    ASSERT_FALSE(other.read(back.data(), back.size(), &done));
    EXPECT_EQ(done, 10000u);
    EXPECT_EQ(back, pattern(10000));

    // Reopening for writing starts afresh.
    other.openForWrite();
    other.close();
    EXPECT_EQ(other.getSize(), 0u);
}

using MoveableStream = ScratchDir;

TEST_F(MoveableStream, ChunkBlocksMapOneAtATime) {
    qxOS::MoveableMemory memory;
    ASSERT_TRUE(memory.initializeFiles(windows(""), qxString::IString("stream")));
    qxOS::MoveableAllocator alloc(memory);
    {
        MemoryIOStream s(4096, &alloc);
        roundTrip(s);
        for (const auto& b : s.getBlocks()) EXPECT_EQ(b->getData(), nullptr) << "unmapped";
        EXPECT_EQ(alloc.getNumAllocated(), 3);
    }
    EXPECT_EQ(alloc.getNumAllocated(), 0);
}

}  // namespace
