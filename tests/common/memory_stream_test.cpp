#include "common/memory_stream.h"

#include <gtest/gtest.h>

namespace corvasse {
namespace {

TEST(MemoryStreamTest, WritesAtThePositionAndReadsFromIt) {
    MemoryStream stream;
    stream.Write("hello world");
    stream.SetPosition(6);
    stream.Write("there!");
    EXPECT_EQ(stream.Bytes(), "hello there!");
    stream.SetPosition(3);
    stream.Write("p");
    EXPECT_EQ(stream.Bytes(), "helpo there!") << "an overwrite inside the stream keeps its size";

    stream.SetPosition(6);
    char out[10];
    EXPECT_EQ(stream.Read(out, sizeof out), 6u);
    EXPECT_EQ(std::string(out, 6), "there!");
    EXPECT_EQ(stream.Read(out, sizeof out), 0u);
}

TEST(MemoryStreamTest, SizeGrowsWithZerosAndCutsKeepingThePositionInside) {
    MemoryStream stream(std::string("abc"));
    stream.SetPosition(3);
    stream.SetSize(5);
    EXPECT_EQ(stream.Bytes(), std::string("abc\0\0", 5));
    EXPECT_EQ(stream.Position(), 3);
    stream.SetSize(1);
    EXPECT_EQ(stream.Position(), 1);
    stream.SetPosition(4);
    stream.Write("z");
    EXPECT_EQ(stream.Bytes(), std::string("a\0\0\0z", 5)) << "a write past the end fills the gap";
    EXPECT_EQ(stream.Release(), std::string("a\0\0\0z", 5));
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Position(), 0);
}

}  // namespace
}  // namespace corvasse
