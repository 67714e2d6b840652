// check_corvasse run as a monitoring engine runs it, against a loopback
// nginx, aiosmtpd and a stalled peer.

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "app/settings/settings_store.h"
#include "history/history_store.h"
#include "support/child_process.h"
#include "support/cost_meter.h"
#include "support/loopback.h"
#include "support/nginx_server.h"
#include "support/scoped_environment.h"
#include "support/scripted_peer.h"
#include "support/server_process.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"

namespace corvasse {
namespace {

using Settings = std::map<std::string, std::string>;

constexpr int kRunTimeoutMs = 30000;
constexpr const char* kPage = "<p>Welcome!</p>\n";  // 16 bytes
// "Größe" in UTF-8, and as a settings file written by hand in Latin-1 holds it.
constexpr const char* kUtf8Word =
    "Gr\xC3\xB6\xC3\x9F"
    "e";
constexpr const char* kLatin1Word =
    "Gr\xF6\xDF"
    "e";
// Seconds in the text, and in the performance data (microseconds).
constexpr const char* kTime = R"(\d+\.\d{3})";
constexpr const char* kPerfTime = R"(\d+\.\d{6})";

std::string RegexQuoted(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.?|()*+^$\[\]{}\\])"), R"(\$&)");
}

class WatchCheckTest : public ::testing::Test {
protected:
    WatchCheckTest() {
        web_.WriteFile("page.html", kPage);
        web_.WriteFile("sizes.html", std::string("<p>") + kUtf8Word + "</p>\n");
        web_.WriteFile(std::string(kUtf8Word) + ".html", kPage);
    }

    // "@PAGE@" in the text stands for the page's address, "@WEB@" for the server's.
    std::string Expanded(std::string text) const {
        text = std::regex_replace(text, std::regex("@PAGE@"), web_.Url("/page.html"));
        return std::regex_replace(text, std::regex("@WEB@"), web_.Url(""));
    }

    // Writes the settings file, its values expanded.
    std::filesystem::path WriteSettings(const Settings& values) {
        const std::filesystem::path file = dir_.Path() / "watch.conf";
        std::filesystem::remove(file);
        SettingsStore store = SettingsStore::AtFile(file);
        for (const auto& [key, value] : values) store.WriteSetting("Settings", key, Expanded(value));
        return file;
    }

    // A watch of the page for the text whose alerts go to the mail server at port.
    std::filesystem::path WriteAlertingSettings(const std::string& lookFor, int port, Settings more = {}) {
        more.insert({{"txtLookFor", lookFor},
                     {"checktype", "lookfor"},
                     {"txtSMTPhost", "127.0.0.1"},
                     {"port", std::to_string(port)},
                     {"txtSendTo", "alerts@example.org"},
                     {"txtYourEmail", "me@example.org"}});
        more.insert({"url2watch", "@PAGE@"});
        return WriteSettings(more);
    }

    struct Run {
        std::optional<int> status;
        std::vector<std::string> lines;
        std::string errors;
        long peakResidentKiB = 0;
    };

    // Runs the plugin with the arguments expanded, through /usr/bin/env given
    // the environment.
    Run Check(std::vector<std::string> args, const std::vector<std::string>& environment = {}) {
        for (std::string& arg : args) arg = Expanded(arg);
        args.insert(args.begin(), CHECK_CORVASSE_BINARY);
        if (!environment.empty()) {
            args.insert(args.begin(), environment.begin(), environment.end());
            args.insert(args.begin(), "/usr/bin/env");
        }
        test::ChildProcess child(args, dir_.Path());
        const std::optional<int> status = child.Wait(kRunTimeoutMs);
        return {status, test::SplitLines(child.Output()), child.Errors(), child.PeakResidentKiB()};
    }

    // The run printed the one line that matches the pattern, and the errors.
    static void ExpectOneLine(const Run& run, int status, const std::string& pattern, const std::string& errors = "") {
        EXPECT_EQ(run.status, status);
        ASSERT_EQ(run.lines.size(), 1u) << run.errors;
        EXPECT_TRUE(std::regex_match(run.lines[0], std::regex(pattern))) << run.lines[0];
        EXPECT_EQ(run.errors, errors);
    }

    // Waits for the count of mails the server must have received by now.
    static void ExpectMails(const test::SmtpServer& smtp, size_t count) {
        if (count > 0) {
            ASSERT_TRUE(smtp.WaitForMessages(count)) << smtp.Output();
        }
        EXPECT_EQ(smtp.Messages().size(), count);
    }

    test::TempDir dir_;
    test::NginxServer web_;
};

