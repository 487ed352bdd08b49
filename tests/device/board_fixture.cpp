#include "tests/device/board_fixture.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/port_folder.h"

namespace quillmoor::test {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::string Hex(const std::vector<uint8_t>& bytes)
{
    std::string text;
    char cell[4];
    for (uint8_t byte : bytes) {
        std::snprintf(cell, sizeof cell, "%02X ", byte);
        text += cell;
    }
    if (!text.empty()) text.pop_back();
    return text;
}

ScratchFolder::ScratchFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmoor-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

BoardTest::BoardTest()
{
    std::filesystem::create_directories(scratch_.Path() / "ports");
    platform::SetSerialPortFolder((scratch_.Path() / "ports").string());
    setenv("XDG_CONFIG_HOME", (scratch_.Path() / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (scratch_.Path() / "data").c_str(), 1);
}

BoardTest::~BoardTest()
{
    device_.reset();
    boards_.clear();
    for (int fd : deadPorts_) close(fd);
}

sim::BoardOptions BoardTest::FastBoard()
{
    sim::BoardOptions options;
    options.time_scale = 0;
    return options;
}

void BoardTest::Link(int port, const std::string& target)
{
    std::filesystem::create_symlink(target, scratch_.Path() / "ports" / ("com" + std::to_string(port)));
}

sim::BoardSim& BoardTest::AddBoard(int port, sim::BoardOptions options)
{
    boards_.push_back(std::make_unique<sim::BoardSim>(std::move(options)));
    EXPECT_TRUE(boards_.back()->IsRunning()) << boards_.back()->Error();
    Link(port, boards_.back()->SlavePath());
    return *boards_.back();
}

void BoardTest::AddDeadPort(int port)
{
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    deadPorts_.push_back(master);
    deadPorts_.push_back(slave);
    Link(port, name);
}

CFWDevice& BoardTest::MakeDevice(int comPort)
{
    device_ = std::make_unique<CFWDevice>(CFWDevice::Startup{.startTemperatureTimer = false});
    device_->Options.ComPort = comPort;
    device_->LogFile = TracePath();
    return *device_;
}

CFWDevice& BoardTest::Connected(sim::BoardOptions options)
{
    AddBoard(1, std::move(options));
    CFWDevice& device = MakeDevice(1);
    EXPECT_TRUE(device.ConnectMulti(1));
    Board().ClearRecord();
    return device;
}

std::vector<std::string> BoardTest::TraceLines() const
{
    std::ifstream file(TracePath(), std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line)) {
        const size_t separator = line.find(" : ");
        lines.push_back(separator == std::string::npos ? line : line.substr(separator + 3));
    }
    return lines;
}

}  // namespace quillmoor::test
