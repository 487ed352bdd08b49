// Serial ports on the Win32 communications API, one call per operation.
#include "platform/serial_port.h"

#include <windows.h>

#include <cstdio>

namespace quillmoor::platform {
namespace {

class Win32SerialPort final : public SerialPort {
public:
    explicit Win32SerialPort(HANDLE handle) : handle_(handle) {}
    ~Win32SerialPort() override { CloseHandle(handle_); }
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    bool SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) override
    {
        return SetupComm(handle_, inputBytes, outputBytes) != FALSE;
    }

    bool SetLineSettings(const LineSettings& settings) override
    {
        // Start from what the port driver reports so that binary mode, parity
        // checking, DSR sensitivity and the character replacements stay as
        // they are; only the framing and the flow control are ours.
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(handle_, &dcb);
        dcb.BaudRate = settings.baudRate;
        dcb.ByteSize = settings.dataBits;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fAbortOnError = FALSE;
        return SetCommState(handle_, &dcb) != FALSE;
    }

    bool SetTimeouts(const SerialTimeouts& timeouts) override
    {
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = timeouts.readIntervalMs;
        t.ReadTotalTimeoutMultiplier = timeouts.readTotalPerByteMs;
        t.ReadTotalTimeoutConstant = timeouts.readTotalConstantMs;
        t.WriteTotalTimeoutMultiplier = timeouts.writeTotalPerByteMs;
        t.WriteTotalTimeoutConstant = timeouts.writeTotalConstantMs;
        return SetCommTimeouts(handle_, &t) != FALSE;
    }

    bool SetEventMask(uint32_t mask) override { return SetCommMask(handle_, mask) != FALSE; }

    bool Read(void* buffer, size_t n, size_t& bytesRead) override
    {
        DWORD got = 0;
        const BOOL ok = ReadFile(handle_, buffer, static_cast<DWORD>(n), &got, nullptr);
        bytesRead = got;
        return ok != FALSE;
    }

    bool Write(const void* data, size_t n, size_t& bytesWritten) override
    {
        DWORD sent = 0;
        const BOOL ok = WriteFile(handle_, data, static_cast<DWORD>(n), &sent, nullptr);
        bytesWritten = sent;
        return ok != FALSE;
    }

    bool Flush() override { return FlushFileBuffers(handle_) != FALSE; }

    bool Purge() override { return PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR) != FALSE; }

private:
    HANDLE handle_;
};

}  // namespace

std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& deviceName)
{
    HANDLE handle = CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32SerialPort>(handle);
}

// The device-namespace form: plain "COM10" and above do not open.
std::string SerialDeviceName(int portNumber)
{
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%i", portNumber);
    return name;
}

}  // namespace quillmoor::platform
