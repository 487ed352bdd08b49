// The serial device through OpenSerialDevice and the SerialPort interface,
// set up the way the link sets it up (OpenSerialPort, kLinkTimeouts), against
// boards whose behaviour is known: the same tests on every system.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "device/transport.h"
#include "platform/serial_port.h"
#include "sim/board_options.h"
#include "tests/platform/test_boards.h"

namespace quillmoor::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint8_t kAck = '!';
// Where the binary pattern goes in the board's memory; restored afterwards.
constexpr uint8_t kPatternAddress = 100;

std::string DeviceOf(Board board) { return platform::SerialDeviceName(PortNumber(board)); }

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) { return bytes; }

class SerialPortTest : public ::testing::Test {
protected:
    // The port as the link opens it, with a clean input queue.
    SerialPortPtr Open(Board board)
    {
        if (PortNumber(board) <= 0) {
            ADD_FAILURE() << "no port given for the " << BoardName(board);
            return nullptr;
        }
        SerialPortPtr port = OpenSerialPort(DeviceOf(board), kLinkBaudRate);
        EXPECT_TRUE(port) << BoardName(board) << " on " << DeviceOf(board) << " did not open";
        if (port) port->Purge();
        return port;
    }

    // Word and arguments out, then one read of n bytes: what came back.
    static std::vector<uint8_t> Exchange(platform::SerialPort& port, const char* word,
                                         const std::vector<uint8_t>& args, size_t n)
    {
        std::vector<uint8_t> reply(n);
        const size_t got = SendCommandData(port, word, args.data(), args.size(), reply.data(), n);
        reply.resize(got);
        return reply;
    }

    static std::vector<uint8_t> ReadMemory(platform::SerialPort& port, uint8_t address, uint8_t length)
    {
        return Exchange(port, "FWreadEE", {address, length}, length);
    }

    static std::vector<uint8_t> WriteMemory(platform::SerialPort& port, uint8_t address,
                                            const std::vector<uint8_t>& data)
    {
        std::vector<uint8_t> args{address, static_cast<uint8_t>(data.size())};
        args.insert(args.end(), data.begin(), data.end());
        return Exchange(port, "FWwriteEE", args, 1);
    }
};

TEST_F(SerialPortTest, PortIsHeldExclusivelyAndAMissingPortFailsAtOnce)
{
    SerialPortPtr port = Open(Board::Healthy);
    ASSERT_TRUE(port);
    EXPECT_EQ(platform::OpenSerialDevice(DeviceOf(Board::Healthy)), nullptr)
        << "a second open of a held port is refused";
    port.reset();
    port = Open(Board::Healthy);
    EXPECT_TRUE(port) << "closing the port frees it";

    ASSERT_GT(PortNumber(Board::Missing), 0);
    const auto before = Clock::now();
    EXPECT_EQ(platform::OpenSerialDevice(DeviceOf(Board::Missing)), nullptr);
    // Sanity bound only: opening never waits for a device to appear.
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(5));
}

TEST_F(SerialPortTest, EverySettingTheLinkMakesIsAccepted)
{
    // OpenSerialPort does not check all of these, so each is checked here.
    ASSERT_GT(PortNumber(Board::Healthy), 0);
    auto port = platform::OpenSerialDevice(DeviceOf(Board::Healthy));
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(port->SetQueueSizes(kDriverQueueBytes, kDriverQueueBytes));
    platform::LineSettings line;
    line.baudRate = kLinkBaudRate;
    EXPECT_TRUE(port->SetLineSettings(line));
    EXPECT_TRUE(port->SetTimeouts(kLinkTimeouts));
    EXPECT_TRUE(port->SetEventMask(platform::kEventReceivedChar));
    EXPECT_TRUE(port->Purge());
}

TEST_F(SerialPortTest, CommandsGoOutWholeAndBinaryRepliesComeBackUntouched)
{
    SerialPortPtr port = Open(Board::Healthy);
    ASSERT_TRUE(port);

    const std::array<uint8_t, sim::kMemoryBytes> defaults = sim::DefaultMemory();
    std::vector<uint8_t> memory = ReadMemory(*port, 0, sim::kMemoryBytes);
    EXPECT_EQ(memory, std::vector<uint8_t>(defaults.begin(), defaults.end()))
        << "all 144 bytes of a fresh board's memory";

    // Line ends, XON/XOFF, end-of-file, NUL and high bytes, both ways: the
    // pattern goes out as arguments and comes back as a reply.
    const std::vector<uint8_t> pattern = Bytes({0x0A, 0x0D, 0x11, 0x13, 0x00, 0x1A, 0x7F, 0xFF, 0x0D, 0x0A});
    EXPECT_EQ(WriteMemory(*port, kPatternAddress, pattern), Bytes({kAck}));
    EXPECT_EQ(ReadMemory(*port, kPatternAddress, static_cast<uint8_t>(pattern.size())), pattern);

    const std::vector<uint8_t> saved(defaults.begin() + kPatternAddress,
                                     defaults.begin() + kPatternAddress + pattern.size());
    EXPECT_EQ(WriteMemory(*port, kPatternAddress, saved), Bytes({kAck}));
    EXPECT_EQ(ReadMemory(*port, 0, sim::kMemoryBytes), std::vector<uint8_t>(defaults.begin(), defaults.end()));
}

