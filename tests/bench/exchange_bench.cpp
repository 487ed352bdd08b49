// Exchange times against the simulated board paced at 9600 baud, each set
// against the time its bytes need on the wire (10 bits a byte with 8N1),
// plus the time "Auto" takes to find a board and the CPU an idle connection
// costs. A benchmark, run by hand: tools/bench.sh [ROUNDS] [IDLE_SECONDS]
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "device/fw_device.h"
#include "platform/port_folder.h"
#include "sim/board_sim.h"

namespace {

using namespace quillmoor;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr double kWireMsPerByte = 10.0 * 1000.0 / 9600.0;

struct Exchange {
    const char* name;
    size_t wireBytes;  // command word, arguments and reply
    std::function<bool(CFWDevice&)> run;
};

double ElapsedMs(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> samples)
{
    if (samples.empty()) return 0;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

double MedianMs(CFWDevice& device, const Exchange& exchange, int rounds)
{
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        const bool ok = exchange.run(device);
        samples.push_back(ElapsedMs(start));
        if (!ok) std::fprintf(stderr, "%s failed in round %d\n", exchange.name, i);
    }
    return Median(std::move(samples));
}

// CPU seconds, user and system, of the process (RUSAGE_SELF) or of the
// calling thread (RUSAGE_THREAD).
double CpuSeconds(int who = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::vector<Exchange> Exchanges(uint8_t* memory, int32_t& step, int& filter)
{
    return {
        {"FWFILTER", 8 + 1, [](CFWDevice& d) { int32_t i; return d.GetCurrentFilter(i); }},
        {"FWCOUNT", 7 + 1, [](CFWDevice& d) { return d.ReadFilterCount(); }},
        {"FWGOTO (next slot)", 6 + 1 + 1, [&](CFWDevice& d) { return d.GotoFilter(filter = (filter + 1) % 5); }},
        {"FWHOME", 6 + 1, [](CFWDevice& d) { return d.HomeWheel(0); }},
        {"FWWRITENAME", 11 + 1 + 8 + 1, [](CFWDevice& d) { return d.WriteFilterName(1, "Red"); }},
        {"FWreadEE 144", 8 + 2 + 144, [=](CFWDevice& d) { return d.ReadEeprom(0, 144, memory); }},
        {"FWwriteEE 144", 9 + 2 + 144 + 1, [](CFWDevice& d) { return d.WriteConfig(); }},
        {"FWfocus", 7 + 2, [](CFWDevice& d) { int32_t p; return d.GetFocuserPosition(p); }},
        {"FWgoFocus (1 step)", 9 + 2 + 1, [&](CFWDevice& d) { return d.MoveFocuserTo(++step % 2); }},
        {"FWsetFocus", 10 + 2 + 1, [](CFWDevice& d) { return d.SetFocuserPosition(0); }},
        {"FWdirFocus", 10 + 1, [](CFWDevice& d) { int32_t s; return d.GetFocuserDirection(s); }},
        {"FWtemperature", 13 + 1 + 2, [](CFWDevice& d) { float t; return d.ReadTemperature(0, t); }},
        {"FWisAuto", 8 + 1, [](CFWDevice& d) { int32_t s; return d.GetAutoCompSensor(s); }},
        {"FWautoCompSet", 13 + 1 + 1, [](CFWDevice& d) { return d.SetAutoCompSensor(-1); }},
        {"FWubStep", 8 + 1 + 2, [](CFWDevice& d) { int32_t a, b; return d.ReadMicrostepInfo(a, b); }},
        {"FWzm (64 bytes)", 4 + 1 + 64, [](CFWDevice& d) { return d.ReadMicrostepTable(); }},
        {"FWym (64 bytes)", 4 + 64 + 1, [](CFWDevice& d) { return d.WriteMicrostepTable(); }},
    };
}

void PrintRow(const char* name, double median, size_t wireBytes)
{
    const double wire = wireBytes * kWireMsPerByte;
    std::printf("| %s | %.2f | %.2f | %.3f | %.2f |\n", name, median, wire, median / wire, median - wire);
}

void ReportExchanges(CFWDevice& device, int rounds)
{
    uint8_t memory[144];
    int32_t step = 0;
    int filter = 0;
    std::printf("| exchange | median ms | wire ms | ratio | overhead ms |\n|---|---:|---:|---:|---:|\n");
    for (const Exchange& exchange : Exchanges(memory, step, filter))
        PrintRow(exchange.name, MedianMs(device, exchange, rounds), exchange.wireBytes);
}

// The whole connect: opening the port, FWFILTER, FWfocus, FWreadEE of the
// memory, FWCOUNT and FWzm; the port is closed again between rounds.
void ReportConnectSequence(CFWDevice& device, int rounds)
{
    constexpr size_t kConnectBytes = (8 + 1) + (7 + 2) + (8 + 2 + 144) + (7 + 1) + (4 + 1 + 64);
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        device.DisconnectMulti(1);
        const auto start = Clock::now();
        if (!device.ConnectMulti(1)) std::fprintf(stderr, "connect failed in round %d\n", i);
        samples.push_back(ElapsedMs(start));
    }
    PrintRow("connect (ConnectMulti)", Median(std::move(samples)), kConnectBytes);
}

// The board's line opened directly, raw, with no driver in between.
int OpenRawLine(const std::string& boardPath)
{
    const int fd = ::open(boardPath.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return -1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    tcflush(fd, TCIOFLUSH);
    return fd;
}

// One exchange with plain write, tcdrain and poll: the milliseconds it took.
double RawExchangeMs(int fd, const std::string& command, size_t replyBytes)
{
    const auto start = Clock::now();
    if (::write(fd, command.data(), command.size()) != static_cast<ssize_t>(command.size())) return -1;
    tcdrain(fd);
    uint8_t reply[16];
    size_t got = 0;
    while (got < replyBytes) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 5000) <= 0) break;
        const ssize_t n = ::read(fd, reply + got, replyBytes - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    const double ms = ElapsedMs(start);
    if (got != replyBytes) std::fprintf(stderr, "raw exchange: %zu of %zu bytes\n", got, replyBytes);
    return ms;
}

// The floor under every figure: "FWfocus" and its 2-byte reply on the raw
// line. What is left above the wire time here is the simulator's own
// scheduling and the pseudo-terminal, not the driver.
void ReportRawFloor(const std::string& boardPath, int rounds)
{
    const int fd = OpenRawLine(boardPath);
    if (fd < 0) return;
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) samples.push_back(RawExchangeMs(fd, "FWfocus", 2));
    ::close(fd);
    PrintRow("FWfocus, raw line without the driver (floor)", Median(std::move(samples)), 7 + 2);
}

