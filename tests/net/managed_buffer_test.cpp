#include "net/managed_buffer.h"

#include <string>

#include <gtest/gtest.h>

#include "common/memory_stream.h"
#include "net/net_error.h"
#include "support/expect_throw.h"

namespace corvasse {
namespace {

TEST(ManagedBufferTest, CompactsOnlyAfterEnoughConsumedBytes) {
    ManagedBuffer buffer;
    int64_t removed = 0;
    buffer.OnRemove = [&](int64_t n) { removed += n; };
    std::string data;
    for (int i = 0; i < 40000; ++i) data += static_cast<char>('a' + i % 26);
    buffer.Append(data.data(), data.size());

    buffer.Remove(kCompactAfterBytes - 1);
    EXPECT_EQ(buffer.ConsumedOffset(), kCompactAfterBytes - 1) << "consumed bytes are skipped, not moved";
    EXPECT_EQ(buffer.View(), std::string_view(data).substr(kCompactAfterBytes - 1));
    EXPECT_EQ(buffer.Extract(1), data.substr(kCompactAfterBytes - 1, 1));
    EXPECT_EQ(buffer.ConsumedOffset(), 0u) << "compacted at the threshold";
    EXPECT_EQ(buffer.View(), std::string_view(data).substr(kCompactAfterBytes));
    EXPECT_EQ(removed, static_cast<int64_t>(kCompactAfterBytes));

    // Appending after a compaction keeps the order of the bytes.
    buffer.Append("XYZ", 3);
    EXPECT_EQ(buffer.View(), data.substr(kCompactAfterBytes) + "XYZ");
    EXPECT_EQ(buffer.Find("XYZ"), data.size() - kCompactAfterBytes);
    EXPECT_EQ(buffer.Find("z", buffer.Size() - 3), std::string_view::npos);
}

TEST(ManagedBufferTest, ExtractBeyondTheSizeRaisesAndKeepsTheBytes) {
    ManagedBuffer buffer;
    buffer.Append("abc", 3);
    test::ExpectThrowWithMessage<NotEnoughDataInBufferError>([&] { buffer.Extract(4); }, "Not enough data in buffer.");
    EXPECT_THROW(buffer.Remove(4), NotEnoughDataInBufferError);
    MemoryStream stream;
    buffer.ExtractTo(stream, 3);
    EXPECT_EQ(stream.Bytes(), "abc");
    EXPECT_TRUE(buffer.Empty());
}

TEST(ManagedBufferTest, ReserveKeepsTheUnreadBytes) {
    // 10 bytes fill the first allocation; 4 consumed leave room for 4 once
    // the unread bytes move to the front, and 100000 need a larger one.
    for (const size_t count : {size_t{4}, size_t{100000}}) {
        ManagedBuffer buffer;
        buffer.Append("0123456789", 10);
        buffer.Remove(4);
        char* room = buffer.Reserve(count);
        room[0] = '!';
        buffer.Commit(1);
        EXPECT_EQ(buffer.View(), "456789!") << count;
        EXPECT_EQ(buffer.ConsumedOffset(), 0u) << count;
    }
}

}  // namespace
}  // namespace corvasse
