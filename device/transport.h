// Byte-level primitives of the controller link, on an open port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/serial_port.h"

namespace quillmoor {

using SerialPortPtr = std::shared_ptr<platform::SerialPort>;

inline constexpr uint32_t kLinkBaudRate = 9600;
inline constexpr uint32_t kDriverQueueBytes = 512;
// Reads give up after a gap of more than 100 ms between bytes, or after
// 100 ms plus 100 ms for every byte asked for; writes likewise.
inline constexpr platform::SerialTimeouts kLinkTimeouts{100, 100, 100, 100, 100};

// Opens and configures the port; null when it cannot be opened or its
// queues cannot be set.
SerialPortPtr OpenSerialPort(const std::string& deviceName, uint32_t baudRate);
// Sets up a port opened elsewhere the way OpenSerialPort sets up its own.
SerialPortPtr ConfigureSerialPort(std::unique_ptr<platform::SerialPort> port, uint32_t baudRate);

// One read call for n bytes: the count that arrived (0 after a timeout or an
// error). portFailed, when given, tells an error of the device from a timeout,
// so that a wait on a vanished device ends at once instead of spinning.
size_t ReadBytes(platform::SerialPort& port, void* buffer, size_t n, bool* portFailed = nullptr);
bool WriteByte(platform::SerialPort& port, uint8_t byte);
bool WriteBytes(platform::SerialPort& port, const void* data, size_t n);
bool WriteString(platform::SerialPort& port, const char* word);

// Word, flush, one read of n reply bytes. 0 when the word could not be written.
size_t SendCommand(platform::SerialPort& port, const char* word, void* reply, size_t n);
// Word and argument bytes back to back, flush, one read of n reply bytes.
size_t SendCommandData(platform::SerialPort& port, const char* word, const void* args,
                       size_t argCount, void* reply, size_t n);

// Reads until a read call returns some bytes or budgetMs has passed: the count
// of the first read that returned any, else 0. A budget of 0 or less reads nothing.
size_t ReadWithin(platform::SerialPort& port, void* buffer, size_t n, int32_t budgetMs);

}  // namespace quillmoor