// A thread's time on the CPU, in nanoseconds in /proc (the tick-counted
// figures in its stat file are too coarse for an idle thread).
double ThreadCpuSeconds(const std::string& tid)
{
    std::ifstream schedstat("/proc/self/task/" + tid + "/schedstat");
    double ns = 0;
    schedstat >> ns;
    return ns / 1e9;
}

std::set<std::string> ThreadIds()
{
    std::set<std::string> ids;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ids.insert(entry->d_name);
        closedir(dir);
    }
    return ids;
}

// A long move on a board whose moves take their real time: the move's wait
// reads one byte at a time under the link's timeouts. The time from the
// board's answer to the call's return, and the CPU the waiting thread used.
void ReportLongMove(const fs::path& ports, int moves)
{
    sim::BoardOptions options;
    options.pace = true;
    options.time_scale = 1;
    sim::BoardSim board(options);
    fs::create_symlink(board.SlavePath(), ports / "com1");
    {
        CFWDevice device(CFWDevice::Startup{.startTemperatureTimer = false});
        device.Options.ComPort = 1;
        if (device.ConnectMulti(1)) {
            // Out to 400 and back to 0, at the board's default 200 steps/s;
            // the way back also takes up 10 steps of backlash twice.
            auto outwards = [](int i) { return i % 2 == 0; };
            auto moveMs = [&](int i) { return (400 + (outwards(i) ? 0 : 2 * 10)) / 200.0 * 1000; };
            const double wireMs = (9 + 2 + 1) * kWireMsPerByte;
            std::vector<double> late;
            const double cpuBefore = CpuSeconds(RUSAGE_THREAD);
            double movingMs = 0;
            for (int i = 0; i < moves; ++i) {
                const auto start = Clock::now();
                if (!device.MoveFocuserTo(outwards(i) ? 400 : 0)) std::fprintf(stderr, "long move failed\n");
                const double took = ElapsedMs(start);
                movingMs += took;
                late.push_back(took - moveMs(i) - wireMs);
            }
            const double cpu = CpuSeconds(RUSAGE_THREAD) - cpuBefore;
            std::printf("Long moves (400 steps, 2.0 and 2.1 s, %d of them): return %.2f ms after move + wire "
                        "time (median); waiting thread %.3f s CPU (%.3f %% of the moving time)\n",
                        moves, Median(late), cpu, 100.0 * cpu / (movingMs / 1000));
            device.DisconnectMulti(1);

            // The same moves on the raw line: what the board itself adds.
            if (const int fd = OpenRawLine(board.SlavePath()); fd >= 0) {
                late.clear();
                for (int i = 0; i < moves; ++i) {
                    const std::string command = outwards(i) ? std::string("FWgoFocus\x90\x01", 11)
                                                            : std::string("FWgoFocus\0\0", 11);
                    late.push_back(RawExchangeMs(fd, command, 1) - moveMs(i) - wireMs);
                }
                ::close(fd);
                std::printf("  the same moves on the raw line without the driver: %.2f ms after move + wire time\n",
                            Median(late));
            }
        }
    }
    fs::remove(ports / "com1");
}

