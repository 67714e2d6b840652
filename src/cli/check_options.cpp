#include "cli/check_options.h"

#include <climits>
#include <string_view>

#include "app/monitor/version.h"
#include "app/settings/settings_store.h"
#include "cli/command_line.h"
#include "common/byte_string.h"
#include "history/history_store.h"

namespace corvasse {

namespace {

static_assert(std::chrono::milliseconds(kMaxCheckTimeout).count() <= INT_MAX &&
                  std::chrono::milliseconds(kMaxCheckTimeout + std::chrono::seconds(1)).count() > INT_MAX,
              "the longest time-out is the last whole second a poll() holds");

enum class Takes { Nothing, Value };

struct OptionName {
    std::string_view longName;
    char shortName;  // 0: none
    Takes takes;
};

constexpr OptionName kOptions[] = {
    {"--settings", 0, Takes::Value},  {"--log", 0, Takes::Value},         {"--history", 0, Takes::Value},
    {"--timeout", 't', Takes::Value}, {"--alert", 0, Takes::Nothing},     {"--url", 'u', Takes::Value},
    {"--string", 's', Takes::Value},  {"--max-size", 0, Takes::Value},    {"--ping", 0, Takes::Value},
    {"--warning", 'w', Takes::Value}, {"--critical", 'c', Takes::Value},  {"--certificate-days", 0, Takes::Value},
    {"--help", 'h', Takes::Nothing},  {"--version", 'V', Takes::Nothing},
};

std::chrono::seconds ParseTimeout(const std::string& text) {
    if (!IsDecimalDigits(text)) throw UsageError("'" + text + "' is not a whole number of seconds of at least 1");
    const std::optional<int64_t> seconds = TryStrToInt64(text);
    if (!seconds || *seconds > kMaxCheckTimeout.count()) {
        throw UsageError("'" + text + "' is too large: the longest time-out is " +
                         std::to_string(kMaxCheckTimeout.count()) + " seconds");
    }
    if (*seconds < 1) throw UsageError("'" + text + "' is not a whole number of seconds of at least 1");
    return std::chrono::seconds(*seconds);
}

// "2", "0.5", "1.250": seconds with at most six decimals, up to the longest time-out.
std::chrono::microseconds ParseSeconds(const std::string& text) {
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    const bool valid = IsDecimalDigits(whole) && (dot == std::string::npos || IsDecimalDigits(fraction)) &&
                       fraction.size() <= 6 && whole.size() <= 7;
    const std::optional<int64_t> seconds = valid ? TryStrToInt64(whole) : std::nullopt;
    if (!seconds || *seconds > kMaxCheckTimeout.count()) {
        throw UsageError("'" + text + "' is not a number of seconds from 0 to " +
                         std::to_string(kMaxCheckTimeout.count()) + " (such as 2 or 0.5)");
    }
    const int64_t micros = TryStrToInt64((fraction + "000000").substr(0, 6)).value_or(0);
    return std::chrono::seconds(*seconds) + std::chrono::microseconds(micros);
}

int32_t ParseMaxSize(const std::string& text) {
    const std::optional<int32_t> bytes = IsDecimalDigits(text) ? TryStrToInt(text) : std::nullopt;
    if (!bytes) throw UsageError("'" + text + "' is not a whole number of bytes from 0 to 2147483647");
    return *bytes;
}

CertificateDays ParseCertificateDays(const std::string& text) {
    const size_t comma = text.find(',');
    auto days = [&](const std::string& part) {
        const std::optional<int32_t> count = IsDecimalDigits(part) ? TryStrToInt(part) : std::nullopt;
        if (!count || *count < 1 || *count > kMaxCertificateDays.count()) {
            throw UsageError("'" + text + "' is not WARN[,CRIT]: whole numbers of days from 1 to " +
                             std::to_string(kMaxCertificateDays.count()));
        }
        return std::chrono::days(*count);
    };
    CertificateDays result{days(text.substr(0, comma)), std::nullopt};
    if (comma != std::string::npos) {
        result.critical = days(text.substr(comma + 1));
        if (*result.critical > result.warning) {
            throw UsageError("'" + text + "': the critical days must not be more than the warning days");
        }
    }
    return result;
}

// The options given together that cannot be.
void RefuseConflicts(const CheckOptions& options) {
    auto refuse = [](const char* a, const char* b) {
        throw UsageError(std::string("options '") + a + "' and '" + b + "' cannot be used together");
    };
    if (options.url && options.pingHost) refuse("--url", "--ping");
    if (options.lookFor && options.maxSize) refuse("--string", "--max-size");
    if (options.pingHost && options.lookFor) refuse("--ping", "--string");
    if (options.pingHost && options.maxSize) refuse("--ping", "--max-size");
    if (options.pingHost && options.certificateDays) refuse("--ping", "--certificate-days");
}

}  // namespace

CheckOptions ParseCheckOptions(int argc, const char* const* argv) {
    CheckOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        // The option as written ("-t", "--timeout"), its name and a value given with it.
        std::string_view written = argument;
        std::optional<std::string> attached;
        const OptionName* option = nullptr;
        if (argument.starts_with("--")) {
            if (const size_t eq = argument.find('='); eq != std::string_view::npos) {
                attached = std::string(argument.substr(eq + 1));
                written = argument.substr(0, eq);
            }
            for (const OptionName& candidate : kOptions) {
                if (candidate.longName == written) option = &candidate;
            }
        } else if (argument.size() >= 2 && argument[0] == '-') {
            written = argument.substr(0, 2);
            for (const OptionName& candidate : kOptions) {
                if (candidate.shortName == argument[1]) option = &candidate;
            }
            if (option != nullptr && argument.size() > 2) {
                // "-t10" gives a value; "-hx" is no option.
                if (option->takes == Takes::Value) {
                    attached = std::string(argument.substr(2));
                } else {
                    option = nullptr;
                }
            }
            if (option == nullptr) written = argument;
        }
        if (option == nullptr) {
            if (argument.starts_with("-")) throw UsageError("unknown option '" + std::string(written) + "'");
            throw UsageError("unexpected argument '" + std::string(argument) + "'");
        }
        std::string value;
        if (option->takes == Takes::Value) {
            if (attached) {
                value = *attached;
            } else if (i + 1 == argc) {
                throw UsageError("option '" + std::string(written) + "' needs a value");
            } else {
                value = argv[++i];
            }
        } else if (attached) {
            throw UsageError("option '" + std::string(written) + "' takes no value");
        }

        const std::string_view name = option->longName;
        if (name == "--settings") {
            options.settings = value;
        } else if (name == "--log") {
            options.log = value;
        } else if (name == "--history") {
            if (value.empty()) throw UsageError("the history file name is empty");
            options.history = value;
        } else if (name == "--timeout") {
            options.timeout = ParseTimeout(value);
        } else if (name == "--alert") {
            options.alert = AlertMode::Deliver;
        } else if (name == "--url") {
            if (Trim(value).empty()) throw UsageError("option '" + std::string(written) + "' needs an address");
            options.url = value;
        } else if (name == "--string") {
            if (value.empty()) throw UsageError("option '" + std::string(written) + "' needs a text to look for");
            options.lookFor = value;
        } else if (name == "--max-size") {
            options.maxSize = ParseMaxSize(value);
        } else if (name == "--ping") {
            if (Trim(value).empty()) throw UsageError("option '" + std::string(written) + "' needs a host");
            options.pingHost = value;
        } else if (name == "--warning") {
            options.time.warning = ParseSeconds(value);
        } else if (name == "--critical") {
            options.time.critical = ParseSeconds(value);
        } else if (name == "--certificate-days") {
            options.certificateDays = ParseCertificateDays(value);
        } else if (name == "--help") {
            options.request = CheckOptions::Request::Help;
        } else {
            options.request = CheckOptions::Request::Version;
        }
    }
    RefuseConflicts(options);
    return options;
}

