// The command words the board understands and what follows each of them.
#pragma once

#include <span>
#include <string_view>

namespace quillmoor::sim {

enum class Word {
    Filter, Count, Goto, Home, WriteName,
    ReadMemory, WriteMemory,
    Focus, GoFocus, SetFocus, DirFocus,
    Temperature, IsAuto, AutoCompSet,
    MicrostepInfo, ReadTable, WriteTable,
};

// Which part of the board answers; a board without that part stays quiet.
enum class Part { Wheel, Focuser, Board };

struct CommandWord {
    std::string_view text;
    Word word;
    Part part;
    int argument_bytes;  // fixed part; FWwriteEE and FWym read more (see parser)
    bool is_move;        // answered at the end of a motor move
};

std::span<const CommandWord> AllWords();
const CommandWord* FindWord(std::string_view text);  // exact match or null
// True when `text` is the start of some word (or a whole word).
bool StartsSomeWord(std::string_view text);

}  // namespace quillmoor::sim
