// Eight threads calling everything at once, with the temperature log ticking
// beside them: no deadlock, no torn trace line, Busy never left set, every
// accepted move on the wire once, and the client set empty at the end.
// Under ThreadSanitizer this is the workload the COM objects put on the core.
#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

#include "device/temperature_log.h"
#include "tests/device/board_fixture.h"

namespace quillmoor::test {
namespace {

using StressTest = BoardTest;

size_t Occurrences(const std::vector<uint8_t>& wire, std::string_view word)
{
    size_t count = 0;
    for (auto at = wire.begin(); (at = std::search(at, wire.end(), word.begin(), word.end())) != wire.end();
         at += word.size())
        ++count;
    return count;
}

int StressSeconds()
{
    const char* seconds = std::getenv("QUILLMOOR_STRESS_SECONDS");
    return seconds ? std::max(1, std::atoi(seconds)) : 8;
}

TEST_F(StressTest, EightThreadsAndTheTemperatureLog)
{
    sim::BoardOptions options = FastBoard();
    options.time_scale = 0.02;  // moves take a few milliseconds, so they overlap other calls
    options.slot_ms = 5;
    CFWDevice& device = Connected(options);
    device.DisconnectMulti(1);  // the workers are the clients from here on
    Board().ClearRecord();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(StressSeconds());
    std::atomic<int> calls{0}, refused{0}, movesAccepted{0}, gotosAccepted{0};
    std::atomic<bool> workersDone{false};

    auto worker = [&](uint32_t key) {
        std::mt19937 random(key);
        device.ConnectMulti(key);
        while (std::chrono::steady_clock::now() < deadline) {
            int32_t value = 0;
            float degrees = 0;
            bool ok = true;
            switch (random() % 9) {
            case 0: ok = device.MoveFocuserTo(static_cast<int32_t>(random() % 200)); movesAccepted += ok; break;
            case 1: ok = device.GotoFilter(static_cast<int32_t>(random() % 5)); gotosAccepted += ok; break;
            case 2: ok = device.GetFocuserPosition(value); break;
            case 3: ok = device.GetCurrentFilter(value); break;
            case 4: ok = device.ReadTemperature(static_cast<int32_t>(random() % 2), degrees); break;
            case 5: (void)device.Busy.load(); (void)device.Filters.Snapshot(); break;
            case 6: (void)device.PortIsOpen(); break;
            case 7:  // leave and come back now and then; the trace notes every one
                if (random() % 64 == 0) device.DisconnectMulti(key), device.ConnectMulti(key);
                break;
            case 8: ok = device.GetAutoCompSensor(value); break;
            }
            calls++;
            refused += !ok;
        }
        device.DisconnectMulti(key);
    };
    std::thread logger([&] {
        const std::string folder = (Scratch().Path() / "templog").string();
        while (!workersDone) {
            WriteTemperatureLogRow(device, platform::LocalNow(), {folder});
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    std::vector<std::thread> workers;
    for (uint32_t key = 0x100; key < 0x108; ++key) workers.emplace_back(worker, key);
    for (std::thread& thread : workers) thread.join();
    workersDone = true;
    logger.join();

    EXPECT_FALSE(device.Busy);
    EXPECT_TRUE(device.ClientKeys().empty());
    EXPECT_FALSE(device.PortIsOpen()) << "the last client to leave closed the port";
    const std::vector<uint8_t> wire = Board().Received();
    EXPECT_EQ(Occurrences(wire, "FWgoFocus"), static_cast<size_t>(movesAccepted));
    EXPECT_EQ(Occurrences(wire, "FWGOTO"), static_cast<size_t>(gotosAccepted));

    std::ifstream trace(TracePath(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(trace)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    size_t lines = 0;
    for (size_t start = 0; start < text.size(); ++lines) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(line[0])) && line.find(" : ") != std::string::npos)
            << "torn line: " << line;
        start = end + 1;
    }
    std::printf("[ figures  ] %d calls, %d refused, %d moves and %d filter changes accepted, "
                "%zu bytes to the board, %zu from it, %zu trace lines since the last connect\n",
                calls.load(), refused.load(), movesAccepted.load(), gotosAccepted.load(), wire.size(),
                Board().Sent().size(), lines);
}

}  // namespace
}  // namespace quillmoor::test