// A watch from the settings file, from the command line or from both: the
// file is given after the arguments of the row when it has settings.
TEST_F(WatchCheckTest, OneStatusLinePerOutcome) {
    const std::string refused = "http://127.0.0.1:" + std::to_string(test::ClosedPort("127.0.0.1")) + "/";
    // Answers after 300 ms, far past a threshold of 0.1 s however fast the machine.
    const std::string slowResponse = "HTTP/1.1 200 OK\r\nContent-Length: 16\r\n\r\n" + std::string(kPage);
    const std::vector<test::PeerStep> slowAnswer =
        test::peer::Concat({test::peer::ReadLines(5), {test::peer::Sleep(300), test::peer::Send(slowResponse)}});
    test::ScriptedPeer slow(test::peer::Concat({slowAnswer, {test::peer::Accept()}, slowAnswer}));
    const std::string slowPage = "http://127.0.0.1:" + std::to_string(slow.Port()) + "/";
    const std::string web = R"(http://127\.0\.0\.1:\d+/)";
    const std::string page = web + R"(page\.html)";
    const std::string passed = " 16 bytes in " + std::string(kTime) + " s";
    auto perf = [](const std::string& thresholds) {
        return std::string(R"( \| time=)") + kPerfTime + "s" + thresholds + ";0 size=16B;;;0";
    };
    const std::string found = "CORVASSE OK - " + page + passed + perf(";;");
    const std::string goodbyeMissing = "CORVASSE CRITICAL - " + page + R"( did not contain "Goodbye")" + perf(";;");
    const std::string sizeOver = "CORVASSE CRITICAL - " + page + " 16 bytes, more than the expected 15" + perf(";;");
    const std::string notFound = "CORVASSE CRITICAL - " + web + R"(missing\.html: HTTP/1\.1 404 Not Found \| time=)" +
                                 kPerfTime + R"(s;5;;0 size=[1-9]\d*B;;;0)";
    const Settings lookingForGoodbye = {{"url2watch", "http://127.0.0.1:1/other"}, {"txtLookFor", "Goodbye"}};
    // The settings file is read only when the options need it; without HOME
    // the user has none. A folder where it should be cannot be read, even by root.
    const std::string home = (dir_.Path() / "home").string(), unreadable = (dir_.Path() / "unreadable").string();
    std::filesystem::create_directories(unreadable + "/.config/Corvasse/" + kSettingsFileName);
    const std::vector<std::string> atHome = {"-u", "XDG_CONFIG_HOME", "HOME=" + home},
                                   atUnreadable = {"-u", "XDG_CONFIG_HOME", "HOME=" + unreadable},
                                   noHome = {"-u", "XDG_CONFIG_HOME", "-u", "HOME", "-u", "XDG_STATE_HOME"};
    const Settings atPage = {{"url2watch", "@PAGE@"}};
    const std::string unknown = "CORVASSE UNKNOWN - ",
                      noSettings = "no settings file: HOME is not set; name one with --settings",
                      noHistory = "no history file: HOME is not set; name one with --history";
    auto told = [](const std::string& why) { return "check_corvasse: " + why + "\n"; };
    const std::vector<std::string> given = {"-u", "@PAGE@", "-s", "Welcome"}, address = {"-s", "Welcome"};
    struct Case {
        const char* name;
        Settings settings;
        std::vector<std::string> args;
        int status;
        std::string line;
        std::vector<std::string> environment = {};  // for /usr/bin/env: "-u", "HOME", "HOME=/x" ...
        std::string errors = "";
    } cases[] = {
        {"text found", {{"url2watch", "@PAGE@"}, {"txtLookFor", "Welcome"}}, {}, 0, found},
        {"text missing", {{"url2watch", "@PAGE@"}, {"txtLookFor", "Goodbye"}}, {}, 2, goodbyeMissing},
        {"size within", {{"url2watch", "@PAGE@"}, {"expfilesize", "16"}}, {}, 0, found},
        {"size over", {{"url2watch", "@PAGE@"}, {"expfilesize", " 15"}}, {}, 2, sizeOver},
        // A failing status took its time and brought a page; a refused connection measured nothing.
        {"page not found", {}, {"-u", "@WEB@/missing.html", "-s", "Welcome", "-w", "5"}, 2, notFound},
        {"refused",
         {{"url2watch", refused}, {"txtLookFor", "Welcome"}},
         {},
         2,
         "CORVASSE CRITICAL - " + RegexQuoted(refused) + R"(: Socket Error # 10061 Connection refused\.)"},
        // 127.0.0.1 has no IPv6 address: only IPv4 is watched, and named.
        {"refused, each family",
         {{"url2watch", refused}, {"txtLookFor", "Welcome"}, {"ipFamily", "each"}},
         {},
         2,
         "CORVASSE CRITICAL - " + RegexQuoted(refused) + ": Over IPv4 " +
             RegexQuoted(refused.substr(7, refused.size() - 8)) + R"(: Socket Error # 10061 Connection refused\.)"},
        {"ping",
         {{"PingOnly", "y"}, {"PingAddr", "127.0.0.1"}},
         {},
         0,
         R"(CORVASSE OK - 127\.0\.0\.1 replied in \d+ ms \| rta=\d+ms;;;0)"},
        {"no address", {{"txtLookFor", "Welcome"}}, {}, 3, "CORVASSE UNKNOWN - no address to watch in .*/watch\\.conf"},
        {"no host", {{"PingOnly", "y"}}, {}, 3, "CORVASSE UNKNOWN - no host to ping in .*/watch\\.conf"},
        {"bad size",
         {{"url2watch", "@PAGE@"}, {"expfilesize", "16 "}},
         {},
         3,
         "CORVASSE UNKNOWN - expected size: '16 ' is not a valid integer value in .*"},
        {"https",
         {{"url2watch", "https://127.0.0.1/"}, {"txtLookFor", "Welcome"}},
         {},
         3,
         R"(CORVASSE UNKNOWN - https://127\.0\.0\.1/: https:// addresses are watched only with allowHttps=y in .*)"},
        // Not "0 bytes, more than the expected 1000": nothing was fetched.
        {"ftp",
         {{"url2watch", "ftp://127.0.0.1/"}, {"expfilesize", "1000"}},
         {},
         2,
         R"(CORVASSE CRITICAL - ftp://127\.0\.0\.1/: protocol not supported)"},
        // Settings written by hand in Latin-1 are read as the window reads them.
        {"look-for text in Latin-1",
         {{"url2watch", "@WEB@/sizes.html"}, {"txtLookFor", kLatin1Word}},
         {},
         0,
         "CORVASSE OK - " + web + R"(sizes\.html 15 bytes in )" + kTime + " s" + R"( \| time=)" + kPerfTime +
             "s;;;0 size=15B;;;0"},
        {"address in Latin-1",
         {{"url2watch", std::string("@WEB@/") + kLatin1Word + ".html"}, {"txtLookFor", "Welcome"}},
         {},
         0,
         "CORVASSE OK - " + web + kUtf8Word + R"(\.html 16 bytes in )" + kTime + " s" + perf(";;")},
        {"command line: address and text", {}, {"-u", "@PAGE@", "-s", "Welcome"}, 0, found},
        {"command line: text missing", {}, {"--url=@PAGE@", "--string=Goodbye"}, 2, goodbyeMissing},
        {"command line: size over", {}, {"-u@PAGE@", "--max-size", "15"}, 2, sizeOver},
        {"command line: size within", {}, {"-u", "@PAGE@", "--max-size=16"}, 0, found},
        {"command line: address alone, any page passes", {}, {"-u", "@PAGE@"}, 0, found},
        {"the file supplies the check", lookingForGoodbye, {"-u", "@PAGE@"}, 2, goodbyeMissing},
        {"the file supplies the address",
         lookingForGoodbye,
         {"-s", "Other"},
         2,
         R"(CORVASSE CRITICAL - http://127\.0\.0\.1:1/other: Socket Error # 10061 Connection refused\.)"},
        {"command line: ping",
         {},
         {"--ping", "127.0.0.1", "-w", "0.5", "-c", "1.5"},
         0,
         R"(CORVASSE OK - 127\.0\.0\.1 replied in \d+ ms \| rta=\d+ms;500;1500;0)"},
        {"within both thresholds",
         {},
         {"-u", "@PAGE@", "-w", "100", "-c", "200.5"},
         0,
         "CORVASSE OK - " + page + passed + perf(";100;200.5")},
        {"past warning",
         {},
         {"-u", slowPage, "-w", "0.1", "-c", "100"},
         1,
         "CORVASSE WARNING - " + RegexQuoted(slowPage) + passed + R"( \(more than 0\.1 s\))" + perf(";0.1;100")},
        {"past critical",
         {},
         {"-u", slowPage, "-s", "Welcome", "-w", "0.1", "-c", "0.2"},
         2,
         "CORVASSE CRITICAL - " + RegexQuoted(slowPage) + passed + R"( \(more than 0\.2 s\))" + perf(";0.1;0.2")},
        {"a failed check stays what it was",
         {},
         {"-u", "@PAGE@", "-s", "Goodbye", "-w", "0"},
         2,
         "CORVASSE CRITICAL - " + page + R"( did not contain "Goodbye")" + perf(";0;")},
        {"at home", {}, given, 0, found, atHome},
        {"home unreadable", {}, given, 0, found, atUnreadable},
        {"home unreadable, no address", {}, address, 3, unknown + "Failed to get data for .*", atUnreadable},
        {"no HOME", {}, given, 0, found, noHome},
        {"no HOME, --settings", atPage, address, 0, found, noHome},
        {"no HOME, no address", {}, address, 3, unknown + noSettings, noHome, told(noSettings)},
        {"no HOME, alert", {}, {"-u", "@PAGE@", "--alert"}, 3, unknown + noSettings, noHome, told(noSettings)},
        {"no HOME, settings, alert", atPage, {"--alert"}, 3, unknown + noHistory, noHome, told(noHistory)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = c.args;
        if (!c.settings.empty()) args.insert(args.end(), {"--settings", WriteSettings(c.settings).string()});
        ExpectOneLine(Check(args, c.environment), c.status, c.line, c.errors);
    }
    // Without --alert nothing is logged; the plugin makes no folder.
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "Corvasse.log"));
    for (const char* made : {"home", ".config", ".local"}) EXPECT_FALSE(std::filesystem::exists(dir_.Path() / made));
}