// "Auto" with a device that never answers on COM1, nothing on COM2 and the board on COM3.
void ReportConnect(const fs::path& ports, const std::string& boardPath)
{
    sim::BoardOptions options;
    options.pace = true;
    sim::BoardSim deaf(options);
    deaf.SetSilent(true);
    fs::create_symlink(deaf.SlavePath(), ports / "com1");
    fs::create_symlink(boardPath, ports / "com3");
    CFWDevice device(CFWDevice::Startup{.startTemperatureTimer = false});
    device.Options.ComPort = 0;
    const auto start = Clock::now();
    const bool found = device.ConnectMulti(1);
    std::printf("\nAuto connect, board on COM3 behind a silent COM1: %.0f ms (%s)\n", ElapsedMs(start),
                found ? "found" : "NOT FOUND");
    device.DisconnectMulti(1);
    fs::remove(ports / "com1");
    fs::remove(ports / "com3");
}

void ReportIdle(const fs::path& ports, const std::string& boardPath, int seconds)
{
    fs::create_symlink(boardPath, ports / "com1");
    // The threads the controller starts (its temperature-log timer) are the
    // ones that appear with it; with this thread they are the driver's share.
    // The rest of the process is the simulated board.
    const std::set<std::string> boardThreads = ThreadIds();
    CFWDevice device;  // with its five-second temperature log
    device.Options.ComPort = 1;
    if (!device.ConnectMulti(1)) return;
    std::vector<std::string> driverThreads = {std::to_string(gettid())};
    for (const std::string& id : ThreadIds())
        if (!boardThreads.count(id)) driverThreads.push_back(id);
    auto driverCpu = [&] {
        double sum = 0;
        for (const std::string& id : driverThreads) sum += ThreadCpuSeconds(id);
        return sum;
    };
    const double cpuBefore = CpuSeconds();
    const double driverBefore = driverCpu();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds() - cpuBefore;
    const double driver = driverCpu() - driverBefore;
    std::printf("Idle connection with the temperature log, %d s: %.3f s CPU (%.3f %%); of it the driver's "
                "threads %.3f s (%.3f %%), the simulated board the rest\n",
                seconds, cpu, 100.0 * cpu / seconds, driver, 100.0 * driver / seconds);
    device.DisconnectMulti(1);
    fs::remove(ports / "com1");
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 0;
    sim::BoardOptions options;
    options.pace = true;
    options.time_scale = 0;  // moves end at once: what is measured is the exchange itself
    sim::BoardSim board(options);
    if (!board.IsRunning()) {
        std::fprintf(stderr, "simulator: %s\n", board.Error().c_str());
        return 1;
    }

    const fs::path folder = fs::temp_directory_path() / ("quillmoor-bench-" + std::to_string(getpid()));
    const fs::path ports = folder / "ports";
    fs::create_directories(ports);
    platform::SetSerialPortFolder(ports.string());
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);

    int result = 0;
    {
        fs::create_symlink(board.SlavePath(), ports / "com1");
        CFWDevice device(CFWDevice::Startup{.startTemperatureTimer = false});
        device.Options.ComPort = 1;
        if (device.ConnectMulti(1)) {
            ReportExchanges(device, rounds);
            ReportConnectSequence(device, rounds);
            device.DisconnectMulti(1);
            ReportRawFloor(board.SlavePath(), rounds);
        } else {
            std::fprintf(stderr, "no board\n");
            result = 1;
        }
        fs::remove(ports / "com1");
    }
    ReportConnect(ports, board.SlavePath());
    ReportLongMove(ports, 6);
    if (idleSeconds > 0) ReportIdle(ports, board.SlavePath(), idleSeconds);
    fs::remove_all(folder);
    return result;
}
