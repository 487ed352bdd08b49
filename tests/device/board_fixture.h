// A controller object wired to a simulated board through a private folder of
// port links, with its trace file and settings store in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/fw_device.h"
#include "sim/board_sim.h"

namespace quillmoor::test {

std::vector<uint8_t> Bytes(std::string_view text);
std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts);
std::string Hex(const std::vector<uint8_t>& bytes);

// A scratch folder, removed with everything in it at the end of the test.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

class BoardTest : public ::testing::Test {
protected:
    BoardTest();
    ~BoardTest() override;

    // Fast board: moves finish at once unless the options say otherwise.
    static sim::BoardOptions FastBoard();

    // Starts a board and links it as COM<port>.
    sim::BoardSim& AddBoard(int port, sim::BoardOptions options = FastBoard());
    // A serial device with nothing behind it, linked as COM<port>.
    void AddDeadPort(int port);
    // Builds the controller object (no timer) with Auto search or a fixed port.
    CFWDevice& MakeDevice(int comPort = 0);
    // Builds the device, connects it as one client and clears the board's record.
    CFWDevice& Connected(sim::BoardOptions options = FastBoard());

    // Trace file lines without their time stamps; the device must be disconnected.
    std::vector<std::string> TraceLines() const;
    std::string TracePath() const { return (scratch_.Path() / "trace.log").string(); }

    sim::BoardSim& Board() { return *boards_.front(); }
    CFWDevice& Device() { return *device_; }
    const ScratchFolder& Scratch() const { return scratch_; }

    // Makes COM<port> lead to a device path.
    void Link(int port, const std::string& target);

private:

    ScratchFolder scratch_;
    std::vector<std::unique_ptr<sim::BoardSim>> boards_;
    std::vector<int> deadPorts_;
    std::unique_ptr<CFWDevice> device_;
};

}  // namespace quillmoor::test