TEST_F(WatchCheckTest, ServerAndSettingsTextsCannotForgeThePluginLine) {
    // Exactly one line, and no "|" but the one before the performance data.
    const struct {
        const char* name;
        std::string response;  // "": the loopback nginx serves the page
        Settings settings;
        std::string line;
    } cases[] = {
        {"status line",
         "HTTP/1.1 503 Down | rta=0ms;;;0 fake=1\r\nContent-Length: 0\r\n\r\n",
         {{"txtLookFor", "Welcome"}},
         "CORVASSE CRITICAL - @ADDRESS@: HTTP/1.1 503 Down \xC2\xA6 rta=0ms;;;0 fake=1"},
        {"control characters in the reason",
         "HTTP/1.1 500 Bad\tThing\x7Fhere\r\nContent-Length: 0\r\n\r\n",
         {{"txtLookFor", "Welcome"}},
         "CORVASSE CRITICAL - @ADDRESS@: HTTP/1.1 500 Bad Thing here"},
        {"look-for text", "", {{"url2watch", "@PAGE@"}, {"txtLookFor", "a|b\nc\rd"}}, ""},
        {"address", "", {{"url2watch", "@PAGE@?x|y\t"}, {"txtLookFor", "Welcome"}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Settings settings = c.settings;
        std::unique_ptr<test::ScriptedPeer> peer;
        if (!c.response.empty()) {
            peer = std::make_unique<test::ScriptedPeer>(std::vector{test::peer::Send(c.response), test::peer::Close()});
            settings["url2watch"] = "http://127.0.0.1:" + std::to_string(peer->Port()) + "/";
        }
        const Run run = Check({"--settings", WriteSettings(settings).string()});
        ASSERT_EQ(run.lines.size(), 1u) << run.errors;
        const std::string& line = run.lines[0];
        // Each page came, the failing statuses' too: each line has its time.
        const size_t bar = line.find('|');
        ASSERT_NE(bar, std::string::npos) << line;
        EXPECT_TRUE(line.substr(bar - 1).starts_with(" | time=")) << line;
        if (!c.line.empty()) {
            EXPECT_EQ(line.substr(0, bar - 1),
                      std::regex_replace(c.line, std::regex("@ADDRESS@"), settings["url2watch"]));
        }
        EXPECT_EQ(line.find('|', bar + 1), std::string::npos) << line;
        EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](char ch) { return ch > 0 && ch < 0x20; })) << line;
    }
}

