#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "device/fw_device.h"
#include "platform/debug_output.h"
#include "platform/port_folder.h"
#include "tools/quillmoor/cli.h"

namespace quillmoor::cli {
namespace {

constexpr uint32_t kClientKey = 0xC11;

bool ParseInt(const std::string& text, int32_t& value)
{
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && !text.empty();
}

// A port given as a device path gets a private folder of port links in which
// it is COM1, so it is opened the same way as any numbered port.
class PortChoice {
public:
    bool Apply(const std::string& port, DriverOptions& options)
    {
        int32_t number = 0;
        if (port == "auto") {
            options.ComPort = 0;
            return true;
        }
        std::string digits = port.rfind("COM", 0) == 0 ? port.substr(3) : port;
        if (ParseInt(digits, number)) {
            if (number < 1) return false;
            options.ComPort = number;
            return true;
        }
        char pattern[] = "/tmp/quillmoor-ports-XXXXXX";
        if (!mkdtemp(pattern)) return false;
        folder_ = pattern;
        std::error_code error;
        std::filesystem::create_symlink(std::filesystem::absolute(port, error), folder_ / "com1", error);
        if (error) return false;
        platform::SetSerialPortFolder(folder_.string());
        options.ComPort = 1;
        return true;
    }
    ~PortChoice()
    {
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }

private:
    std::filesystem::path folder_;
};

int Fail(const char* message)
{
    std::fprintf(stderr, "quillmoor: %s\n", message);
    return kBoardFailed;
}

int PrintStatus(CFWDevice& device)
{
    bool allAnswered = true;
    std::printf("focuser: %s\n", device.FocuserPresent ? "present" : "absent");
    std::printf("wheel: %s\n", device.WheelPresent ? "present" : "absent");
    if (device.FocuserPresent) {
        int32_t position = 0;
        if (device.GetFocuserPosition(position)) std::printf("focuser position: %d\n", position);
        else allAnswered = false, std::printf("focuser position: ?\n");
    }
    const std::vector<FilterSlot> filters = device.Filters.Snapshot();
    if (device.WheelPresent) {
        int32_t index = 0;
        if (!device.GetCurrentFilter(index)) allAnswered = false, std::printf("current filter: ?\n");
        else if (index >= 0 && index < static_cast<int32_t>(filters.size()))
            std::printf("current filter: %d (%s)\n", index, SlotName(filters[index]).c_str());
        else std::printf("current filter: %d\n", index);
    }
    for (int sensor = 0; sensor < device.Config.SensorCount; ++sensor) {
        float degrees = 0;
        if (device.ReadTemperature(sensor, degrees)) std::printf("temperature %d: %.2f\n", sensor, degrees);
        else std::printf("temperature %d: no reading\n", sensor);
    }
    std::printf("filters: %zu\n", filters.size());
    for (size_t i = 0; i < filters.size(); ++i)
        std::printf("  %zu %-8s wheel %d focus %d\n", i, SlotName(filters[i]).c_str(), filters[i].Pos,
                    filters[i].FocuserPos);
    return allAnswered ? kSuccess : Fail("the board did not answer every query");
}

int RunCommand(CFWDevice& device, const Request& request)
{
    int32_t number = 0;
    if (request.command == "status") return PrintStatus(device);
    if (request.command == "focus") {
        ParseInt(request.argument, number);
        if (!device.FocuserPresent) return Fail("the board has no focuser");
        if (!device.MoveFocuserTo(number)) return Fail("the focuser move failed");
        std::printf("focuser position: %d\n", device.FocuserPosition.load());
        return kSuccess;
    }
    if (request.command == "filter") {
        ParseInt(request.argument, number);
        if (!device.WheelPresent) return Fail("the board has no filter wheel");
        if (!device.GotoFilter(number)) return Fail("the filter change failed");
        std::printf("current filter: %d\n", device.CurrentFilter.load());
        return kSuccess;
    }
    if (request.command == "save") {
        device.SaveToFile(request.argument);
        if (access(request.argument.c_str(), F_OK) != 0) return Fail("the settings file could not be written");
        std::printf("saved %s\n", request.argument.c_str());
        return kSuccess;
    }
    if (!device.LoadFromFile(request.argument)) return Fail("Load failed");
    std::printf("loaded %s\n", request.argument.c_str());
    return kSuccess;
}

}  // namespace

std::string Usage()
{
    return "usage: quillmoor --port DEVICE [--trace] COMMAND\n"
           "\n"
           "DEVICE is a serial device path, COMn (a port of the port folder),\n"
           "or auto (search COM1..COM16).\n"
           "\n"
           "commands:\n"
           "  status       presence, focuser position, current filter, temperatures, filter table\n"
           "  focus N      move the focuser to motor position N\n"
           "  filter N     turn the wheel to filter N\n"
           "  save FILE    write the board's settings to a settings file\n"
           "  load FILE    apply a settings file to the board\n"
           "\n"
           "--trace copies the trace log to standard error.\n"
           "Exit codes: 0 success, 1 the board refused or did not answer, 2 usage error.\n";
}

std::string ParseArguments(const std::vector<std::string>& args, Request& request)
{
    std::vector<std::string> words;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--port") {
            if (i + 1 >= args.size()) return "--port needs a device";
            request.port = args[++i];
        } else if (args[i] == "--trace") {
            request.trace = true;
        } else if (args[i].rfind("--", 0) == 0) {
            return "unknown option " + args[i];
        } else {
            words.push_back(args[i]);
        }
    }
    if (request.port.empty()) return "--port is required";
    if (words.empty()) return "no command given";
    request.command = words[0];
    const bool takesNumber = request.command == "focus" || request.command == "filter";
    const bool takesFile = request.command == "save" || request.command == "load";
    if (request.command == "status") return words.size() == 1 ? "" : "status takes no argument";
    if (!takesNumber && !takesFile) return "unknown command " + request.command;
    if (words.size() != 2) return request.command + " takes one argument";
    request.argument = words[1];
    int32_t number = 0;
    if (takesNumber && !ParseInt(request.argument, number)) return "not a whole number: " + request.argument;
    return "";
}

int Run(const Request& request)
{
    if (request.trace) platform::SetDebugOutputWatcher([](const char* line) { std::fputs(line, stderr); });

    CFWDevice device(CFWDevice::Startup{.startTemperatureTimer = false});
    const int32_t storedPort = device.Options.ComPort;
    PortChoice choice;
    if (!choice.Apply(request.port, device.Options)) {
        std::fprintf(stderr, "quillmoor: cannot use port %s\n", request.port.c_str());
        return kUsageError;
    }
    int result = kBoardFailed;
    if (!device.ConnectMulti(kClientKey)) {
        Fail(("no board answers on " + request.port).c_str());
    } else {
        result = RunCommand(device, request);
        device.DisconnectMulti(kClientKey);
    }
    device.Options.ComPort = storedPort;  // the port given here is for this run only
    return result;
}

}  // namespace quillmoor::cli
