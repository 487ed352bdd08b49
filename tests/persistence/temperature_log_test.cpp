// The temperature log against the simulated board, on a clock the test sets:
// the bytes of each day's file and the ticks that write nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <sstream>
#include <thread>

#include "device/temperature_log.h"
#include "sim/board_memory.h"
#include "tests/device/board_fixture.h"
#include "tests/persistence/file_bytes.h"

namespace quillmoor::test {
namespace {

using platform::LocalDateTime;

constexpr LocalDateTime kEvening{2024, 3, 9, 21, 5, 0};

std::string Lines(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (std::string_view line : lines) {
        text += line;
        text += kTemperatureLogLineEnd;
    }
    return text;
}

class TemperatureLogTest : public BoardTest {
protected:
    // Two sensors reading -3.25 and -3.50, focuser at 1200, wheel on filter 0 "Red".
    static sim::BoardOptions EveningBoard()
    {
        sim::BoardOptions options = FastBoard();
        options.temperatures = {-325, -350};
        options.initial_focuser_position = 1200;
        options.initial_filter = 0;
        SetFilterName(options, 0, "Red");
        return options;
    }

    static void SetFilterName(sim::BoardOptions& options, int filter, const char* name)
    {
        char* at = reinterpret_cast<char*>(options.memory.data() + sim::FilterNameOffset(filter));
        std::memset(at, 0, kFilterNameBytes);
        std::memcpy(at, name, std::min(std::strlen(name), size_t{kFilterNameBytes}));
    }