TEST_F(WatchCheckTest, UnusableCommandLinesAreUnknown) {
    const std::string missing = (dir_.Path() / "missing.conf").string();
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--settings", missing}, "cannot read the settings file \"" + missing + "\": No such file or directory"},
        {{"--settings", dir_.Path().string()},
         "cannot read the settings file \"" + dir_.Path().string() + "\": Is a directory"},
        {{"--timeout", "0"}, "'0' is not a whole number of seconds of at least 1"},
        {{"--timeout", "999999999999"}, "'999999999999' is too large: the longest time-out is 2147483 seconds"},
        {{"--timeout", "2147484"}, "'2147484' is too large: the longest time-out is 2147483 seconds"},
        {{"--timeout"}, "option '--timeout' needs a value"},
        {{"--warn", "3"}, "unknown option '--warn'"},
        {{"-x"}, "unknown option '-x'"},
        {{"-hV"}, "unknown option '-hV'"},
        {{"-t"}, "option '-t' needs a value"},
        {{"--alert=yes"}, "option '--alert' takes no value"},
        {{"extra"}, "unexpected argument 'extra'"},
        {{"-w", "1,5"}, "'1,5' is not a number of seconds from 0 to 2147483 (such as 2 or 0.5)"},
        {{"--critical=0.1234567"}, "'0.1234567' is not a number of seconds from 0 to 2147483 (such as 2 or 0.5)"},
        {{"-c", "2147484"}, "'2147484' is not a number of seconds from 0 to 2147483 (such as 2 or 0.5)"},
        {{"--max-size", "-1"}, "'-1' is not a whole number of bytes from 0 to 2147483647"},
        {{"--max-size", "2147483648"}, "'2147483648' is not a whole number of bytes from 0 to 2147483647"},
        {{"--certificate-days", "0"}, "'0' is not WARN[,CRIT]: whole numbers of days from 1 to 36500"},
        {{"--certificate-days", "14,"}, "'14,' is not WARN[,CRIT]: whole numbers of days from 1 to 36500"},
        {{"--certificate-days", "3,14"}, "'3,14': the critical days must not be more than the warning days"},
        {{"-s", ""}, "option '-s' needs a text to look for"},
        {{"-u", " "}, "option '-u' needs an address"},
        {{"-u", "http://a/", "--ping", "b"}, "options '--url' and '--ping' cannot be used together"},
        {{"-s", "a", "--max-size", "1"}, "options '--string' and '--max-size' cannot be used together"},
        {{"--ping", "b", "-s", "a"}, "options '--ping' and '--string' cannot be used together"},
        {{"--ping", "b", "--certificate-days", "9"},
         "options '--ping' and '--certificate-days' cannot be used together"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const Run run = Check(c.args);
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.lines, std::vector<std::string>{"CORVASSE UNKNOWN - " + c.message});
        EXPECT_EQ(run.errors, "check_corvasse: " + c.message + "\n");
    }
    for (const char* option : {"--version", "-V"}) {
        const Run version = Check({option});
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.lines, std::vector<std::string>{"check_corvasse 2.00 (Corvasse)"});
    }
}

