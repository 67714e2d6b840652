#pragma once
// A transport for the fuzz targets: the connection receives the fuzz input in
// pieces whose sizes the input's first byte picks, then the peer's close.
// What the client sends is dropped.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "net/io_handler.h"

namespace corvasse::fuzz {

class FakeTransport : public IOHandler {
public:
    FakeTransport(const uint8_t* data, size_t size)
        : piece_(size > 0 ? data[0] % 64 + 1 : 1), input_(reinterpret_cast<const char*>(data), size) {
        if (size > 0) input_.erase(0, 1);
    }

    void Close() override {
        IOHandler::Close();
        connected_ = false;
    }
    void ConnectClient(const std::string&, int, AddressFamily, Wait, const LocalBinding&) override {
        connected_ = true;
    }
    bool Connected() override { return connected_; }
    bool Readable(Wait) override { return true; }
    bool Writable(Wait) override { return true; }
    long Recv(char* buffer, size_t length) override {
        size_t count = std::min({length, piece_, input_.size() - offset_});
        std::memcpy(buffer, input_.data() + offset_, count);
        offset_ += count;
        return static_cast<long>(count);
    }
    long Send(const char*, size_t length) override { return static_cast<long>(length); }

private:
    size_t piece_;
    std::string input_;
    size_t offset_ = 0;
    bool connected_ = false;
};

}  // namespace corvasse::fuzz
