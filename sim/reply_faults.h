// Spoiling a reply the way a bad cable or a confused board would.
#pragma once

#include <chrono>
#include <random>

#include "sim/board_model.h"

namespace quillmoor::sim {

void CutLastByte(Reply& reply);
// Every byte becomes one from 0x80..0xFF: never '!', '+', '-', 'F' or an
// index byte, so no command can take garbage for an answer by luck.
void Garble(Reply& reply, std::minstd_rand& random);
void PauseBeforeLastByte(Reply& reply, std::chrono::microseconds pause);

}  // namespace quillmoor::sim