TEST_F(WatchCheckTest, HelpShowsEveryOptionWithAnExample) {
    for (const char* option : {"--help", "-h"}) {
        const Run help = Check({option});
        EXPECT_EQ(help.status, 0);
        std::string text;
        for (const std::string& line : help.lines) text += line + "\n";
        const std::vector<std::pair<std::string, std::string>> options = {
            {"-u, --url URL", "-u "},
            {"-s, --string TEXT", "-s "},
            {"--max-size BYTES", "--max-size "},
            {"--ping HOST", "--ping "},
            {"--settings FILE", "--settings "},
            {"-w, --warning SECONDS", "-w "},
            {"-c, --critical SECONDS", "-c "},
            {"--certificate-days WARN[,CRIT]", "--certificate-days "},
            {"-t, --timeout SECONDS", "-t "},
            {"--alert", "--alert"},
            {"--log FILE", "--log "},
            {"-h, --help", ""},
            {"-V, --version", ""},
        };
        for (const auto& [entry, example] : options) {
            EXPECT_NE(text.find("  " + entry), std::string::npos) << entry;
            if (!example.empty()) {
                EXPECT_TRUE(std::regex_search(text, std::regex("\n +check_corvasse .*" + RegexQuoted(example))))
                    << example;
            }
        }
    }
}

