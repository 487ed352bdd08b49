// The simulated controller board on a pseudo-terminal.
//
// BoardSim opens a pty, keeps a slave descriptor of its own open (so the
// master never sees a hangup when the driver closes and reopens the port) and
// runs one thread that reads the master, parses the FW command words, acts on
// them and writes the replies. Tests open SlavePath() like any serial port.
//
// Every public member may be called from any thread while the board runs.
// Nothing here throws; a pty that cannot be created leaves IsRunning() false
// and the reason in Error().
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/board_options.h"
#include "sim/wire_record.h"

namespace quillmoor::sim {

// Faults that can be switched on for one command word.
enum class Fault {
    NoAnswer,     // the board acts as if the command never arrived
    ShortAnswer,  // the last byte of the reply is not sent
    Garbage,      // every reply byte is replaced by a byte from 0x80..0xFF
    Gap,          // a pause (BoardOptions::gap) before the last reply byte
    WheelFails,   // FWGOTO / FWHOME: the wheel loses its way and answers '/'
    NeverEnds,    // FWGOTO / FWHOME / FWgoFocus: the final byte never comes
};

class BoardSim {
public:
    explicit BoardSim(BoardOptions options = {});
    ~BoardSim();
    BoardSim(const BoardSim&) = delete;
    BoardSim& operator=(const BoardSim&) = delete;

    bool IsRunning() const;
    const std::string& Error() const;
    // Path of the slave end, e.g. "/dev/pts/7"; empty when not running.
    const std::string& SlavePath() const;

    // Faults. `times` < 0 means every occurrence. Returns false for a word the
    // board does not know, or a move fault on a word that is not a move.
    bool SetFault(std::string_view word, Fault fault, int times = -1);
    void ClearFaults();           // also ends silence and flood
    void SetSilent(bool silent);  // the board hears but answers nothing
    void SetFlood(bool flood);    // the board sends 0x55 as fast as the line goes
    // Pulls the cable: both pty ends are closed and stay closed. Returns when
    // it has happened.
    void Unplug();

    // Traffic since start or the last ClearRecord().
    std::vector<uint8_t> Received() const;  // bytes from the PC
    std::vector<uint8_t> Sent() const;      // bytes to the PC
    std::vector<WireEvent> Record() const;
    void ClearRecord();
    std::chrono::steady_clock::time_point StartTime() const;

    // Waits until at least `count` bytes have been received since the last
    // ClearRecord(). False on timeout.
    bool WaitForReceived(size_t count, std::chrono::milliseconds timeout);
    // Waits until every received byte has been dealt with: no command half
    // read, no reply or move still under way. Bytes still inside the pty are
    // not seen, so wait for them with WaitForReceived() first.
    bool WaitForIdle(std::chrono::milliseconds timeout);

    // Board state.
    std::array<uint8_t, kMemoryBytes> Memory() const;
    void SetMemory(const std::array<uint8_t, kMemoryBytes>& memory);
    int CurrentFilter() const;        // -1 = unknown
    int16_t FocuserPosition() const;  // the outcome of a move shows at once
    int AutoCompSensor() const;       // -1 = off
    std::vector<uint8_t> MicrostepTable() const;
    void SetTemperature(int sensor, int16_t hundredths);  // kNoReading allowed

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// "silent", "short", "garbage", "gap", "fail", "stall".
bool ParseFault(std::string_view name, Fault& fault);
std::string_view FaultName(Fault fault);

}  // namespace quillmoor::sim
