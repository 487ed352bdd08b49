#include "sim/control_lines.h"

#include <charconv>
#include <cmath>
#include <sstream>
#include <vector>

namespace quillmoor::sim {

namespace {

std::vector<std::string> SplitWords(std::string_view line) {
    std::istringstream stream{std::string(line)};
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

bool ParseInt(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseOnOff(std::string_view text, bool& value) {
    if (text == "on") value = true;
    else if (text == "off") value = false;
    else return false;
    return true;
}

std::string Status(const BoardSim& board) {
    std::ostringstream out;
    out << "filter=" << board.CurrentFilter() << " focuser=" << board.FocuserPosition()
        << " comp=" << board.AutoCompSensor() << " received=" << board.Received().size()
        << " sent=" << board.Sent().size();
    return out.str();
}

}  // namespace

bool ParseFaultSwitch(std::string_view text, FaultSwitch& setting) {
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) return false;
    std::string_view kind = text.substr(equals + 1);
    int times = -1;
    if (const size_t colon = kind.find(':'); colon != std::string_view::npos) {
        if (!ParseInt(kind.substr(colon + 1), times) || times <= 0) return false;
        kind = kind.substr(0, colon);
    }
    Fault fault;
    if (!ParseFault(kind, fault)) return false;
    setting = {std::string(text.substr(0, equals)), fault, times};
    return true;
}

bool ParseTemperature(std::string_view text, int16_t& hundredths) {
    if (text == "none") {
        hundredths = kNoReading;
        return true;
    }
    double degrees = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), degrees);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    const long value = std::lround(degrees * 100.0);
    if (value <= kNoReading || value > 32767) return false;
    hundredths = static_cast<int16_t>(value);
    return true;
}

std::string ApplyControlLine(BoardSim& board, std::string_view line) {
    const std::vector<std::string> words = SplitWords(line);
    if (words.empty()) return "error: empty line";
    const std::string& verb = words[0];
    bool on = false;

    if (verb == "fault" && (words.size() == 3 || words.size() == 4)) {
        FaultSwitch setting;
        std::string text = words[1] + "=" + words[2];
        if (words.size() == 4) text += ":" + words[3];
        if (!ParseFaultSwitch(text, setting)) return "error: bad fault";
        if (!board.SetFault(setting.word, setting.fault, setting.times))
            return "error: that fault does not fit that word";
        return "ok";
    }
    if (verb == "clear" && words.size() == 1) {
        board.ClearFaults();
        return "ok";
    }
    if (verb == "silent" && words.size() == 2 && ParseOnOff(words[1], on)) {
        board.SetSilent(on);
        return "ok";
    }
    if (verb == "flood" && words.size() == 2 && ParseOnOff(words[1], on)) {
        board.SetFlood(on);
        return "ok";
    }
    if (verb == "unplug" && words.size() == 1) {
        board.Unplug();
        return "ok";
    }
    if (verb == "temp" && words.size() == 3) {
        int sensor = 0;
        int16_t hundredths = 0;
        if (!ParseInt(words[1], sensor) || !ParseTemperature(words[2], hundredths))
            return "error: usage: temp SENSOR DEGREES|none";
        board.SetTemperature(sensor, hundredths);
        return "ok";
    }
    if (verb == "status" && words.size() == 1) return Status(board);
    return "error: unknown control line";
}

}  // namespace quillmoor::sim
