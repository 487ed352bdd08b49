#include "device/temperature_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <type_traits>

#include "device/fw_device.h"
#include "platform/user_folders.h"

namespace quillmoor {
namespace {

static_assert(std::extent_v<decltype(TemperatureLogRow::temperatures)> == kTemperatureSlots);

// What a tick needs from Config, copied while Busy is held so that a connect
// rewriting Config cannot tear it.
struct ConfigCopy {
    int sensorCount = 0;
    char filterNames[kMaxFilters][kFilterNameBytes] = {};
};

std::string Header(int sensorCount)
{
    std::string line = "Time,";
    for (int i = 0; i < sensorCount; ++i) line += "T" + std::to_string(i) + ",";
    line += "Focus,Filter";
    line += kTemperatureLogLineEnd;
    return line;
}

std::string RowText(const TemperatureLogRow& row, const platform::LocalDateTime& now)
{
    char cell[32];
    std::snprintf(cell, sizeof cell, "%02i:%02i:%02i", now.hour, now.minute, now.second);
    std::string line = cell;
    for (int sensor = 0; sensor < row.sensorCount; ++sensor) {
        line += ',';
        if (row.temperatures[sensor]) {
            std::snprintf(cell, sizeof cell, "%.2f", static_cast<double>(*row.temperatures[sensor]));
            line += cell;
        }
    }
    line += ',';
    if (row.position) line += std::to_string(*row.position);
    line += ',';
    line += row.filterName;
    line += kTemperatureLogLineEnd;
    return line;
}

// Runs the queries in order; a query that fails leaves its cell empty.
TemperatureLogRow ReadRow(CFWDevice& device, const ConfigCopy& config)
{
    TemperatureLogRow row;
    row.sensorCount = config.sensorCount;
    for (int sensor = 0; sensor < config.sensorCount; ++sensor) {
        float degrees = 0;
        if (device.ReadTemperature(sensor, degrees)) row.temperatures[sensor] = degrees;
    }
    int32_t position = 0;
    if (device.GetFocuserPosition(position)) row.position = position;
    int32_t filter = -1;
    if (device.WheelPresent && device.GetCurrentFilter(filter) && filter >= 0 && filter < kMaxFilters) {
        const char* name = config.filterNames[filter];
        row.filterName.assign(name, strnlen(name, kFilterNameBytes));
    }
    return row;
}

std::string Join(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder + name;
    return folder + '/' + name;
}

}  // namespace

std::vector<std::string> TemperatureLogFolders()
{
#ifdef _WIN32
    // C:\ first, where users have always read their logs; a standard user may
    // not create files there, so the per-user folder comes next.
    std::vector<std::string> folders{"C:\\"};
    const char* local = std::getenv("LOCALAPPDATA");
    if (local != nullptr && local[0] != '\0') folders.push_back(std::string(local) + "\\Quillmoor");
    return folders;
#else
    std::string folder = platform::UserDataFolder();
    if (folder.empty()) return {};
    return {folder};
#endif
}

std::string TemperatureLogFileName(const platform::LocalDateTime& date)
{
    char name[64];
    std::snprintf(name, sizeof name, "term_log_%i-%02i-%02i.csv", date.year, date.month, date.day);
    return name;
}

namespace {

// The day's file in the first folder where it opens; null when none takes it.
std::FILE* OpenDayFile(const std::vector<std::string>& folders, const platform::LocalDateTime& now)
{
    for (const std::string& folder : folders) {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        if (std::FILE* file = std::fopen(Join(folder, TemperatureLogFileName(now)).c_str(), "ab")) return file;
    }
    return nullptr;
}

// Binary mode with the line end written out, so that the position is the
// file's true length: empty means a new day's file that needs its header.
void WriteAndClose(std::FILE* file, const TemperatureLogRow& row, const platform::LocalDateTime& now)
{
    std::fseek(file, 0, SEEK_END);
    std::string text = std::ftell(file) == 0 ? Header(row.sensorCount) : std::string();
    text += RowText(row, now);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

}  // namespace

void AppendTemperatureLogRow(const TemperatureLogRow& given, const platform::LocalDateTime& now,
                             const std::vector<std::string>& folders)
{
    TemperatureLogRow row = given;
    row.sensorCount = std::clamp(row.sensorCount, 0, static_cast<int>(std::size(row.temperatures)));
    if (std::FILE* file = OpenDayFile(folders, now)) WriteAndClose(file, row, now);
}

void WriteTemperatureLogRow(CFWDevice& device, const platform::LocalDateTime& now,
                            const std::vector<std::string>& folders)
{
    if (!device.PortIsOpen() || !device.FocuserPresent) return;
    ConfigCopy config;
    if (!device.TryClaimBusy()) return;  // never wait: skip this tick
    config.sensorCount = device.Config.SensorCount;
    std::memcpy(config.filterNames, device.Config.FilterNames, sizeof config.filterNames);
    device.ReleaseBusy();
    // The file first: without one, the board is not asked.
    std::FILE* file = OpenDayFile(folders, now);
    if (file == nullptr) return;
    WriteAndClose(file, ReadRow(device, config), now);
}

void TempLogTimerProc()
{
    CFWDevice* device = g_pFWDevice.load(std::memory_order_acquire);
    if (device == nullptr) return;
    WriteTemperatureLogRow(*device, platform::LocalNow(), TemperatureLogFolders());
}

}  // namespace quillmoor
