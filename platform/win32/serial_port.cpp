// Serial ports on the Win32 communications API, one call per operation.
#include "platform/serial_port.h"

#include <windows.h>

#include <cstdio>

namespace quillmoor::platform {
namespace {

class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort(HANDLE handle, HANDLE claim) : handle_(handle), claim_(claim) {}
    ~Win32SerialPort() override
    {
        CloseHandle(handle_);
        CloseHandle(claim_);
    }
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
        if (!ok) return false;
        // A timeout with nothing read may also be a device that has gone (an
        // adapter pulled, a closed pty under Wine): ReadFile still succeeds
        // then, but the line's state can no longer be read.
        if (got == 0 && n > 0) {
            DWORD errors = 0;
            COMSTAT status{};
            return ClearCommError(handle_, &errors, &status) != FALSE;
        }
        return true;
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
    HANDLE claim_;
};

// A named object per device, alive while one of our port objects holds the
// device. Windows' serial drivers already refuse a second opener, but Wine
// opens a serial device as often as it is asked; the claim keeps the port
// exclusive there too, at least among the programs that use this code (the
// POSIX build's flock is no stronger). Null when someone else has the claim.
HANDLE ClaimDevice(const std::string& deviceName)
{
    // "\\.\COM3" and "com3" are one device; an object name has no backslash
    // after its namespace.
    std::string name = "Local\\Quillmoor.SerialPort.";
    for (char c : deviceName.substr(deviceName.find_last_of('\\') + 1))
        name += (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    HANDLE claim = CreateMutexA(nullptr, FALSE, name.c_str());
    if (claim != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(claim);
        SetLastError(ERROR_ACCESS_DENIED);  // what Windows reports for a held port
        return nullptr;
    }
    return claim;
}

}  // namespace

std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& deviceName)
{
    HANDLE claim = ClaimDevice(deviceName);
    if (claim == nullptr) {
        SetLastOpenFailure(OpenFailure::InUse);
        return nullptr;
    }
    HANDLE handle = CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    // Something that opens but has no line state is not a serial port: under
    // Wine a COM number whose device is missing opens as a stub on which
    // every communications call fails.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (handle != INVALID_HANDLE_VALUE && !GetCommState(handle, &dcb)) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        SetLastError(ERROR_FILE_NOT_FOUND);
    }
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        CloseHandle(claim);
        SetLastOpenFailure(error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? OpenFailure::InUse
                                                                                            : OpenFailure::Missing);
        SetLastError(error);
        return nullptr;
    }
    SetLastOpenFailure(OpenFailure::None);
    return std::make_unique<Win32SerialPort>(handle, claim);
}

// The device-namespace form: plain "COM10" and above do not open.
std::string SerialDeviceName(int portNumber)
{
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%i", portNumber);
    return name;
}

}  // namespace quillmoor::platform
