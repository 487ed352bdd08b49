// The serial device as the controller link needs it. Each call maps onto one
// Win32 call: OpenSerialDevice is CreateFileA, Read is ReadFile, SetTimeouts
// is SetCommTimeouts, and so on, and keeps that call's meaning on every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quillmoor::platform {

// The line settings the link asks for. Parity is none, there is one stop bit
// and no flow control of any kind (CTS, DSR, XON/XOFF, DTR and RTS all off);
// every other flag stays as the port driver reports it.
struct LineSettings {
    uint32_t baudRate = 9600;
    uint8_t dataBits = 8;
};

// Timeouts with the meaning of COMMTIMEOUTS. A read of n bytes returns when
// n bytes have arrived, when more than readIntervalMs pass between two bytes
// (counted from the first byte on), or when readTotalConstantMs +
// n * readTotalPerByteMs have passed in all. Zero means "not used".
struct SerialTimeouts {
    uint32_t readIntervalMs = 0;
    uint32_t readTotalPerByteMs = 0;
    uint32_t readTotalConstantMs = 0;
    uint32_t writeTotalPerByteMs = 0;
    uint32_t writeTotalConstantMs = 0;
};

// Event mask bit for "a character was received" (EV_RXCHAR).
inline constexpr uint32_t kEventReceivedChar = 0x0001;

// An open serial device; destroying it closes the device. The object has no
// lock: one thread at a time uses it, and the controller's Busy flag sees to
// that. Reads and writes block their caller.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual bool SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) = 0;
    virtual bool SetLineSettings(const LineSettings& settings) = 0;
    virtual bool SetTimeouts(const SerialTimeouts& timeouts) = 0;
    virtual bool SetEventMask(uint32_t mask) = 0;

    // Reads at most n bytes under the timeouts. A short count is a timeout,
    // not an error; false means the read call itself failed (the device is
    // gone, for example), and bytesRead still holds what arrived.
    virtual bool Read(void* buffer, size_t n, size_t& bytesRead) = 0;
    // Writes n bytes under the write timeouts; bytesWritten says how many went.
    virtual bool Write(const void* data, size_t n, size_t& bytesWritten) = 0;
    // Waits until everything written has left the output buffer.
    virtual bool Flush() = 0;
    // Discards pending input and pending output.
    virtual bool Purge() = 0;
};

// Opens an existing device for exclusive reading and writing, with no
// overlapped I/O. Null when the device does not exist or another program
// holds it; opening never waits.
std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& deviceName);

// Why the last OpenSerialDevice of this thread failed: InUse when another
// opener holds the device (ERROR_ACCESS_DENIED on Windows), Missing for any
// other reason; None after a success.
enum class OpenFailure { None, Missing, InUse };
OpenFailure LastOpenFailure();
void SetLastOpenFailure(OpenFailure failure);  // for the implementations

#ifndef _WIN32
// POSIX only: a port on a copy of a descriptor opened elsewhere (a host's own
// serial connection, say); the copy is closed with the port, the original is not.
// The two share their file status, so the original turns non-blocking too.
// Null when the descriptor cannot be copied.
std::unique_ptr<SerialPort> AdoptSerialDevice(int fd);
#endif

// The name under which port number n ("COMn") is opened on this system.
std::string SerialDeviceName(int portNumber);

}  // namespace quillmoor::platform