bool ReadsSettingsFile(const CheckOptions& options) {
    return options.settings || options.alert == AlertMode::Deliver || !(options.url || options.pingHost);
}

MonitorFiles CheckFiles(const CheckOptions& options) {
    const MonitorFiles files =
        FilesFromCommandLine(options.settings, options.log, options.history, NewSettingsFile::Refused);
    if (!options.settings && ReadsSettingsFile(options) && !SettingsStore::UserFolder()) {
        throw UsageError("no settings file: HOME is not set; name one with --settings");
    }
    if (!options.history && options.alert == AlertMode::Deliver && !HistoryStore::UserFile()) {
        throw UsageError("no history file: HOME is not set; name one with --history");
    }
    return files;
}

std::string CheckHelpText() {
    return "Usage: check_corvasse [options]\n"
           "Runs one watch as a monitoring plugin: the watch of Corvasse's settings file, or\n"
           "the one the options below give (the file then supplies whatever they leave\n"
           "out). Prints one status line with performance data and exits 0 (OK), 1\n"
           "(WARNING: slower than -w, or a certificate near its end), 2 (CRITICAL: the\n"
           "watch failed, or past -c) or 3 (UNKNOWN: it cannot be watched, or a bad option).\n"
           "\n"
           "The watch:\n"
           "  -u, --url URL           fetch URL (http:// or https://) instead of the file's\n"
           "                          address; without -s or --max-size (here or in the\n"
           "                          file) any page that arrives passes\n"
           "                            check_corvasse -u https://shop.example/\n"
           "  -s, --string TEXT       the page must contain TEXT\n"
           "                            check_corvasse -u https://shop.example/ -s 'Add to cart'\n"
           "  --max-size BYTES        the page must not be longer than BYTES\n"
           "                            check_corvasse -u http://example.org/feed --max-size 500000\n"
           "  --ping HOST             ping HOST instead (needs CAP_NET_RAW or ping_group_range)\n"
           "                            check_corvasse --ping 192.0.2.1 -w 0.2 -c 0.5\n"
           "  --settings FILE         read the settings from FILE instead of the user's\n"
           "                          Corvasse.conf (which is read only for --alert, or\n"
           "                          when neither -u nor --ping is given)\n"
           "                            check_corvasse --settings /etc/corvasse/shop.conf\n"
           "\n"
           "Thresholds:\n"
           "  -w, --warning SECONDS   WARNING when the fetch (or the ping's round trip) took\n"
           "                          longer than SECONDS (decimals allowed)\n"
           "                            check_corvasse -u https://shop.example/ -w 1 -c 2\n"
           "  -c, --critical SECONDS  CRITICAL when it took longer than SECONDS\n"
           "                            check_corvasse --ping 192.0.2.1 -c 0.5\n"
           "  --certificate-days WARN[,CRIT]\n"
           "                          WARNING (CRITICAL) when the https certificate ends\n"
           "                          within WARN (CRIT) days; the page is checked as well\n"
           "                            check_corvasse -u https://shop.example/ --certificate-days 14,3\n"
           "  -t, --timeout SECONDS   give up after SECONDS (CRITICAL), at most 2147483;\n"
           "                          default 10\n"
           "                            check_corvasse -u https://shop.example/ -t 30\n"
           "\n"
           "Alerts:\n"
           "  --alert                 on failure also send the alert e-mail (the mail\n"
           "                          settings come from the settings file) and write the\n"
           "                          log, as a watch of the window does, and record the\n"
           "                          result in the history (with outageAlerts=y: one\n"
           "                          alert per outage)\n"
           "                            check_corvasse --settings shop.conf --alert\n"
           "  --log FILE              with --alert, write the activity log to FILE instead\n"
           "                          of Corvasse.log in the working directory\n"
           "                            check_corvasse --settings shop.conf --alert --log /var/log/shop.log\n"
           "  --history FILE          record the result in the history database FILE (with\n"
           "                          --alert: instead of the default one)\n"
           "                            check_corvasse -u https://shop.example/ --history shop.sqlite3\n"
           "\n"
           "  -h, --help              show this help\n"
           "  -V, --version           show the version\n";
}

std::string CheckVersionLine() { return std::string("check_corvasse ") + kVersion + " (Corvasse)"; }

}  // namespace corvasse
