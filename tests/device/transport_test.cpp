// The POSIX serial port against a real pseudo-terminal, with the read
// timeouts the link relies on.
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <thread>

#include "device/transport.h"
#include "tests/device/board_fixture.h"

namespace quillmoor::test {
namespace {

class TransportTest : public ::testing::Test {
protected:
    TransportTest()
    {
        char name[128] = {};
        openpty(&master_, &slave_, name, nullptr, nullptr);
        termios raw{};
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
        path_ = name;
    }
    ~TransportTest() override
    {
        if (master_ >= 0) close(master_);
        close(slave_);
    }
    void BoardWrites(const std::vector<uint8_t>& bytes) { (void)!write(master_, bytes.data(), bytes.size()); }
    std::vector<uint8_t> BoardReads()
    {
        uint8_t buffer[256];
        const ssize_t got = read(master_, buffer, sizeof buffer);
        return {buffer, buffer + std::max<ssize_t>(got, 0)};
    }

    int master_ = -1, slave_ = -1;
    std::string path_;
};

TEST_F(TransportTest, PortIsExclusiveAndMissingDevicesFailAtOnce)
{
    SerialPortPtr port = OpenSerialPort(path_, kLinkBaudRate);
    ASSERT_TRUE(port);
    EXPECT_FALSE(OpenSerialPort(path_, kLinkBaudRate)) << "a held port is refused";
    port.reset();
    EXPECT_TRUE(OpenSerialPort(path_, kLinkBaudRate));
    EXPECT_FALSE(OpenSerialPort("/nonexistent/com9", kLinkBaudRate));
}

TEST_F(TransportTest, CommandGoesOutWholeAndReplyComesBack)
{
    SerialPortPtr port = OpenSerialPort(path_, kLinkBaudRate);
    ASSERT_TRUE(port);
    std::thread board([&] {
        std::vector<uint8_t> seen;
        while (seen.size() < 15) {
            auto chunk = BoardReads();
            seen.insert(seen.end(), chunk.begin(), chunk.end());
        }
        EXPECT_EQ(seen, Concat({Bytes("FWtemperature"), {'1', 0x0A}}));
        BoardWrites({0x0A, 0x0D});  // binary bytes pass untouched
    });
    const uint8_t args[] = {'1', 0x0A};
    uint8_t reply[2] = {};
    EXPECT_EQ(SendCommandData(*port, "FWtemperature", args, 2, reply, 2), 2u);
    board.join();
    EXPECT_EQ(reply[0], 0x0A);
    EXPECT_EQ(reply[1], 0x0D);
}

TEST_F(TransportTest, AGapOfMoreThan100MsEndsTheRead)
{
    SerialPortPtr port = OpenSerialPort(path_, kLinkBaudRate);
    ASSERT_TRUE(port);
    std::thread board([&] {
        BoardWrites({1, 2});
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the gap under test
        BoardWrites({3});
    });
    uint8_t buffer[3] = {};
    EXPECT_EQ(ReadBytes(*port, buffer, 3), 2u) << "the caller sees a short count";
    board.join();
}

TEST_F(TransportTest, ReadWithinGivesTheFirstReadThatBroughtBytes)
{
    SerialPortPtr port = OpenSerialPort(path_, kLinkBaudRate);
    ASSERT_TRUE(port);
    uint8_t buffer[4] = {};
    BoardWrites({'!'});
    EXPECT_EQ(ReadWithin(*port, buffer, 1, 0), 0u) << "no budget: nothing is read";
    EXPECT_EQ(ReadWithin(*port, buffer, 1, -5), 0u);
    EXPECT_EQ(ReadWithin(*port, buffer, 4, 1000), 1u);
    EXPECT_EQ(buffer[0], '!');
}

TEST_F(TransportTest, PurgeDiscardsWhatArrivedEarlier)
{
    SerialPortPtr port = OpenSerialPort(path_, kLinkBaudRate);
    ASSERT_TRUE(port);
    BoardWrites({'l', 'a', 't', 'e'});
    uint8_t peek = 0;
    // Wait until the bytes are in the input queue, then throw them away.
    ASSERT_EQ(ReadBytes(*port, &peek, 1), 1u);
    port->Purge();
    EXPECT_EQ(ReadBytes(*port, &peek, 1), 0u);
}

TEST_F(TransportTest, VanishedDeviceEndsAWaitAtOnce)
{
    SerialPortPtr port = OpenSerialPort(path_, kLinkBaudRate);
    ASSERT_TRUE(port);
    close(master_);
    master_ = -1;
    uint8_t buffer[1];
    bool failed = false;
    EXPECT_EQ(ReadBytes(*port, buffer, 1, &failed), 0u);
    EXPECT_TRUE(failed);
    EXPECT_EQ(ReadWithin(*port, buffer, 1, 60'000), 0u) << "returns without spinning out the budget";
}

}  // namespace
}  // namespace quillmoor::test
