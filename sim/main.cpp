// quillmoor-sim: the simulated controller board as a program. The first line
// on standard output is the port to open; the board runs until SIGINT,
// SIGTERM or a "quit" line on standard input.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "sim/board_memory.h"
#include "sim/board_sim.h"
#include "sim/control_lines.h"
#include "device/controller_config.h"

namespace {

using namespace quillmoor::sim;

constexpr int16_t kExtraProbeReading = 2000;  // 20.00 degrees for probes beyond the first two
constexpr int kRecordRefreshMs = 100;

constexpr std::string_view kHelp = R"(usage: quillmoor-sim [options]

Plays the telescope accessory controller board on a pseudo-terminal. The first
line on standard output is the slave path to open as the serial port.

Board fit-out:
  --no-focuser          no focuser: focuser commands get no answer
  --no-wheel            no filter wheel: wheel commands get no answer
  --sensors N           N temperature probes fitted (also sets SensorCount in
                        the memory); default 2
  --temp I=VALUE        reading of sensor I in degrees, or "none" for no reading
  --memory FILE         initial configuration memory: the first 144 bytes of
                        FILE (a raw block or a settings file)
  --initial-filter N    filter the wheel stands at on power-up; -1 = unknown
  --microsteps N        microsteps per full step that FWubStep reports (1..255);
                        default 64

Timing:
  --pace                send at 9600 baud (1.0417 ms per byte); default: at once
  --time-scale X        multiply move durations by X (0 = instant); default 1
  --slot-ms MS          wheel time per filter slot; default from the memory
  --notices             send "FWmoveFocus" + 2 bytes halfway through wheel turns

Faults and traffic:
  --fault WORD=KIND[:N] spoil the next N answers to WORD (default: all of them).
                        KIND: silent, short, garbage, gap, fail (FWGOTO/FWHOME
                        answer '/'), stall (the move never ends)
  --record FILE         keep FILE up to date with every byte on the line
  --link PATH           also make PATH a symlink to the slave (removed at exit)
  --help                this text

Control lines on standard input (each answered with one line):
  fault WORD KIND [N] | clear | silent on|off | flood on|off | unplug |
  temp I VALUE | status | record (write the record file now) | quit
)";

struct ProgramOptions {
    BoardOptions board;
    std::vector<FaultSwitch> faults;
    std::string record_path;
    std::string link_path;
};

bool ParseInt(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ReadMemoryFile(const std::string& path, BoardOptions& board) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes(std::istreambuf_iterator<char>(file), {});
    if (!file.good() && !file.eof()) return false;
    if (bytes.size() < kMemoryBytes) return false;
    std::memcpy(board.memory.data(), bytes.data(), kMemoryBytes);
    return true;
}

// Returns an error text, empty on success.
std::string ParseArguments(int argc, char** argv, ProgramOptions& out) {
    std::vector<std::pair<int, int16_t>> readings;
    int sensors = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::string_view { return i + 1 < argc ? argv[++i] : ""; };
        int number = 0;
        if (arg == "--help") {
            std::fwrite(kHelp.data(), 1, kHelp.size(), stdout);
            std::exit(0);
        } else if (arg == "--no-focuser") {
            out.board.has_focuser = false;
        } else if (arg == "--no-wheel") {
            out.board.has_wheel = false;
        } else if (arg == "--pace") {
            out.board.pace = true;
        } else if (arg == "--notices") {
            out.board.notices = true;
        } else if (arg == "--sensors") {
            if (!ParseInt(value(), sensors) || sensors < 0 || sensors > 10)
                return "--sensors takes 0..10";
        } else if (arg == "--temp") {
            const std::string_view text = value();
            const size_t equals = text.find('=');
            int16_t hundredths = 0;
            if (equals == std::string_view::npos || !ParseInt(text.substr(0, equals), number) ||
                number < 0 || number > 9 || !ParseTemperature(text.substr(equals + 1), hundredths))
                return "--temp takes I=DEGREES or I=none";
            readings.emplace_back(number, hundredths);
        } else if (arg == "--memory") {
            const std::string path(value());
            if (!ReadMemoryFile(path, out.board)) return "cannot read 144 bytes from " + path;
        } else if (arg == "--initial-filter") {
            if (!ParseInt(value(), number) || number < -1 || number > 9)
                return "--initial-filter takes -1..9";
            out.board.initial_filter = number;
        } else if (arg == "--microsteps") {
            if (!ParseInt(value(), number) || number < 1 || number > 255)
                return "--microsteps takes 1..255";
            out.board.microsteps_per_full_step = static_cast<uint8_t>(number);
        } else if (arg == "--time-scale") {
            const std::string_view text = value();
            double scale = -1;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), scale);
            if (error != std::errc() || end != text.data() + text.size() || scale < 0)
                return "--time-scale takes a number of 0 or more";
            out.board.time_scale = scale;
        } else if (arg == "--slot-ms") {
            if (!ParseInt(value(), number) || number <= 0) return "--slot-ms takes a positive number";
            out.board.slot_ms = number;
        } else if (arg == "--fault") {
            FaultSwitch setting;
            if (!ParseFaultSwitch(value(), setting)) return "--fault takes WORD=KIND[:N]";
            out.faults.push_back(setting);
        } else if (arg == "--record") {
            out.record_path = value();
            if (out.record_path.empty()) return "--record takes a file name";
        } else if (arg == "--link") {
            out.link_path = value();
            if (out.link_path.empty()) return "--link takes a path";
        } else {
            return "unknown option " + std::string(arg) + " (see --help)";
        }
    }
    // Probes are fitted after the memory is loaded, so --sensors wins over it.
    if (sensors >= 0) {
        out.board.memory[offsetof(quillmoor::ControllerConfig, SensorCount)] =
            static_cast<uint8_t>(sensors);
        out.board.temperatures.resize(sensors, kExtraProbeReading);
    }
    for (const auto& [sensor, hundredths] : readings) {
        if (static_cast<size_t>(sensor) >= out.board.temperatures.size())
            out.board.temperatures.resize(sensor + 1, kExtraProbeReading);
        out.board.temperatures[sensor] = hundredths;
    }
    return {};
}

