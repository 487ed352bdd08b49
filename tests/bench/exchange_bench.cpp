// Exchange times against the simulated board paced at 9600 baud, each set
// against the time its bytes need on the wire (10 bits a byte with 8N1),
// plus the time "Auto" takes to find a board and the CPU an idle connection
// costs. A benchmark, run by hand: tools/bench.sh [ROUNDS] [IDLE_SECONDS]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
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

double MedianMs(CFWDevice& device, const Exchange& exchange, int rounds)
{
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        const bool ok = exchange.run(device);
        samples.push_back(ElapsedMs(start));
        if (!ok) std::fprintf(stderr, "%s failed in round %d\n", exchange.name, i);
    }
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
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

void ReportExchanges(CFWDevice& device, int rounds)
{
    uint8_t memory[144];
    int32_t step = 0;
    int filter = 0;
    std::printf("| exchange | median ms | wire ms | ratio | overhead ms |\n|---|---:|---:|---:|---:|\n");
    for (const Exchange& exchange : Exchanges(memory, step, filter)) {
        const double median = MedianMs(device, exchange, rounds);
        const double wire = exchange.wireBytes * kWireMsPerByte;
        std::printf("| %s | %.2f | %.2f | %.3f | %.2f |\n", exchange.name, median, wire, median / wire,
                    median - wire);
    }
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
    CFWDevice device;  // with its five-second temperature log
    device.Options.ComPort = 1;
    if (!device.ConnectMulti(1)) return;
    const double cpuBefore = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf("Idle connection with the temperature log, %d s: %.3f s CPU (%.3f %%)\n", seconds, cpu,
                100.0 * cpu / seconds);
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
            device.DisconnectMulti(1);
        } else {
            std::fprintf(stderr, "no board\n");
            result = 1;
        }
        fs::remove(ports / "com1");
    }
    ReportConnect(ports, board.SlavePath());
    if (idleSeconds > 0) ReportIdle(ports, board.SlavePath(), idleSeconds);
    fs::remove_all(folder);
    return result;
}
