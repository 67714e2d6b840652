#include "common/file_descriptor.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace corvasse {
namespace {

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

int OpenNull() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

TEST(FileDescriptorTest, ClosesWhatItHoldsExactlyOnce) {
    int first;
    {
        FileDescriptor owner(OpenNull());
        first = owner.Get();
        ASSERT_TRUE(owner.Valid());
        FileDescriptor moved(std::move(owner));
        EXPECT_FALSE(owner.Valid()) << "the source gives the descriptor up";
        EXPECT_EQ(moved.Get(), first);

        FileDescriptor other(OpenNull());
        const int second = other.Get();
        other = std::move(moved);
        EXPECT_FALSE(IsOpen(second)) << "assigning closes what was held before";
        EXPECT_EQ(other.Get(), first);
        EXPECT_TRUE(IsOpen(first));
    }
    EXPECT_FALSE(IsOpen(first)) << "the last owner closed it";

    FileDescriptor closed(OpenNull());
    EXPECT_EQ(closed.Close(), 0);
    EXPECT_FALSE(closed.Valid());
    const int reused = OpenNull();  // most likely the same number again
    EXPECT_EQ(closed.Close(), 0) << "nothing left to close";
    EXPECT_TRUE(IsOpen(reused)) << "a second Close must not close a number handed out since";
    ::close(reused);

    FileDescriptor released(OpenNull());
    const int kept = released.Release();
    EXPECT_FALSE(released.Valid());
    EXPECT_TRUE(IsOpen(kept));
    ::close(kept);

    EXPECT_FALSE(FileDescriptor(-5).Valid());
    EXPECT_EQ(FileDescriptor(-5).Get(), -1);
}

TEST(FileDescriptorTest, CloseReportsAFailure) {
    const int fd = OpenNull();
    FileDescriptor owner(fd);
    ::close(fd);  // closed behind the owner's back
    errno = 0;
    EXPECT_EQ(owner.Close(), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(owner.Valid());
}

}  // namespace
}  // namespace corvasse
