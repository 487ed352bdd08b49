// The PC's end of the simulated line: the slave opened like a serial port.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using Bytes = std::vector<uint8_t>;

// "FWgoFocus" followed by argument bytes, as one buffer.
Bytes Command(std::string_view word, const Bytes& arguments = {});

class PtyPort {
public:
    explicit PtyPort(const std::string& path);
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool Write(const Bytes& bytes);
    // Reads until `count` bytes have come or `timeout` has passed.
    Bytes Read(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Sends a command and reads `count` reply bytes.
    Bytes Ask(std::string_view word, const Bytes& arguments, size_t count);
    // True when the line has hung up (the cable is pulled).
    bool HungUp(std::chrono::milliseconds timeout);

private:
    int fd_ = -1;
};
