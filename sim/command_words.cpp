#include "sim/command_words.h"

#include <array>

namespace quillmoor::sim {

namespace {

// No word is the start of another, so a word is recognised the moment its
// last letter arrives.
constexpr std::array kWords = {
    CommandWord{"FWFILTER", Word::Filter, Part::Wheel, 0, false},
    CommandWord{"FWCOUNT", Word::Count, Part::Wheel, 0, false},
    CommandWord{"FWGOTO", Word::Goto, Part::Wheel, 1, true},
    CommandWord{"FWHOME", Word::Home, Part::Wheel, 0, true},
    CommandWord{"FWWRITENAME", Word::WriteName, Part::Wheel, 9, false},
    CommandWord{"FWreadEE", Word::ReadMemory, Part::Board, 2, false},
    CommandWord{"FWwriteEE", Word::WriteMemory, Part::Board, 2, false},
    CommandWord{"FWfocus", Word::Focus, Part::Focuser, 0, false},
    CommandWord{"FWgoFocus", Word::GoFocus, Part::Focuser, 2, true},
    CommandWord{"FWsetFocus", Word::SetFocus, Part::Focuser, 2, false},
    CommandWord{"FWdirFocus", Word::DirFocus, Part::Focuser, 0, false},
    CommandWord{"FWtemperature", Word::Temperature, Part::Board, 1, false},
    CommandWord{"FWisAuto", Word::IsAuto, Part::Focuser, 0, false},
    CommandWord{"FWautoCompSet", Word::AutoCompSet, Part::Focuser, 1, false},
    CommandWord{"FWubStep", Word::MicrostepInfo, Part::Focuser, 1, false},
    CommandWord{"FWzm", Word::ReadTable, Part::Focuser, 0, false},
    CommandWord{"FWym", Word::WriteTable, Part::Focuser, 0, false},
};

}  // namespace

std::span<const CommandWord> AllWords() { return kWords; }

const CommandWord* FindWord(std::string_view text) {
    for (const CommandWord& word : kWords)
        if (word.text == text) return &word;
    return nullptr;
}

bool StartsSomeWord(std::string_view text) {
    for (const CommandWord& word : kWords)
        if (word.text.starts_with(text)) return true;
    return false;
}

}  // namespace quillmoor::sim
