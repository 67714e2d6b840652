#include "app/activity_log.h"


#include <gtest/gtest.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace corvasse {
namespace {

using test::ReadFile;

class ActivityLogTest : public ::testing::Test {
protected:
    test::TempDir temp_;
    test::ScopedWorkingDir cwd_{temp_.Path()};
    ActivityLog log_;
};

TEST_F(ActivityLogTest, AppendsRecordsEndedByCrLfInTheWorkingDirectory) {
    log_.AppendLogLine("first");
    log_.AppendLogLine("report\nwith lines\n\f");
    log_.AppendLogLine("");
    EXPECT_EQ(ReadFile(temp_.Path() / "Corvasse.log"), "first\r\nreport\nwith lines\n\f\r\n\r\n");
    EXPECT_EQ(log_.FullPath(), temp_.Path() / "Corvasse.log");
}

TEST_F(ActivityLogTest, EveryByteButNothingElseIsWritten) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    log_.AppendLogLine(all);
    EXPECT_EQ(ReadFile("Corvasse.log"), all + "\r\n");
}

TEST_F(ActivityLogTest, ClearTruncatesOrCreatesAndAppendingGoesOn) {
    log_.Clear();
    EXPECT_EQ(ReadFile("Corvasse.log"), "");
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
    try {
        log_.ReadAll();
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + (temp_.Path() / "Corvasse.log").string() + "\". No such file or directory");
    }
}

TEST_F(ActivityLogTest, FullDiskIsReportedAsDiskFull) {
    std::filesystem::create_symlink("/dev/full", "Corvasse.log");
    try {
        log_.AppendLogLine("x");
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.Code, 101);
        EXPECT_STREQ(e.what(), "Disk full");
    }
}

TEST_F(ActivityLogTest, UnwritablePlacesAreReportedWithTheirTexts) {
    std::filesystem::create_directory("Corvasse.log");  // a folder where the file should be
    try {
        log_.AppendLogLine("x");
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "File access denied");
    }
    try {
        log_.Clear();
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + (temp_.Path() / "Corvasse.log").string() +
                                                  "\". ",
                                              0),
                  0u);
    }
    ActivityLog inMissingFolder("no/such/folder/Corvasse.log");
    try {
        inMissingFolder.AppendLogLine("x");
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
}

}  // namespace
}  // namespace corvasse
