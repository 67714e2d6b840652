#include "support/scripted_transport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "common/socket_error_code.h"
#include "net/net_error.h"
#include "net/socket_stack.h"

namespace corvasse::test {

namespace script {

ScriptStep Send(std::string bytes) { return {ScriptStep::Kind::Send, std::move(bytes)}; }
ScriptStep SendLine(std::string_view text) { return Send(std::string(text) + "\r\n"); }
ScriptStep ReadLine() { return {ScriptStep::Kind::ReadLine, {}}; }
std::vector<ScriptStep> ReadLines(size_t n) { return std::vector<ScriptStep>(n, ReadLine()); }
ScriptStep Pieces(size_t n) { return {ScriptStep::Kind::Pieces, {}, n}; }
ScriptStep Close() { return {ScriptStep::Kind::Close, {}}; }
ScriptStep Reset() { return {ScriptStep::Kind::Reset, {}}; }
ScriptStep Accept() { return {ScriptStep::Kind::Accept, {}}; }
ScriptStep Refuse() { return {ScriptStep::Kind::Refuse, {}}; }

std::vector<ScriptStep> Concat(std::initializer_list<std::vector<ScriptStep>> parts) {
    std::vector<ScriptStep> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace script

ScriptedTransport::ScriptedTransport(std::vector<ScriptStep> script) {
    Part current;
    bool refused = false;
    for (ScriptStep& step : script) {
        const ScriptStep::Kind kind = step.kind;
        if (kind == ScriptStep::Kind::Accept || (kind == ScriptStep::Kind::Refuse && !current.steps.empty())) {
            parts_.push_back(std::move(current));
            current = Part();
        }
        if (kind == ScriptStep::Kind::Refuse) parts_.push_back(Part{{}, true});
        if (kind != ScriptStep::Kind::Accept && kind != ScriptStep::Kind::Refuse)
            current.steps.push_back(std::move(step));
        refused = kind == ScriptStep::Kind::Refuse;
    }
    // A script that ends in Accept (or is empty) ends with a silent connection.
    if (!refused) parts_.push_back(std::move(current));
}

std::string ScriptedTransport::Unplayed() {
    Advance();
    std::string left = failures_ + StepsLeft();
    // A silent connection nobody made is no step missed.
    const auto unmade = std::count_if(parts_.begin() + static_cast<long>(nextPart_), parts_.end(),
                                      [](const Part& part) { return part.refused || !part.steps.empty(); });
    if (unmade > 0) left += std::to_string(unmade) + " connections never made; ";
    return left;
}

std::string ScriptedTransport::StepsLeft() const {
    if (!part_ || step_ == part_->steps.size()) return "";
    return "connection " + std::to_string(sent_.size()) + " left " + std::to_string(part_->steps.size() - step_) +
           " steps; ";
}

void ScriptedTransport::Close() {
    IOHandler::Close();
    connected_ = false;
}

void ScriptedTransport::ConnectClient(const std::string& host, int port, AddressFamily, Wait) {
    peerTried_ = host + ":" + std::to_string(port);
    Advance();
    failures_ += StepsLeft();
    part_ = nullptr;
    if (nextPart_ == parts_.size()) failures_ += "a connect to " + peerTried_ + " the script has no connection for; ";
    if (nextPart_ == parts_.size() || parts_[nextPart_].refused) {
        nextPart_ = std::min(nextPart_ + 1, parts_.size());
        SocketStack::Instance()->RaiseSocketError(kConnectionRefused);
    }
    part_ = &parts_[nextPart_++];
    step_ = 0;
    unsent_.clear();
    unread_.clear();
    piece_ = 0;
    ending_ = Ending::Open;
    sent_.emplace_back();
    connected_ = true;
}

void ScriptedTransport::Advance() {
    while (part_ && step_ < part_->steps.size()) {
        const ScriptStep& step = part_->steps[step_];
        switch (step.kind) {
            case ScriptStep::Kind::Send: unsent_ += step.bytes; break;
            case ScriptStep::Kind::ReadLine: {
                const size_t end = unread_.find('\n');
                if (end == std::string::npos) return;
                unread_.erase(0, end + 1);
                break;
            }
            case ScriptStep::Kind::Pieces: piece_ = step.count; break;
            case ScriptStep::Kind::Close: ending_ = Ending::Closed; break;
            case ScriptStep::Kind::Reset: ending_ = Ending::Reset; break;
            case ScriptStep::Kind::Accept:
            case ScriptStep::Kind::Refuse: break;  // split off by the constructor
        }
        ++step_;
    }
}

bool ScriptedTransport::Readable(Wait wait) {
    if (!connected_) throw ConnClosedGracefullyError();
    Advance();
    if (!unsent_.empty() || ending_ != Ending::Open) return true;
    if (wait.IsDefault() || wait.IsForever()) {
        failures_ += "the client waited for ever on a silent peer; ";
        return false;
    }
    std::this_thread::sleep_for(wait.Limit());
    return false;
}

bool ScriptedTransport::Writable(Wait) {
    if (!connected_) throw ClosedSocketError();
    return true;
}

long ScriptedTransport::Recv(char* buffer, size_t length) {
    if (!connected_) throw ClosedSocketError();
    Advance();
    if (unsent_.empty()) {
        if (ending_ == Ending::Closed) return 0;
        errno = ending_ == Ending::Reset ? ECONNRESET : EAGAIN;
        return -1;
    }
    const size_t count = std::min({length, piece_ > 0 ? piece_ : length, unsent_.size()});
    std::memcpy(buffer, unsent_.data(), count);
    unsent_.erase(0, count);
    return static_cast<long>(count);
}

long ScriptedTransport::Send(const char* buffer, size_t length) {
    if (!connected_) throw ClosedSocketError();
    if (ending_ == Ending::Reset) {
        errno = ECONNRESET;
        return -1;
    }
    sent_.back().append(buffer, length);
    unread_.append(buffer, length);
    Advance();
    return static_cast<long>(length);
}

}  // namespace corvasse::test