TEST_F(WatchCheckTest, CertificateDaysJudgeTheServersCertificateBesideThePage) {
    const auto now = std::chrono::system_clock::now();
    const struct {
        const char* name;
        int daysLeft;
        std::vector<std::string> args;
        int status;
        std::string line;  // @ADDRESS@, @DATE@: the certificate's end
    } cases[] = {
        {"far off",
         30,
         {"--certificate-days", "14,3"},
         0,
         "CORVASSE OK - @ADDRESS@ 16 bytes in T s, certificate for 127.0.0.1 expires in 30 days (@DATE@) | time=Ts;;;0 "
         "size=16B;;;0 cert_days=30;14;3;0"},
        {"within the warning days",
         9,
         {"--certificate-days", "14,3"},
         1,
         "CORVASSE WARNING - @ADDRESS@ 16 bytes in T s, certificate for 127.0.0.1 expires in 9 days (@DATE@) | "
         "time=Ts;;;0 size=16B;;;0 cert_days=9;14;3;0"},
        {"within the critical days",
         2,
         {"--certificate-days=14,3"},
         2,
         "CORVASSE CRITICAL - @ADDRESS@ 16 bytes in T s, certificate for 127.0.0.1 expires in 2 days (@DATE@) | "
         "time=Ts;;;0 size=16B;;;0 cert_days=2;14;3;0"},
        {"one day, warning days alone",
         1,
         {"--certificate-days", "7"},
         1,
         "CORVASSE WARNING - @ADDRESS@ 16 bytes in T s, certificate for 127.0.0.1 expires in 1 day (@DATE@) | "
         "time=Ts;;;0 size=16B;;;0 cert_days=1;7;;0"},
        {"the page fails too: the worse wins",
         9,
         {"--certificate-days", "14,3", "-s", "Goodbye"},
         2,
         "CORVASSE CRITICAL - @ADDRESS@ did not contain \"Goodbye\", certificate for 127.0.0.1 expires in 9 days "
         "(@DATE@) | time=Ts;;;0 size=16B;;;0 cert_days=9;14;3;0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Half a day more than the whole days, so that the count cannot turn while the test runs.
        const auto end =
            std::chrono::floor<std::chrono::seconds>(now + std::chrono::days(c.daysLeft) + std::chrono::hours(12));
        test::NginxServer server("", test::CertificateEndingAt(end));
        server.WriteFile("page.html", kPage);
        const std::string address = server.HttpsUrl("/page.html");
        std::vector<std::string> args = {"-u", address};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const std::time_t endTime = std::chrono::system_clock::to_time_t(end);
        std::tm parts{};
        gmtime_r(&endTime, &parts);
        char date[32];
        std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", &parts);
        std::string expected = RegexQuoted(c.line);
        expected = std::regex_replace(expected, std::regex("@ADDRESS@"), RegexQuoted(address));
        expected = std::regex_replace(expected, std::regex("@DATE@"), date);
        expected = std::regex_replace(expected, std::regex(" in T s"), std::string(" in ") + kTime + " s");
        expected = std::regex_replace(expected, std::regex("time=Ts"), std::string("time=") + kPerfTime + "s");
        ExpectOneLine(Check(args), c.status, expected);
    }
    // A page that came in clear has no certificate to judge.
    ExpectOneLine(
        Check({"-u", "@PAGE@", "--certificate-days", "14"}), 3,
        "CORVASSE UNKNOWN - " + RegexQuoted(web_.Url("/page.html")) +
            " 16 bytes in .*, no certificate: the page did not come over https \\| time=.*s;;;0 size=16B;;;0");
}

// Without SSL_CERT_FILE a folder of certificates under their hashes is all
// that is trusted: the test CA is found there, and only there (the system's
// bundle does not hold it).
TEST_F(WatchCheckTest, AHashedFolderIsTrustedWithoutTheBundle) {
    test::NginxServer server("", test::TestCertificates().localhost);
    server.WriteFile("page.html", kPage);
    const std::string address = server.HttpsUrl("/page.html");
    const test::TempDir unhashed;
    test::WriteFile(unhashed.Path() / "trusted.pem", test::ReadFile(test::TestCertificates().caCertificate));
    const struct {
        const char* name;
        std::string folders;
        int status;
        std::string line;
    } rows[] = {
        {"the system's folder, then the CA's",
         std::string(X509_get_default_cert_dir()) + ":" + test::TestCertificates().hashedCaFolder.string(), 0,
         "CORVASSE OK - " + RegexQuoted(address) + " 16 bytes in .*"},
        {"a folder without hashed names: the bundle is read instead", unhashed.Path().string(), 2,
         "CORVASSE CRITICAL - " + RegexQuoted(address) +
             ": TLS handshake failed: certificate verify failed \\(unable to get local issuer certificate\\)"},
    };
    const test::ScopedEnvironment file("SSL_CERT_FILE", std::nullopt);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const test::ScopedEnvironment folders("SSL_CERT_DIR", row.folders);
        ExpectOneLine(Check({"-u", address}), row.status, row.line);
    }
}

TEST_F(WatchCheckTest, APageLargerThanTheCheckWouldHoldIsCheckedAsItArrives) {
    // 64 MiB with the text at its very end: found, counted, and never held.
    std::string big(size_t{64} << 20, '.');
    big.replace(big.size() - 8, 7, "Welcome");
    web_.WriteFile("big.html", big);
    const size_t size = big.size();
    big.clear();
    big.shrink_to_fit();
    const Run run = Check({"-u", "@WEB@/big.html", "-s", "Welcome"});
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.lines.size(), 1u) << run.errors;
    EXPECT_NE(run.lines[0].find(" " + std::to_string(size) + " bytes in "), std::string::npos) << run.lines[0];
    if (test::kMemoryMeasurable) {
        EXPECT_LT(run.peakResidentKiB, 32 * 1024);
    }
}

TEST_F(WatchCheckTest, AlertSendsTheMailAndLogsTheReportAsTheWindowDoes) {
    test::TestCertificates();
    const struct {
        test::SmtpServer::Tls tls;
        const char* mailSecurity;
    } cases[] = {{test::SmtpServer::Tls::None, ""}, {test::SmtpServer::Tls::StartTls, "starttls"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mailSecurity);
        test::SmtpServer smtp(test::SmtpServer::Login::NotOffered, "127.0.0.1", c.tls);
        const std::filesystem::path settings =
            WriteAlertingSettings("Goodbye", smtp.Port(), {{"mailSecurity", c.mailSecurity}});
        const std::filesystem::path log = dir_.Path() / "alerts.log";
        std::filesystem::remove(log);

        const Run silent = Check({"--settings", settings.string(), "--log", log.string()});
        EXPECT_EQ(silent.status, 2);
        const Run alerting = Check({"--settings", settings.string(), "--log", log.string(), "--alert"});
        EXPECT_EQ(alerting.status, 2);
        ASSERT_EQ(alerting.lines.size(), 1u);
        EXPECT_TRUE(alerting.lines[0].starts_with("CORVASSE CRITICAL - ")) << alerting.lines[0];
        EXPECT_EQ(alerting.lines[0].find("alert failed"), std::string::npos) << alerting.lines[0];

        ExpectMails(smtp, 1);
        EXPECT_EQ(smtp.Messages()[0].rcptTo, std::vector<std::string>{"alerts@example.org"});
        EXPECT_NE(smtp.Messages()[0].content.find("Looked for but did not find:Goodbye"), std::string::npos);
        const std::regex report(
            R"(\d\d/\d\d/\d{4}, \d\d:\d\d (AM|PM)\nWatching address: http://127\.0\.0\.1:\d+/page\.html\n)"
            R"(Looked for but did not find:Goodbye\nHTTP reply #:HTTP/1\.1 200 OK, Last Error Number was 200\n)"
            R"(----------\n\r\n)");
        const std::string logged = test::ReadFile(log);
        EXPECT_TRUE(std::regex_match(logged, report)) << logged;
    }
}

