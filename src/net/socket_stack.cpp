#include "net/socket_stack.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "common/byte_string.h"
#include "net/net_error.h"
#include "net/platform_socket_stack.h"

namespace corvasse {

namespace {

// The title of a library that cannot be loaded; %s is its name.
std::string LoadErrorTitle(const std::string& libraryName) {
    return "Error on loading Winsock2 library (" + libraryName + ")";
}

struct StackRegistry {
    std::mutex mutex;
    int components = 0;
    std::unique_ptr<SocketStack> instance;
    bool started = false;
    StackStartupSteps startup;
};

StackRegistry& Registry() {
    static StackRegistry registry;
    return registry;
}

// Runs the start-up steps once per process; a failed start is tried again by
// the next component.
void StartLibrary(StackRegistry& registry) {
    if (registry.started) return;
    const StackStartupSteps& steps = registry.startup;
    if (steps.load) {
        if (int code = steps.load(); code != 0) throw SocketLibraryError(LoadErrorTitle(steps.libraryName), code);
    }
    if (steps.start && steps.start() != 0) throw StackInitializationFailedError();
    registry.started = true;
}

int64_t PartValue(std::string_view part) {
    auto value = TryStrToInt(part);
    return value ? *value : -1;
}

bool InRange(int64_t value, int64_t max) { return value >= 0 && value <= max; }

}  // namespace

SocketStack::~SocketStack() = default;

SocketStack* SocketStack::Instance() {
    StackRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    return registry.instance.get();
}

SocketStack& Stack() { return *SocketStack::Instance(); }

int SocketStack::ComponentCount() {
    StackRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    return registry.components;
}

void SocketStack::SetStartupStepsForTesting(StackStartupSteps steps) {
    StackRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.startup = std::move(steps);
    registry.started = false;
}

void SocketStack::AddComponent() {
    StackRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    if (registry.components == 0) {
        StartLibrary(registry);
        registry.instance = std::make_unique<PlatformSocketStack>();
    }
    ++registry.components;
}

void SocketStack::RemoveComponent() {
    StackRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    if (--registry.components == 0) registry.instance.reset();
}

std::string SocketStack::SocketErrorText(int code) const { return corvasse::SocketErrorText(code); }

std::string SocketStack::AddressToText(const std::array<uint8_t, 4>& bytes) {
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
           std::to_string(bytes[3]);
}

std::array<uint8_t, 4> SocketStack::TextToAddress(const std::string& text) {
    IPAddressInfo info = ClassifyIPAddress(text);
    if (info.form == IPAddressForm::Invalid) throw InvalidIPAddressError(text);
    return info.bytes;
}

bool SocketStack::CheckSocketResult(long result, std::initializer_list<int> ignoredCodes) {
    if (result != -1) return false;
    int code = LastSocketError();
    storedError_ = code;
    for (int ignored : ignoredCodes) {
        if (code == ignored) return true;
    }
    throw SocketError(code);
}

void SocketStack::RaiseSocketError(int code) {
    storedError_ = code;
    throw SocketError(code);
}

int SocketStack::NewSocket(int type, int protocol, int family) {
    int socket = OpenSocket(family, type, protocol);
    if (socket == kInvalidSocket) {
        storedError_ = LastSocketError();
        throw InvalidSocketError();
    }
    return socket;
}

std::vector<std::string> SocketStack::LookupHost(const std::string& host, AddressFamily family) {
    if (family != AddressFamily::IPv6 && IsIPAddress(host)) return {host};
    std::vector<std::string> addresses = LookupHostAddresses(host, family);
    // The classic resolver used a name's first address alone.
    if (family == AddressFamily::IPv4) addresses.resize(1);
    return InterleaveFamilies(addresses);
}

int SocketStack::FamilyOf(const std::string& ip) {
    return ip.find(':') != std::string::npos ? kAddressFamilyInet6 : kAddressFamilyInet;
}

bool SocketStack::IsIPAddress(const std::string& text) {
    return ClassifyIPAddress(text).form != IPAddressForm::Invalid;
}

IPAddressInfo SocketStack::ClassifyIPAddress(const std::string& text) {
    std::vector<std::string_view> parts;
    std::string_view rest = text;
    while (parts.size() < 3) {
        size_t dot = rest.find('.');
        if (dot == std::string_view::npos) break;
        parts.push_back(rest.substr(0, dot));
        rest.remove_prefix(dot + 1);
    }
    parts.push_back(rest);  // the last part keeps any further dots

    IPAddressInfo info;
    auto& b = info.bytes;
    bool valid = false;
    switch (parts.size()) {
        case 1: {
            auto value = TryStrToInt64(text);
            if (value && InRange(*value, 0xFFFFFFFFll)) {
                for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(*value >> (24 - 8 * i));
                info.form = IPAddressForm::SingleNumber;
                valid = true;
            }
            break;
        }
        case 2: {
            int64_t a = PartValue(parts[0]), v = PartValue(parts[1]);
            if (InRange(a, 255) && InRange(v, 0xFFFFFF)) {
                b = {static_cast<uint8_t>(a), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                     static_cast<uint8_t>(v)};
                valid = true;
            }
            break;
        }
        case 3: {
            int64_t a = PartValue(parts[0]), c = PartValue(parts[1]), v = PartValue(parts[2]);
            if (InRange(a, 255) && InRange(c, 255) && InRange(v, 0xFFFF)) {
                b = {static_cast<uint8_t>(a), static_cast<uint8_t>(c), static_cast<uint8_t>(v >> 8),
                     static_cast<uint8_t>(v)};
                valid = true;
            }
            break;
        }
        default: {
            valid = true;
            for (int i = 0; i < 4; ++i) {
                int64_t v = PartValue(parts[i]);
                if (!InRange(v, 255)) valid = false;
                b[i] = static_cast<uint8_t>(v);
            }
            break;
        }
    }
    if (!valid) return IPAddressInfo{};
    if (info.form == IPAddressForm::Invalid) info.form = IPAddressForm::Dotted;
    uint8_t first = b[0];
    info.addressClass = first < 128 ? 'A' : first < 192 ? 'B' : first < 224 ? 'C' : first < 240 ? 'D' : 'E';
    return info;
}

std::vector<std::string> InterleaveFamilies(const std::vector<std::string>& addresses) {
    if (addresses.empty()) return {};
    const int first = SocketStack::FamilyOf(addresses.front());
    std::vector<std::string> preferred, other;
    for (const std::string& address : addresses) {
        (SocketStack::FamilyOf(address) == first ? preferred : other).push_back(address);
    }
    std::vector<std::string> order;
    for (size_t i = 0; i < std::max(preferred.size(), other.size()); ++i) {
        if (i < preferred.size()) order.push_back(preferred[i]);
        if (i < other.size()) order.push_back(other[i]);
    }
    return order;
}

}  // namespace corvasse
