// Finding the board, opening and closing the link, and the client set.
#include <cstdio>

#include "device/command_frame.h"

namespace quillmoor {

bool CFWDevice::ConnectMulti(uint32_t key)
{
    std::lock_guard lock(clientsMutex_);
    if (!Clients.empty()) {
        Trace.Log("ConnectMulti(0x%x) = skip\r\n", key);
        Clients.insert(key);
        return true;
    }
    Trace.Log("ConnectMulti(0x%x) = connect\r\n", key);
    Connect();
    if (!PortIsOpen()) return false;
    Clients.insert(key);
    return true;
}

void CFWDevice::DisconnectMulti(uint32_t key)
{
    std::lock_guard lock(clientsMutex_);
    if (!PortIsOpen()) return;
    Clients.erase(key);
    if (!Clients.empty()) {
        Trace.Log("DisconnectMulti(0x%x) = skip\r\n", key);
        return;
    }
    Trace.Log("DisconnectMulti(0x%x) = Disconnect\r\n", key);
    Disconnect();
}

bool CFWDevice::Connect()
{
    HeldPortNumber = 0;
    if (Options.ComPort > 0) return OpenPort(Options.ComPort);
    // A held port is what the user most needs to hear of, even when ports
    // searched after it failed otherwise.
    int held = 0;
    for (int n = 1; n <= kAutoSearchLastPort; ++n) {
        if (OpenPort(n)) return true;
        if (held == 0) held = HeldPortNumber;
    }
    HeldPortNumber = held;
    if (held != 0) SetLastLinkFailure(LinkFailure::PortInUse);
    return false;
}

bool CFWDevice::OpenPort(int portNumber)
{
    if (PortIsOpen()) return true;
    if (!AdoptPort(OpenSerialPort(platform::SerialDeviceName(portNumber), kLinkBaudRate))) {
        if (platform::LastOpenFailure() == platform::OpenFailure::InUse) HeldPortNumber = portNumber;
        return false;
    }
    OpenPortNumber = portNumber;
    return true;
}

bool CFWDevice::AdoptPort(SerialPortPtr port)
{
    if (!port) {
        if (platform::LastOpenFailure() == platform::OpenFailure::InUse) SetLastLinkFailure(LinkFailure::PortInUse);
        return false;
    }
    if (PortIsOpen()) return true;

    // Readings of an earlier link may be of another board.
    for (std::atomic<bool>& known : TemperatureKnown) known = false;

    // The port is published with Busy already held, so no other thread gets
    // an exchange in before the board has been identified.
    bool identified = false;
    {
        BusyClaim claim(*this);
        if (claim.Held()) {
            {
                std::lock_guard lock(portMutex_);
                Port = port;
            }
            identified = InitAfterConnectClaimed(*port);
        }
    }
    if (!identified) {
        Disconnect();
        return false;
    }
    if (!LogFile.empty()) Trace.AttachFile(LogFile);
    return true;
}

void CFWDevice::Disconnect()
{
    {
        std::lock_guard lock(portMutex_);
        if (!Port) return;
        // An exchange still running on another thread keeps its own reference;
        // the device closes when that exchange ends.
        Port.reset();
    }
    OpenPortNumber = 0;
    Trace.DetachFile();
    FocuserPresent = false;
    WheelPresent = false;
}

bool CFWDevice::InitAfterConnect()
{
    return Framed(PurgeFirst::No, [&](platform::SerialPort& port) { return InitAfterConnectClaimed(port); });
}

bool CFWDevice::InitAfterConnectClaimed(platform::SerialPort& port)
{
    int32_t ignored = 0;
    port.Purge();
    WheelPresent = ExchangeCurrentFilter(port, ignored);
    port.Purge();
    FocuserPresent = ExchangeFocuserPosition(port, ignored);
    if (!WheelPresent && !FocuserPresent) return false;  // no board on this port

    if (!ExchangeReadEeprom(port, 0, sizeof Config, &Config)) return false;
    if (WheelPresent) {
        port.Purge();
        if (!ExchangeFilterCount(port)) return false;
    }
    if (FocuserPresent) {
        port.Purge();
        ExchangeMicrostepTable(port);
    }
    return true;
}

}  // namespace quillmoor
