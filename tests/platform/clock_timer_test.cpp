// The high-resolution counter, the local time, the periodic timer and the
// debugger output channel.
#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/timer.h"
#include "tests/platform/test_boards.h"

namespace quillmoor::test {
namespace {

using std::chrono::milliseconds;

TEST(ClockTest, CounterRunsForwardAtItsStatedFrequency)
{
    const int64_t frequency = platform::PerformanceFrequency();
    ASSERT_GT(frequency, 0);

    int64_t previous = platform::PerformanceCounter();
    for (int i = 0; i < 100'000; ++i) {
        const int64_t now = platform::PerformanceCounter();
        ASSERT_GE(now, previous) << "the counter went back after " << i << " reads";
        previous = now;
    }

    const int64_t before = platform::PerformanceCounter();
    std::this_thread::sleep_for(milliseconds(100));
    const int64_t counted = platform::PerformanceCounter() - before;
    // At least the 100 ms slept, less a little for a coarse counter.
    EXPECT_GE(counted, frequency * 90 / 1000);
}

TEST(ClockTest, LocalNowIsTheCalendarDate)
{
    auto today = [] {
        const std::time_t now = std::time(nullptr);
        const std::tm local = *std::localtime(&now);
        return std::vector<int>{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    };
    const std::vector<int> before = today();
    const platform::LocalDateTime now = platform::LocalNow();
    const std::vector<int> after = today();
    const std::vector<int> date{now.year, now.month, now.day};
    EXPECT_TRUE(date == before || date == after) << now.year << '-' << now.month << '-' << now.day;
    EXPECT_GE(now.hour, 0);
    EXPECT_LE(now.hour, 23);
    EXPECT_GE(now.minute, 0);
    EXPECT_LE(now.minute, 59);
    EXPECT_GE(now.second, 0);
    EXPECT_LE(now.second, 60);
}

std::atomic<int> firstTicks{0};
std::atomic<int> secondTicks{0};
void CountFirst() { ++firstTicks; }
void CountSecond() { ++secondTicks; }

// Handles messages until the count reaches at least `atLeast`; the limit is a
// sanity bound for a timer that never fires.
bool PumpUntil(const std::atomic<int>& count, int atLeast)
{
    for (int i = 0; i < 500 && count < atLeast; ++i) PumpMessagesFor(milliseconds(20));
    return count >= atLeast;
}

TEST(TimerTest, FiresUntilStoppedAndNotAfter)
{
    firstTicks = 0;
    const platform::TimerId id = platform::StartTimer(20, 1, CountFirst);
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(PumpUntil(firstTicks, 3)) << "the timer fired " << firstTicks << " times";
    platform::StopTimer(id);
    const int atStop = firstTicks;
    PumpMessagesFor(milliseconds(200));
    EXPECT_EQ(firstTicks, atStop) << "no tick after StopTimer returned";
}

TEST(TimerTest, TwoTimersCallTheirOwnProceduresAndStopSeparately)
{
    firstTicks = 0;
    secondTicks = 0;
    const platform::TimerId first = platform::StartTimer(20, 1, CountFirst);
    const platform::TimerId second = platform::StartTimer(30, 2, CountSecond);
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_TRUE(PumpUntil(firstTicks, 2));
    EXPECT_TRUE(PumpUntil(secondTicks, 2));

    platform::StopTimer(first);
    const int firstAtStop = firstTicks;
    const int secondAtStop = secondTicks;
    EXPECT_TRUE(PumpUntil(secondTicks, secondAtStop + 2)) << "stopping one timer left the other running";
    EXPECT_EQ(firstTicks, firstAtStop);
    platform::StopTimer(second);

    platform::StopTimer(first);  // stopping twice is harmless
}

TEST(DebugOutputTest, WatcherSeesEachTextUntilRemoved)
{
    std::vector<std::string> seen;
    platform::SetDebugOutputWatcher([&seen](const char* text) { seen.emplace_back(text); });
    platform::DebugOutput("quillmoor platform test: first line\r\n");
    platform::DebugOutput("second, with 100% and \"quotes\"");
    platform::SetDebugOutputWatcher({});
    platform::DebugOutput("quillmoor platform test: unwatched");
    EXPECT_EQ(seen, (std::vector<std::string>{"quillmoor platform test: first line\r\n",
                                              "second, with 100% and \"quotes\""}));
}

}  // namespace
}  // namespace quillmoor::test