    std::string LogFolder() const { return (Scratch().Path() / "log").string(); }
    std::filesystem::path LogFile(const LocalDateTime& date) const
    {
        return std::filesystem::path(LogFolder()) / TemperatureLogFileName(date);
    }
    std::string LogText(const LocalDateTime& date) const
    {
        const std::vector<uint8_t> bytes = ReadFileBytes(LogFile(date));
        return {bytes.begin(), bytes.end()};
    }
    void Tick(const LocalDateTime& now) { WriteTemperatureLogRow(Device(), now, {LogFolder()}); }
};

TEST_F(TemperatureLogTest, FileNameCarriesTheLocalDate)
{
    EXPECT_EQ(TemperatureLogFileName({2024, 3, 9, 23, 59, 59}), "term_log_2024-03-09.csv");
    EXPECT_EQ(TemperatureLogFileName({2025, 12, 31, 0, 0, 0}), "term_log_2025-12-31.csv");
}

TEST_F(TemperatureLogTest, NewDayStartsWithTheHeaderThenOneRowPerTick)
{
    Connected(EveningBoard());
    Tick(kEvening);
    Tick({2024, 3, 9, 21, 5, 5});
    EXPECT_EQ(LogText(kEvening), Lines({"Time,T0,T1,Focus,Filter",
                                        "21:05:00,-3.25,-3.50,1200,Red",
                                        "21:05:05,-3.25,-3.50,1200,Red"}));
    EXPECT_EQ(Hex(Board().Received()),
              Hex(Concat({Bytes("FWtemperature0"), Bytes("FWtemperature1"), Bytes("FWfocus"), Bytes("FWFILTER"),
                          Bytes("FWtemperature0"), Bytes("FWtemperature1"), Bytes("FWfocus"), Bytes("FWFILTER")})));
}

TEST_F(TemperatureLogTest, MidnightStartsANewFileWithItsOwnHeader)
{
    Connected(EveningBoard());
    const LocalDateTime beforeMidnight{2024, 12, 31, 23, 59, 58};
    const LocalDateTime afterMidnight{2025, 1, 1, 0, 0, 3};
    Tick(beforeMidnight);
    Tick(afterMidnight);
    EXPECT_EQ(LogText(beforeMidnight), Lines({"Time,T0,T1,Focus,Filter", "23:59:58,-3.25,-3.50,1200,Red"}));
    EXPECT_EQ(LogText(afterMidnight), Lines({"Time,T0,T1,Focus,Filter", "00:00:03,-3.25,-3.50,1200,Red"}));
}

TEST_F(TemperatureLogTest, AFolderThatCannotTakeTheFileGivesWayToTheNext)
{
    Connected(EveningBoard());
    // A folder with the day's file name stands where the file would go.
    const std::filesystem::path blocked = Scratch().Path() / "blocked";
    std::filesystem::create_directories(blocked / TemperatureLogFileName(kEvening));
    WriteTemperatureLogRow(Device(), kEvening, {blocked.string(), LogFolder()});
    EXPECT_EQ(LogText(kEvening), Lines({"Time,T0,T1,Focus,Filter", "21:05:00,-3.25,-3.50,1200,Red"}));
    EXPECT_TRUE(std::filesystem::is_empty(blocked / TemperatureLogFileName(kEvening)));
}

TEST_F(TemperatureLogTest, FileWithContentGetsNoSecondHeader)
{
    Connected(EveningBoard());
    std::filesystem::create_directories(LogFolder());
    const std::string earlier = Lines({"Time,T0,T1,Focus,Filter", "20:00:00,1.00,2.00,5,L"});
    WriteFileBytes(LogFile(kEvening), Bytes(earlier));
    Tick(kEvening);
    EXPECT_EQ(LogText(kEvening), earlier + Lines({"21:05:00,-3.25,-3.50,1200,Red"}));
}

TEST_F(TemperatureLogTest, NoSensorsMeansNoTemperatureColumns)
{
    sim::BoardOptions options = EveningBoard();
    options.memory[offsetof(ControllerConfig, SensorCount)] = 0;
    Connected(options);
    Tick(kEvening);
    EXPECT_EQ(LogText(kEvening), Lines({"Time,Focus,Filter", "21:05:00,1200,Red"}));
}

TEST_F(TemperatureLogTest, FailedReadingsLeaveEmptyCellsInAFullRow)
{
    sim::BoardOptions options = EveningBoard();
    options.temperatures = {sim::kNoReading, -350};
    Connected(options);
    Board().SetFault("FWfocus", sim::Fault::NoAnswer, 1);
    Tick(kEvening);
    EXPECT_EQ(LogText(kEvening), Lines({"Time,T0,T1,Focus,Filter", "21:05:00,,-3.50,,Red"}));
}

TEST_F(TemperatureLogTest, NoFilterInPlaceLeavesTheFilterCellEmpty)
{
    sim::BoardOptions options = EveningBoard();
    options.initial_filter = -1;
    Connected(options);
    Tick(kEvening);
    EXPECT_EQ(LogText(kEvening), Lines({"Time,T0,T1,Focus,Filter", "21:05:00,-3.25,-3.50,1200,"}));
}

TEST_F(TemperatureLogTest, EightCharacterFilterNameIsWrittenWholeAndAlone)
{
    sim::BoardOptions options = EveningBoard();
    SetFilterName(options, 0, "Luminanc");
    SetFilterName(options, 1, "Next");  // follows with no zero byte between
    Connected(options);
    Tick(kEvening);
    EXPECT_EQ(LogText(kEvening), Lines({"Time,T0,T1,Focus,Filter", "21:05:00,-3.25,-3.50,1200,Luminanc"}));
}

TEST_F(TemperatureLogTest, BoardWithoutAWheelIsNotAskedForAFilter)
{
    sim::BoardOptions options = EveningBoard();
    options.has_wheel = false;
    Connected(options);
    Tick(kEvening);
    EXPECT_EQ(LogText(kEvening), Lines({"Time,T0,T1,Focus,Filter", "21:05:00,-3.25,-3.50,1200,"}));
    EXPECT_EQ(Hex(Board().Received()), Hex(Concat({Bytes("FWtemperature0"), Bytes("FWtemperature1"), Bytes("FWfocus")})));
}

TEST_F(TemperatureLogTest, BoardWithoutAFocuserGetsNoLog)
{
    sim::BoardOptions options = EveningBoard();
    options.has_focuser = false;
    CFWDevice& device = Connected(options);
    ASSERT_TRUE(device.PortIsOpen());
    Tick(kEvening);
    EXPECT_FALSE(std::filesystem::exists(LogFolder()));
    EXPECT_TRUE(Board().Received().empty());
}

TEST_F(TemperatureLogTest, NoLogWhileDisconnected)
{
    MakeDevice().FocuserPresent = true;
    Tick(kEvening);
    EXPECT_FALSE(std::filesystem::exists(LogFolder()));
}

TEST_F(TemperatureLogTest, TickIsSkippedWhileAnExchangeHoldsBusy)
{
    CFWDevice& device = Connected(EveningBoard());
    ASSERT_TRUE(device.TryClaimBusy());
    Tick(kEvening);
    EXPECT_TRUE(device.Busy) << "the tick must not release a claim it does not hold";
    device.ReleaseBusy();
    EXPECT_FALSE(std::filesystem::exists(LogFile(kEvening)));
    EXPECT_TRUE(Board().Received().empty());
}

TEST_F(TemperatureLogTest, UnopenableFileIsSkippedQuietly)
{
    Connected(EveningBoard());
    std::filesystem::create_directories(LogFile(kEvening));  // a folder where the file should be
    Tick(kEvening);
    EXPECT_TRUE(Board().Received().empty()) << "no queries without a file to write them to";
}

// Run under the thread sanitizer: the tick's copy of Config must not race
// with a re-read of the block on another thread.
TEST_F(TemperatureLogTest, TicksAlongsideReReadsOfTheBlockWriteWholeRows)
{
    CFWDevice& device = Connected(EveningBoard());
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop) Tick(kEvening);  // ticks that find Busy held are skipped
    });
    for (int i = 0; i < 20; ++i) device.InitAfterConnect();
    stop = true;
    ticker.join();
    Tick(kEvening);

    std::istringstream lines(LogText(kEvening));
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "Time,T0,T1,Focus,Filter");
    while (std::getline(lines, line))
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 4) << line;
}

TEST_F(TemperatureLogTest, TimerProcedureWritesIntoTheDataFolder)
{
    Connected(EveningBoard());
    const LocalDateTime before = platform::LocalNow();
    TempLogTimerProc();
    const LocalDateTime after = platform::LocalNow();
    const auto folder = Scratch().Path() / "data" / "quillmoor";  // $XDG_DATA_HOME/quillmoor
    const bool written = std::filesystem::exists(folder / TemperatureLogFileName(before)) ||
                         std::filesystem::exists(folder / TemperatureLogFileName(after));
    EXPECT_TRUE(written);
}

}  // namespace
}  // namespace quillmoor::test
