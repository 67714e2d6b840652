// The manual pages as man shows them: rendered without a warning, and
// naming every option that each program's --help names.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

constexpr int kRunTimeoutMs = 30000;

struct Rendering {
    std::optional<int> status;
    std::string output;
    std::string errors;
};

Rendering RunToEnd(const std::vector<std::string>& args) {
    test::TempDir dir;
    test::ChildProcess child(args, dir.Path());
    const std::optional<int> status = child.Wait(kRunTimeoutMs);
    return {status, child.Output(), child.Errors()};
}

// The options a --help text lists at the start of its lines ("  -u, --url URL").
std::set<std::string> HelpOptions(const std::string& help) {
    std::set<std::string> options;
    const std::regex entry(R"(^  (-[a-zA-Z], )?(--[a-z-]+))");
    for (const std::string& line : test::SplitLines(help)) {
        std::smatch match;
        if (!std::regex_search(line, match, entry)) continue;
        if (match[1].matched) options.insert(match[1].str().substr(0, 2));
        options.insert(match[2].str());
    }
    return options;
}

TEST(ManualPagesTest, RenderWithoutWarningsAndNameEveryOption) {
    const struct {
        const char* page;
        const char* program;
    } pages[] = {{"corvasse.1", CORVASSE_BINARY}, {"check_corvasse.1", CHECK_CORVASSE_BINARY}};
    for (const auto& p : pages) {
        SCOPED_TRACE(p.page);
        const std::string file = std::string(CORVASSE_SOURCE_DIR) + "/data/" + p.page;
        const Rendering groff = RunToEnd({"/usr/bin/groff", "-man", "-ww", "-z", file});
        EXPECT_EQ(groff.status, 0);
        EXPECT_EQ(groff.errors, "");
        const Rendering man =
            RunToEnd({"/usr/bin/env", "MANWIDTH=80", "/usr/bin/man", "--warnings", "-E", "UTF-8", "-l", file});
        EXPECT_EQ(man.status, 0);
        EXPECT_EQ(man.errors, "");

        const Rendering help = RunToEnd({p.program, "--help"});
        ASSERT_EQ(help.status, 0);
        const std::set<std::string> options = HelpOptions(help.output);
        EXPECT_GE(options.size(), 5u) << help.output;
        for (const std::string& option : options) {
            // As an option, not as part of a longer one.
            const std::regex named("(^|[^-a-z])" + option + "([^-a-z]|$)");
            EXPECT_TRUE(std::regex_search(man.output, named)) << option;
        }
    }
}

}  // namespace
}  // namespace corvasse
