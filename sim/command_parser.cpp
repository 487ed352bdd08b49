#include "sim/command_parser.h"

namespace quillmoor::sim {

std::optional<ParsedCommand> CommandParser::Feed(uint8_t byte, Clock::time_point arrival,
                                                 size_t table_length) {
    if (!Empty() && arrival - last_byte_ > stall_limit_) Reset();
    last_byte_ = arrival;

    if (command_ != nullptr) {
        arguments_.push_back(byte);
        // FWwriteEE says in its second byte how many data bytes follow.
        if (command_->word == Word::WriteMemory && arguments_.size() == 2)
            needed_ += arguments_[1];
        return arguments_.size() >= needed_ ? Finish() : std::nullopt;
    }

    // Resynchronise: a byte that cannot continue a word costs the oldest
    // letter until what is left could begin a word again.
    word_.push_back(static_cast<char>(byte));
    while (!word_.empty() && !StartsSomeWord(word_)) word_.erase(0, 1);

    command_ = FindWord(word_);
    if (command_ == nullptr) return std::nullopt;
    word_.clear();
    needed_ = command_->word == Word::WriteTable ? table_length
                                                 : static_cast<size_t>(command_->argument_bytes);
    return needed_ == 0 ? Finish() : std::nullopt;
}

void CommandParser::DropIfStalled(Clock::time_point now) {
    if (!Empty() && now - last_byte_ > stall_limit_) Reset();
}

std::optional<CommandParser::Clock::time_point> CommandParser::StallDeadline() const {
    if (Empty()) return std::nullopt;
    return last_byte_ + stall_limit_;
}

std::optional<ParsedCommand> CommandParser::Finish() {
    ParsedCommand done{command_, std::move(arguments_)};
    Reset();
    return done;
}

void CommandParser::Reset() {
    word_.clear();
    command_ = nullptr;
    arguments_.clear();
    needed_ = 0;
}

}  // namespace quillmoor::sim
