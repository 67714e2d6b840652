#include "app/view/activity_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/expect_throw.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

using test::ExpectThrowWithMessage;
using test::ReadFile;

class ActivityLogTest : public ::testing::Test {
protected:
    test::TempDir temp_;
    const std::filesystem::path file_ = temp_.Path() / "Corvasse.log";
    ActivityLog log_{file_};
};

TEST_F(ActivityLogTest, AppendsRecordsEndedByCrLfInTheWorkingDirectory) {
    // The name the log has unless it is given another.
    test::ScopedWorkingDir cwd(temp_.Path());
    ActivityLog log;
    log.AppendLogLine("first");
    log.AppendLogLine("report\nwith lines\n\f");
    log.AppendLogLine("");
    EXPECT_EQ(ReadFile(file_), "first\r\nreport\nwith lines\n\f\r\n\r\n");
    EXPECT_EQ(log.FullPath(), file_);
}

TEST_F(ActivityLogTest, EveryByteButNothingElseIsWritten) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    log_.AppendLogLine(all);
    EXPECT_EQ(ReadFile(file_), all + "\r\n");
}

TEST_F(ActivityLogTest, ClearTruncatesOrCreatesAndAppendingGoesOn) {
    log_.Clear();
    EXPECT_EQ(ReadFile(file_), "");
    log_.AppendLogLine("a");
    log_.Clear();
    log_.AppendLogLine("b");
    EXPECT_EQ(log_.ReadAll(), "b\r\n");
}

TEST(ActivityLogViewerTextTest, EndsWithASpaceLineAndTheMarker) {
    EXPECT_EQ(ActivityLog::ViewerText(""), " \n--- End of File --");
    EXPECT_EQ(ActivityLog::ViewerText("a\r\nb\r\n"), "a\r\nb\n \n--- End of File --");
    EXPECT_EQ(ActivityLog::ViewerText("a\r\n\r\n"), "a\r\n\n \n--- End of File --");
    EXPECT_EQ(ActivityLog::ViewerText("no line end"), "no line end\n \n--- End of File --");
}

TEST_F(ActivityLogTest, MissingFileCannotBeOpenedForViewing) {
    ExpectThrowWithMessage<IoError>([&] { log_.ReadAll(); },
                                    "Cannot open file \"" + file_.string() + "\". No such file or directory");
}

TEST_F(ActivityLogTest, FullDiskIsReportedAsDiskFull) {
    std::filesystem::create_symlink("/dev/full", file_);
    const auto error = ExpectThrowWithMessage<IoError>([&] { log_.AppendLogLine("x"); }, "Disk full");
    if (error) {
        EXPECT_EQ(error->Code, 101);
    }
}

TEST_F(ActivityLogTest, UnwritablePlacesAreReportedWithTheirTexts) {
    std::filesystem::create_directory(file_);  // a folder where the file should be
    ExpectThrowWithMessage<IoError>([&] { log_.AppendLogLine("x"); }, "File access denied");
    EXPECT_THAT([&] { log_.Clear(); }, testing::ThrowsMessage<IoError>(
                                           testing::StartsWith("Cannot create file \"" + file_.string() + "\". ")));
    ActivityLog inMissingFolder(temp_.Path() / "no/such/folder/Corvasse.log");
    ExpectThrowWithMessage<IoError>([&] { inMissingFolder.AppendLogLine("x"); }, "File not found");
}

}  // namespace
}  // namespace corvasse
