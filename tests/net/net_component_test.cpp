#include "net/net_component.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace corvasse {
namespace {

TEST(NetComponentTest, StatusTextsCarryTheirArgument) {
    NetComponent component;
    std::vector<std::pair<Status, std::string>> seen;
    component.ReportStatus(Status::Connected);  // no handler: nothing happens
    component.OnStatus = [&](Status status, const std::string& text) { seen.emplace_back(status, text); };
    component.ReportStatus(Status::Resolving, "example.org");
    component.ReportStatus(Status::Connecting, "127.0.0.1");
    component.ReportStatus(Status::Connected);
    component.ReportStatus(Status::Disconnecting);
    component.ReportStatus(Status::Disconnected);
    component.ReportStatus(Status::StatusText, "Chunk Started");
    component.ReportStatus(Status::StatusText);
    EXPECT_EQ(seen, (std::vector<std::pair<Status, std::string>>{
                        {Status::Resolving, "Resolving hostname example.org."},
                        {Status::Connecting, "Connecting to 127.0.0.1."},
                        {Status::Connected, "Connected."},
                        {Status::Disconnecting, "Disconnecting."},
                        {Status::Disconnected, "Disconnected."},
                        {Status::StatusText, "Chunk Started"},
                        {Status::StatusText, ""},
                    }));
}

TEST(NetComponentTest, NestedBracketsFireBeginAndEndOnceWithRunningTotals) {
    NetComponent component;
    std::vector<std::string> events;
    component.OnWorkBegin = [&](WorkMode mode, int64_t max) {
        events.push_back(std::string(mode == WorkMode::Read ? "R" : "W") + " begin " + std::to_string(max));
    };
    component.OnWork = [&](WorkMode mode, int64_t count) {
        events.push_back(std::string(mode == WorkMode::Read ? "R" : "W") + " " + std::to_string(count));
    };
    component.OnWorkEnd = [&](WorkMode mode) { events.push_back(mode == WorkMode::Read ? "R end" : "W end"); };

    component.AdvanceWork(WorkMode::Read, 5);  // outside any bracket: nothing
    component.StartWork(WorkMode::Read, 100);
    component.AdvanceWork(WorkMode::Read, 10);
    component.StartWork(WorkMode::Read, 7);  // nested: keeps the outer maximum
    component.AdvanceWork(WorkMode::Read, 20);
    component.AdvanceWork(WorkMode::Write, 3);  // the other mode has no bracket
    component.FinishWork(WorkMode::Read);
    component.AdvanceWork(WorkMode::Read, 1);
    component.FinishWork(WorkMode::Read);
    component.FinishWork(WorkMode::Read);  // unmatched: no event, level stays 0
    component.StartWork(WorkMode::Write, 0);
    component.AdvanceWork(WorkMode::Write, 4);
    component.FinishWork(WorkMode::Write);

    EXPECT_EQ(events,
              (std::vector<std::string>{"R begin 100", "R 10", "R 30", "R 31", "R end", "W begin 0", "W 4", "W end"}));
    EXPECT_EQ(component.WorkLevel(WorkMode::Read), 0);
    component.StartWork(WorkMode::Read, 1);
    EXPECT_EQ(component.WorkCount(WorkMode::Read), 0) << "a new bracket starts counting afresh";
}

TEST(NetComponentTest, ThrowingEndHandlerStillClosesTheBracket) {
    NetComponent component;
    component.OnWorkEnd = [](WorkMode) { throw std::runtime_error("handler failed"); };
    component.StartWork(WorkMode::Write, 1);
    EXPECT_THROW(component.FinishWork(WorkMode::Write), std::runtime_error);
    EXPECT_EQ(component.WorkLevel(WorkMode::Write), 0);
}

}  // namespace
}  // namespace corvasse
