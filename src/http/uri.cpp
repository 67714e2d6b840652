#include "http/uri.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

#include "common/byte_string.h"
#include "http/http_errors.h"

namespace corvasse {

namespace {

// Where the path ends: the query starts at the first "?", or at the first "="
// when there is none. `split` counts the bytes of the path part: up to and
// including the last "/" before the query start (0 when there is none).
struct PathSplit {
    size_t queryStart;  // npos when there is no query
    size_t split;
};

PathSplit SplitPath(std::string_view work) {
    size_t query = work.find('?');
    if (query == std::string_view::npos) query = work.find('=');
    std::string_view beforeQuery = query == std::string_view::npos ? work : work.substr(0, query);
    size_t lastSlash = beforeQuery.rfind('/');
    return {query, lastSlash == std::string_view::npos ? 0 : lastSlash + 1};
}

}  // namespace

Uri::Uri(std::string_view text) {
    if (!text.empty()) Parse(text);
}

void Uri::Parse(std::string_view text) {
    *this = Uri();
    Text = std::string(text);
    std::replace(Text.begin(), Text.end(), '\\', '/');
    std::string work = Text;

    const size_t protocolEnd = work.find("://");
    const bool absolute = protocolEnd != std::string::npos;
    if (absolute) {
        Protocol = work.substr(0, protocolEnd);
        work.erase(0, protocolEnd + 3);

        std::string authority;
        size_t slash = work.find('/');
        if (slash == std::string::npos) {
            authority = std::move(work);
            work.clear();
        } else {
            authority = work.substr(0, slash);
            work.erase(0, slash + 1);
        }
        size_t at = authority.find('@');
        if (at != std::string::npos) {
            std::string userInfo = authority.substr(0, at);
            authority.erase(0, at + 1);
            size_t colon = userInfo.find(':');
            Username = userInfo.substr(0, colon);
            if (colon != std::string::npos) Password = userInfo.substr(colon + 1);
            if (Username.empty()) Password.clear();
        }
        // An IPv6 address stands in brackets, which the host keeps, so that
        // its colons are not taken for the port's.
        const size_t bracket = authority.starts_with('[') ? authority.find(']') : std::string::npos;
        const size_t hostEnd = bracket == std::string::npos ? 0 : bracket + 1;
        size_t colon = authority.find(':', hostEnd);
        Host = bracket == std::string::npos ? authority.substr(0, colon) : authority.substr(0, hostEnd);
        if (colon != std::string::npos) Port = authority.substr(colon + 1);
    }

    PathSplit split = SplitPath(work);
    if (absolute) Path.push_back('/');
    Path.append(work, 0, split.split);
    if (split.queryStart != std::string::npos) {
        Resource = work.substr(0, split.queryStart);
        Query = work.substr(split.queryStart);
    } else {
        Resource = work;
    }
    Resource.erase(0, split.split);

    // A relative reference keeps "#" in its resource; only the query is searched.
    if (absolute) {
        size_t hash = Resource.find('#');
        if (hash != std::string::npos) {
            Fragment = Resource.substr(hash + 1);
            Resource.erase(hash);
        }
    }
    if (Fragment.empty()) {
        size_t hash = Query.find('#');
        if (hash != std::string::npos) {
            Fragment = Query.substr(hash + 1);
            Query.erase(hash);
        }
    }
}

std::string MergePath(std::string_view base, std::string_view newPath) {
    if (!newPath.empty() && newPath.front() == '/') return std::string(newPath);
    const bool keepTrailingSlash = newPath.empty() || newPath.back() == '/';

    std::string joined(base);
    if (!joined.empty() && joined.back() != '/') joined += '/';
    joined += newPath;

    std::string result;
    for (size_t i = 0; i < joined.size(); ++i) {
        const char c = joined[i];
        if (c == '/') {
            if (i == 0) {
                result.assign(1, '/');
            } else if (result.empty() || result.back() != '/') {
                result += '/';
            }
        } else if (c == '.' && !result.empty() && result.back() == '/' && i + 1 < joined.size() &&
                   joined[i + 1] == '.') {
            // "..": go up one segment.
            result.pop_back();
            while (!result.empty() && result.back() != '/') result.pop_back();
            ++i;
        } else {
            result += c;
        }
    }
    if (result != "/" && !result.empty() && result.back() == '/' && !keepTrailingSlash) result.pop_back();
    return result;
}

std::string EncodeRequestTarget(std::string_view target) {
    std::string out;
    out.reserve(target.size());
    for (char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte >= 0x7F) {
            AppendHexEscape(out, "%", byte);
        } else {
            out += c;
        }
    }
    return out;
}

std::string AbsoluteAddress(const std::string& url) {
    const size_t end = url.find("://");
    auto isSchemeChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
    };
    const bool hasScheme = end != std::string::npos && end > 0 && std::isalpha(static_cast<unsigned char>(url[0])) &&
                           std::all_of(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(end), isSchemeChar);
    return hasScheme ? url : "http://" + url;
}

}  // namespace corvasse
