// The text commands that steer a running board: the program's --fault and
// --temp options and the lines it reads on standard input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim/board_sim.h"

namespace quillmoor::sim {

struct FaultSwitch {
    std::string word;
    Fault fault;
    int times;  // < 0: always
};

// "FWfocus=silent" or "FWGOTO=fail:2".
bool ParseFaultSwitch(std::string_view text, FaultSwitch& setting);
// Degrees ("18.5", "-3.25") or "none" (no reading), as hundredths.
bool ParseTemperature(std::string_view text, int16_t& hundredths);

// Carries out one control line and returns the answer for the operator:
// "ok", a status line, or "error: ..." . Lines:
//   fault WORD KIND [N]     clear     silent on|off     flood on|off
//   unplug                  temp I VALUE                status
std::string ApplyControlLine(BoardSim& board, std::string_view line);

}  // namespace quillmoor::sim
