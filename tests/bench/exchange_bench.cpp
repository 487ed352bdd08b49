// Exchange times against the simulated board paced at 9600 baud, each set
// against the time its bytes need on the wire (10 bits a byte with 8N1).
// A benchmark, run by hand: tools/bench.sh
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "device/fw_device.h"
#include "platform/port_folder.h"
#include "sim/board_sim.h"

namespace {

using namespace quillmoor;
using Clock = std::chrono::steady_clock;

constexpr double kWireMsPerByte = 10.0 * 1000.0 / 9600.0;

struct Exchange {
    const char* name;
    size_t wireBytes;  // command, arguments and reply
    std::function<bool(CFWDevice&)> run;
};

double MedianMs(CFWDevice& device, const Exchange& exchange, int rounds)
{
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        const bool ok = exchange.run(device);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (!ok) std::fprintf(stderr, "%s failed in round %d\n", exchange.name, i);
        samples.push_back(ms);
    }
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    sim::BoardOptions options;
    options.pace = true;
    options.time_scale = 0;  // moves end at once: what is measured is the exchange itself
    sim::BoardSim board(options);
    if (!board.IsRunning()) {
        std::fprintf(stderr, "simulator: %s\n", board.Error().c_str());
        return 1;
    }

    const auto folder = std::filesystem::temp_directory_path() / ("quillmoor-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink(board.SlavePath(), folder / "com1");
    platform::SetSerialPortFolder(folder.string());
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);

    int result = 0;
    {
        CFWDevice device(CFWDevice::Startup{.startTemperatureTimer = false});
        device.Options.ComPort = 1;
        if (!device.ConnectMulti(1)) {
            std::fprintf(stderr, "no board\n");
            result = 1;
        } else {
            uint8_t memory[144];
            int32_t step = 0;
            const std::vector<Exchange> exchanges = {
                {"FWfocus", 7 + 2, [](CFWDevice& d) { int32_t p; return d.GetFocuserPosition(p); }},
                {"FWreadEE 144", 8 + 2 + 144, [&](CFWDevice& d) { return d.ReadEeprom(0, 144, memory); }},
                {"FWgoFocus 1 step", 9 + 2 + 1,
                 [&](CFWDevice& d) { return d.MoveFocuserTo(++step % 2); }},
            };
            std::printf("%-18s %10s %10s %7s\n", "exchange", "median ms", "wire ms", "ratio");
            for (const Exchange& exchange : exchanges) {
                const double median = MedianMs(device, exchange, rounds);
                const double wire = exchange.wireBytes * kWireMsPerByte;
                std::printf("%-18s %10.2f %10.2f %7.3f\n", exchange.name, median, wire, median / wire);
            }
            device.DisconnectMulti(1);
        }
    }
    std::filesystem::remove_all(folder);
    return result;
}
