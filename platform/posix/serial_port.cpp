// Serial devices on termios and poll, with the read and write timeouts of
// the Win32 serial driver, so the link behaves the same on every system.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/port_folder.h"

namespace quillmoor::platform {
namespace {

using Clock = std::chrono::steady_clock;

speed_t SpeedFor(uint32_t baudRate)
{
    switch (baudRate) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
    }
}

int MillisecondsUntil(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

class PosixSerialPort final : public SerialPort {
public:
    explicit PosixSerialPort(int fd) : fd_(fd) {}
    ~PosixSerialPort() override { ::close(fd_); }

    bool SetQueueSizes(uint32_t, uint32_t) override { return true; }  // the tty layer sizes its own

    bool SetLineSettings(const LineSettings& settings) override
    {
        termios tio{};
        if (tcgetattr(fd_, &tio) != 0) return false;
        cfmakeraw(&tio);
        tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        cfsetispeed(&tio, SpeedFor(settings.baudRate));
        cfsetospeed(&tio, SpeedFor(settings.baudRate));
        return tcsetattr(fd_, TCSANOW, &tio) == 0;
    }

    bool SetTimeouts(const SerialTimeouts& timeouts) override
    {
        timeouts_ = timeouts;
        return true;
    }

    bool SetEventMask(uint32_t) override { return true; }  // reads wait on poll instead

    bool Read(void* buffer, size_t n, size_t& bytesRead) override
    {
        bytesRead = 0;
        if (n == 0) return true;
        auto* out = static_cast<uint8_t*>(buffer);
        const bool totalUsed = timeouts_.readTotalConstantMs != 0 || timeouts_.readTotalPerByteMs != 0;
        const auto totalDeadline =
            Clock::now() + std::chrono::milliseconds(uint64_t(timeouts_.readTotalConstantMs) +
                                                     uint64_t(timeouts_.readTotalPerByteMs) * n);
        while (bytesRead < n) {
            int waitMs = -1;
            if (totalUsed) waitMs = MillisecondsUntil(totalDeadline);
            if (bytesRead > 0 && timeouts_.readIntervalMs != 0) {
                const int gap = static_cast<int>(timeouts_.readIntervalMs);
                waitMs = waitMs < 0 ? gap : std::min(waitMs, gap);
            }
            pollfd pfd{fd_, POLLIN, 0};
            int ready = ::poll(&pfd, 1, waitMs);
            if (ready < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (ready == 0) return true;  // a timeout yields what has arrived
            if (pfd.revents & (POLLERR | POLLNVAL)) return false;
            ssize_t got = ::read(fd_, out + bytesRead, n - bytesRead);
            if (got < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                return false;
            }
            if (got == 0) return false;  // the other end hung up
            bytesRead += static_cast<size_t>(got);
        }
        return true;
    }

    bool Write(const void* data, size_t n, size_t& bytesWritten) override
    {
        bytesWritten = 0;
        const auto* in = static_cast<const uint8_t*>(data);
        const bool totalUsed = timeouts_.writeTotalConstantMs != 0 || timeouts_.writeTotalPerByteMs != 0;
        const auto deadline =
            Clock::now() + std::chrono::milliseconds(uint64_t(timeouts_.writeTotalConstantMs) +
                                                     uint64_t(timeouts_.writeTotalPerByteMs) * n);
        while (bytesWritten < n) {
            ssize_t sent = ::write(fd_, in + bytesWritten, n - bytesWritten);
            if (sent > 0) {
                bytesWritten += static_cast<size_t>(sent);
                continue;
            }
            if (sent < 0 && errno != EAGAIN && errno != EINTR) return false;
            pollfd pfd{fd_, POLLOUT, 0};
            int ready = ::poll(&pfd, 1, totalUsed ? MillisecondsUntil(deadline) : -1);
            if (ready == 0) return false;  // write timeout
            if (ready < 0 && errno != EINTR) return false;
            if (ready > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
        }
        return true;
    }

    bool Flush() override { return tcdrain(fd_) == 0; }

    bool Purge() override { return tcflush(fd_, TCIOFLUSH) == 0; }

private:
    int fd_;
    SerialTimeouts timeouts_;
};

}  // namespace

std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& deviceName)
{
    int fd = ::open(deviceName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetLastOpenFailure(errno == EBUSY ? OpenFailure::InUse : OpenFailure::Missing);
        return nullptr;
    }
    // Exclusive like a Windows COM port: a second opener, in this process or
    // another, is refused rather than made to share the line.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        SetLastOpenFailure(errno == EWOULDBLOCK ? OpenFailure::InUse : OpenFailure::Missing);
        ::close(fd);
        return nullptr;
    }
    if (isatty(fd)) ::ioctl(fd, TIOCEXCL);
    SetLastOpenFailure(OpenFailure::None);
    return std::make_unique<PosixSerialPort>(fd);
}

std::unique_ptr<SerialPort> AdoptSerialDevice(int fd)
{
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return nullptr;
    // Reads and writes wait on poll with their own time limits, so the
    // descriptor itself must never block.
    const int flags = ::fcntl(copy, F_GETFL);
    if (flags < 0 || ::fcntl(copy, F_SETFL, flags | O_NONBLOCK) != 0) {
        ::close(copy);
        return nullptr;
    }
    return std::make_unique<PosixSerialPort>(copy);
}

std::string SerialDeviceName(int portNumber)
{
    return SerialPortFolder() + "/com" + std::to_string(portNumber);
}

}  // namespace quillmoor::platform