TEST_F(WatchCheckTest, RecordsOnlyWhenAskedAndWithAlertMailsOncePerOutage) {
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    const std::filesystem::path history = dir_.Path() / "state" / "history.sqlite3";
    const std::filesystem::path log = dir_.Path() / "alerts.log";
    auto settingsLookingFor = [&](const char* text) {
        return WriteAlertingSettings(text, smtp.Port(), {{"outageAlerts", "y"}});
    };
    auto recorded = [&](const std::filesystem::path& settings) {
        HistoryStore store(history);
        const std::optional<WatchId> watch = store.FindWatch(settings, web_.Url("/page.html"));
        const auto now = std::chrono::system_clock::now();
        return watch ? store
                           .CountResults(*watch, {ResultTime(std::chrono::milliseconds(0)),
                                                  std::chrono::floor<std::chrono::milliseconds>(now)})
                           .down
                     : -1;
    };

    std::filesystem::path settings = settingsLookingFor("Goodbye");
    EXPECT_EQ(Check({"--settings", settings.string()}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(history));
    EXPECT_EQ(Check({"--settings", settings.string(), "--history", history.string()}).status, 2);
    EXPECT_EQ(recorded(settings), 1);

    // An engine that runs the check each minute: the outage's alert with the
    // second failure in a row, nothing more while it lasts, and its end. (The
    // result recorded without --alert counts for the history only.)
    const std::vector<std::string> alerting = {"--settings", settings.string(), "--log",         log.string(),
                                               "--alert",    "--history",       history.string()};
    const struct {
        const char* lookFor;
        int status;
        size_t mails;
    } runs[] = {{"Goodbye", 2, 0}, {"Goodbye", 2, 1}, {"Goodbye", 2, 1}, {"Welcome", 0, 2}, {"Welcome", 0, 2}};
    for (const auto& run : runs) {
        settings = settingsLookingFor(run.lookFor);
        SCOPED_TRACE(run.lookFor);
        EXPECT_EQ(Check(alerting).status, run.status);
        ExpectMails(smtp, run.mails);
    }
    EXPECT_EQ(recorded(settings), 4);
    EXPECT_NE(smtp.Messages()[0].content.find("Subject: Corvasse Alert: " + web_.Url("/page.html")), std::string::npos);
    EXPECT_NE(smtp.Messages()[0].content.find("Reason: the text was not on the page"), std::string::npos);
    EXPECT_NE(smtp.Messages()[1].content.find("Subject: Corvasse Recovered"), std::string::npos);
    EXPECT_NE(smtp.Messages()[1].content.find("Failed watches: 3"), std::string::npos);
}

TEST_F(WatchCheckTest, CertWarnDaysMailsOnlyWithAlertAndOnceOverTheHistory) {
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    test::NginxServer server("", test::CertificateEndingAt(std::chrono::system_clock::now() + std::chrono::days(9)));
    server.WriteFile("page.html", kPage);
    const std::filesystem::path history = dir_.Path() / "state" / "history.sqlite3";
    const std::filesystem::path settings = WriteAlertingSettings(
        "Welcome", smtp.Port(),
        {{"url2watch", server.HttpsUrl("/page.html")}, {"allowHttps", "y"}, {"certWarnDays", "14"}});
    const std::vector<std::string> recording = {"--settings", settings.string(), "--history", history.string()};
    std::vector<std::string> alerting = recording;
    alerting.insert(alerting.end(), {"--log", (dir_.Path() / "alerts.log").string(), "--alert"});
    // A check that sends no mail keeps none as sent; the page passes all along.
    const struct {
        const std::vector<std::string>& args;
        size_t mails;
    } runs[] = {{recording, 0}, {alerting, 1}, {alerting, 1}, {recording, 1}};
    for (const auto& run : runs) {
        EXPECT_EQ(Check(run.args).status, 0);
        ExpectMails(smtp, run.mails);
    }
    EXPECT_NE(smtp.Messages()[0].content.find("Subject: Corvasse Certificate Warning"), std::string::npos);
}

TEST_F(WatchCheckTest, WhatTheAlertCouldNotDoFollowsTheResult) {
    const std::filesystem::path unwritableLog = dir_.Path() / "missing" / "x.log";
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    // A server that refuses STARTTLS with a reply whose text ends in CR LF,
    // to the alert of the failed check and to the one more try of the watch.
    const std::vector<test::PeerStep> refusal = {test::peer::SendLine("220 mail.test"),
                                                 test::peer::ReadLine(),
                                                 test::peer::Send("250-mail.test\r\n250 STARTTLS\r\n"),
                                                 test::peer::ReadLine(),
                                                 test::peer::SendLine("454 4.7.0 TLS not available"),
                                                 test::peer::ReadLine(),
                                                 test::peer::SendLine("221 bye")};
    test::ScriptedPeer refusing(test::peer::Concat({refusal, {test::peer::Accept()}, refusal, {test::peer::Close()}}));
    const std::string failed = "CORVASSE CRITICAL - " + RegexQuoted(web_.Url("/page.html")) +
                               R"( did not contain "Goodbye"( \(alert failed: (.*)\))? \| time=.*)";
    const struct {
        const char* name;
        int port;
        const char* mailSecurity;
        std::filesystem::path log;
        const char* alertFailure;  // nullptr: delivered
        std::vector<std::string> details;
    } cases[] = {
        {"STARTTLS refused", refusing.Port(), "starttls", dir_.Path() / "alerts.log", "4.7.0 TLS not available", {}},
        {"log cannot be written",
         smtp.Port(),
         "",
         unwritableLog,
         nullptr,
         {"Cannot write the log \"" + unwritableLog.string() + "\": No such file or directory"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path settings =
            WriteAlertingSettings("Goodbye", c.port, {{"mailSecurity", c.mailSecurity}});
        const Run run = Check({"--settings", settings.string(), "--log", c.log.string(), "--alert"});
        EXPECT_EQ(run.status, 2);
        ASSERT_EQ(run.lines.size(), 1 + c.details.size()) << run.errors;
        std::smatch match;
        ASSERT_TRUE(std::regex_match(run.lines[0], match, std::regex(failed))) << run.lines[0];
        EXPECT_EQ(match[2].str(), std::string(c.alertFailure ? c.alertFailure : ""));
        EXPECT_EQ(std::vector(run.lines.begin() + 1, run.lines.end()), c.details);
        EXPECT_EQ(run.errors, "");
    }
    // The log that could not be written did not keep the alert from going out.
    ASSERT_TRUE(smtp.WaitForMessages(1)) << smtp.Output();
    EXPECT_NE(smtp.Messages()[0].content.find("Looked for but did not find:Goodbye"), std::string::npos);
}

TEST_F(WatchCheckTest, TimeoutBoundsTheWholeCheck) {
    // Without --timeout the check ends well within Nagios' 60 s, not after the watch's 120 s read.
    const std::pair<std::vector<std::string>, int> cases[] = {{{"--timeout=1"}, 1}, {{}, 10}};
    for (const auto& [options, seconds] : cases) {
        SCOPED_TRACE(seconds);
        test::ScriptedPeer stalled({test::peer::Sleep(25000)});
        const std::string address = "http://127.0.0.1:" + std::to_string(stalled.Port()) + "/";
        std::vector<std::string> args = {"-u", address, "-s", "Welcome"};
        args.insert(args.end(), options.begin(), options.end());

        const auto start = std::chrono::steady_clock::now();
        const Run run = Check(args);
        const auto elapsed = std::chrono::steady_clock::now() - start;

        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.lines, std::vector<std::string>{"CORVASSE CRITICAL - " + address + ": timed out after " +
                                                      std::to_string(seconds) + " s"});
        EXPECT_LT(elapsed, std::chrono::seconds(seconds + 5));
    }
}

// Neither Qt nor SQLite (loaded when a history is used) nor OpenSSL (loaded
// when TLS starts, as the https checks above show) at every start.
TEST_F(WatchCheckTest, LoadsNoQtSqliteOrOpenSslAtStart) {
    test::ChildProcess ldd({"/usr/bin/ldd", CHECK_CORVASSE_BINARY}, dir_.Path());
    ASSERT_EQ(ldd.Wait(kRunTimeoutMs), 0);
    EXPECT_NE(ldd.Output().find("libc.so"), std::string::npos);
    for (const char* library : {"libQt", "libsqlite3", "libssl", "libcrypto"}) {
        EXPECT_EQ(ldd.Output().find(library), std::string::npos) << ldd.Output();
    }
}

}  // namespace
}  // namespace corvasse