TEST_F(SerialPortTest, WriteReportsEveryByteAndFlushSucceeds)
{
    SerialPortPtr port = Open(Board::Healthy);
    ASSERT_TRUE(port);
    const char word[] = "FWfocus";
    size_t written = 0;
    EXPECT_TRUE(port->Write(word, std::strlen(word), written));
    EXPECT_EQ(written, std::strlen(word));
    EXPECT_TRUE(port->Flush());
    uint8_t reply[2] = {0xEE, 0xEE};
    EXPECT_EQ(ReadBytes(*port, reply, 2), 2u);
    EXPECT_EQ(reply[0], 0x00);  // a fresh focuser stands at 0
    EXPECT_EQ(reply[1], 0x00);
}

TEST_F(SerialPortTest, ReadWithNothingArrivingTimesOutWithNoBytes)
{
    // 2 bytes asked for: 100 ms + 2 x 100 ms in all before the read gives up.
    const auto expectedWait = milliseconds(kLinkTimeouts.readTotalConstantMs + 2 * kLinkTimeouts.readTotalPerByteMs);
    for (Board board : {Board::Healthy, Board::Silent}) {
        SCOPED_TRACE(BoardName(board));
        SerialPortPtr port = Open(board);
        ASSERT_TRUE(port);
        if (board == Board::Silent) {
            ASSERT_TRUE(WriteString(*port, "FWfocus"));  // heard, never answered
        }
        uint8_t buffer[2] = {0xEE, 0xEE};
        size_t got = 99;
        const auto before = Clock::now();
        EXPECT_TRUE(port->Read(buffer, 2, got)) << "a timeout is not an error";
        const auto waited = Clock::now() - before;
        EXPECT_EQ(got, 0u);
        EXPECT_EQ(buffer[0], 0xEE);
        // Timer slack aside, the read waited out its total timeout.
        EXPECT_GE(waited, expectedWait - milliseconds(20));
    }
}

TEST_F(SerialPortTest, ReplyWithAGapOfMoreThan100MsComesBackShort)
{
    SerialPortPtr port = Open(Board::GapFocus);
    ASSERT_TRUE(port);
    uint8_t reply[2] = {0xEE, 0xEE};
    EXPECT_EQ(SendCommand(*port, "FWfocus", reply, 2), 1u) << "the read ends at the 250 ms gap";
    EXPECT_EQ(reply[0], 0x00);
    EXPECT_EQ(reply[1], 0xEE) << "the missing byte leaves the buffer alone";
    // The last byte was late, not lost: the next read picks it up.
    uint8_t late = 0xEE;
    EXPECT_EQ(ReadBytes(*port, &late, 1), 1u);
    EXPECT_EQ(late, 0x00);
}

TEST_F(SerialPortTest, PurgeDiscardsPendingInput)
{
    SerialPortPtr port = Open(Board::Healthy);
    ASSERT_TRUE(port);
    const uint8_t args[] = {0, static_cast<uint8_t>(sim::kMemoryBytes)};
    ASSERT_TRUE(WriteString(*port, "FWreadEE"));
    ASSERT_TRUE(WriteBytes(*port, args, sizeof args));
    // The board sends its reply in one piece: once its first byte is here,
    // the other 143 are waiting in the input queue.
    uint8_t first = 0;
    ASSERT_EQ(ReadBytes(*port, &first, 1), 1u);
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_TRUE(port->Purge());
    uint8_t rest[sim::kMemoryBytes];
    EXPECT_EQ(ReadBytes(*port, rest, 4), 0u) << "nothing is left after a purge";

    // The line still works afterwards.
    uint8_t position[2] = {};
    EXPECT_EQ(SendCommand(*port, "FWfocus", position, 2), 2u);
}

}  // namespace
}  // namespace quillmoor::test
