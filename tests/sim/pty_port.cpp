#include "pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

Bytes Command(std::string_view word, const Bytes& arguments) {
    Bytes bytes(word.begin(), word.end());
    bytes.insert(bytes.end(), arguments.begin(), arguments.end());
    return bytes;
}

PtyPort::PtyPort(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios settings{};
    tcgetattr(fd_, &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, B9600);
    tcsetattr(fd_, TCSANOW, &settings);
}

PtyPort::~PtyPort() {
    if (fd_ >= 0) close(fd_);
}

bool PtyPort::Write(const Bytes& bytes) {
    return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

Bytes PtyPort::Read(size_t count, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    Bytes bytes;
    while (bytes.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd fd{fd_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left)) <= 0 || !(fd.revents & POLLIN)) break;
        uint8_t buffer[256];
        const ssize_t got = read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (got <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

Bytes PtyPort::Ask(std::string_view word, const Bytes& arguments, size_t count) {
    if (!Write(Command(word, arguments))) return {};
    return Read(count);
}

bool PtyPort::HungUp(std::chrono::milliseconds timeout) {
    pollfd fd{fd_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(timeout.count())) <= 0) return false;
    if (fd.revents & (POLLHUP | POLLERR)) return true;
    uint8_t byte;
    return read(fd_, &byte, 1) <= 0;
}
