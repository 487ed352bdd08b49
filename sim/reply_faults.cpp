#include "sim/reply_faults.h"

#include <array>
#include <utility>

#include "sim/board_sim.h"

namespace quillmoor::sim {

namespace {

ReplyPart* LastPartWithBytes(Reply& reply) {
    for (auto part = reply.rbegin(); part != reply.rend(); ++part)
        if (!part->bytes.empty()) return &*part;
    return nullptr;
}

constexpr std::array<std::pair<Fault, std::string_view>, 6> kFaultNames = {{
    {Fault::NoAnswer, "silent"},
    {Fault::ShortAnswer, "short"},
    {Fault::Garbage, "garbage"},
    {Fault::Gap, "gap"},
    {Fault::WheelFails, "fail"},
    {Fault::NeverEnds, "stall"},
}};

}  // namespace

void CutLastByte(Reply& reply) {
    if (ReplyPart* part = LastPartWithBytes(reply)) part->bytes.pop_back();
}

void Garble(Reply& reply, std::minstd_rand& random) {
    for (ReplyPart& part : reply)
        for (uint8_t& byte : part.bytes) byte = static_cast<uint8_t>(0x80 | (random() & 0x7F));
}

void PauseBeforeLastByte(Reply& reply, std::chrono::microseconds pause) {
    ReplyPart* part = LastPartWithBytes(reply);
    if (part == nullptr) return;
    if (part->bytes.size() == 1) {
        part->delay += pause;
        return;
    }
    ReplyPart last{pause, {part->bytes.back()}};
    part->bytes.pop_back();
    // `part` may dangle after the insert, so nothing touches it below.
    const auto at = reply.begin() + (part - reply.data()) + 1;
    reply.insert(at, std::move(last));
}

bool ParseFault(std::string_view name, Fault& fault) {
    for (const auto& [kind, text] : kFaultNames)
        if (text == name) {
            fault = kind;
            return true;
        }
    return false;
}

std::string_view FaultName(Fault fault) {
    for (const auto& [kind, text] : kFaultNames)
        if (kind == fault) return text;
    return "?";
}

}  // namespace quillmoor::sim