void WriteRecord(const BoardSim& board, const std::string& path) {
    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << FormatRecord(board.Record(), board.StartTime());
    }
    std::rename(temporary.c_str(), path.c_str());  // readers never see half a file
}

void Answer(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    ProgramOptions options;
    if (std::string error = ParseArguments(argc, argv, options); !error.empty()) {
        std::fprintf(stderr, "quillmoor-sim: %s\n", error.c_str());
        return 2;
    }

    // Block the stop signals before the board's thread starts, so that they
    // all arrive on the signalfd below.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    const int signal_fd = signalfd(-1, &stop_signals, SFD_CLOEXEC);

    BoardSim board(options.board);
    if (!board.IsRunning()) {
        std::fprintf(stderr, "quillmoor-sim: %s\n", board.Error().c_str());
        return 1;
    }
    for (const FaultSwitch& setting : options.faults)
        if (!board.SetFault(setting.word, setting.fault, setting.times)) {
            std::fprintf(stderr, "quillmoor-sim: fault %s does not fit %s\n",
                         std::string(FaultName(setting.fault)).c_str(), setting.word.c_str());
            return 2;
        }
    if (!options.link_path.empty()) {
        unlink(options.link_path.c_str());
        if (symlink(board.SlavePath().c_str(), options.link_path.c_str()) != 0) {
            std::fprintf(stderr, "quillmoor-sim: cannot link %s: %s\n", options.link_path.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    Answer(board.SlavePath());

    bool reading_stdin = true;
    bool running = true;
    std::string pending;
    size_t recorded = 0;
    while (running) {
        pollfd fds[2] = {{signal_fd, POLLIN, 0}, {reading_stdin ? 0 : -1, POLLIN, 0}};
        poll(fds, 2, kRecordRefreshMs);
        if (fds[0].revents & POLLIN) running = false;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buffer[512];
            const ssize_t count = read(0, buffer, sizeof buffer);
            if (count <= 0) reading_stdin = false;  // EOF: keep running, stop listening
            else pending.append(buffer, static_cast<size_t>(count));
        }
        for (size_t end; running && (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line == "quit") {
                running = false;
            } else if (line == "record") {
                if (!options.record_path.empty()) WriteRecord(board, options.record_path);
                Answer(options.record_path.empty() ? "error: no --record file" : "ok");
            } else {
                Answer(ApplyControlLine(board, line));
            }
        }
        if (!options.record_path.empty()) {
            const size_t now_recorded = board.Received().size() + board.Sent().size();
            if (now_recorded != recorded) WriteRecord(board, options.record_path);
            recorded = now_recorded;
        }
    }

    if (!options.record_path.empty()) WriteRecord(board, options.record_path);
    if (!options.link_path.empty()) unlink(options.link_path.c_str());
    return 0;
}
