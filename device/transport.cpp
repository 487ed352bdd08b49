#include "device/transport.h"

#include <cstring>

#include "device/stopwatch.h"

namespace quillmoor {

SerialPortPtr OpenSerialPort(const std::string& deviceName, uint32_t baudRate)
{
    return ConfigureSerialPort(platform::OpenSerialDevice(deviceName), baudRate);
}

SerialPortPtr ConfigureSerialPort(std::unique_ptr<platform::SerialPort> port, uint32_t baudRate)
{
    if (!port) return nullptr;
    if (!port->SetQueueSizes(kDriverQueueBytes, kDriverQueueBytes)) return nullptr;
    // The board has no use for anything the settings or the timeouts might
    // refuse, so their results are not checked.
    platform::LineSettings line;
    line.baudRate = baudRate;
    port->SetLineSettings(line);
    port->SetTimeouts(kLinkTimeouts);
    port->SetEventMask(platform::kEventReceivedChar);
    return SerialPortPtr(std::move(port));
}

size_t ReadBytes(platform::SerialPort& port, void* buffer, size_t n, bool* portFailed)
{
    size_t got = 0;
    const bool ok = port.Read(buffer, n, got);
    if (portFailed) *portFailed = !ok;
    return ok ? got : 0;
}

bool WriteBytes(platform::SerialPort& port, const void* data, size_t n)
{
    size_t written = 0;
    return port.Write(data, n, written) && written == n;
}

bool WriteByte(platform::SerialPort& port, uint8_t byte) { return WriteBytes(port, &byte, 1); }

bool WriteString(platform::SerialPort& port, const char* word)
{
    return WriteBytes(port, word, std::strlen(word));
}

size_t SendCommand(platform::SerialPort& port, const char* word, void* reply, size_t n)
{
    return SendCommandData(port, word, nullptr, 0, reply, n);
}

size_t SendCommandData(platform::SerialPort& port, const char* word, const void* args,
                       size_t argCount, void* reply, size_t n)
{
    if (!WriteString(port, word)) return 0;
    if (argCount > 0 && !WriteBytes(port, args, argCount)) return 0;
    port.Flush();
    return ReadBytes(port, reply, n);
}

size_t ReadWithin(platform::SerialPort& port, void* buffer, size_t n, int32_t budgetMs)
{
    Stopwatch watch;
    watch.Start();
    while (watch.ElapsedMs() < budgetMs) {
        bool portFailed = false;
        size_t got = ReadBytes(port, buffer, n, &portFailed);
        if (got > 0) return got;
        if (portFailed) break;
    }
    return 0;
}

}  // namespace quillmoor
