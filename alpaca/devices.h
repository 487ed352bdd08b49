// The two devices the server offers, each a table of members. Members are
// thin: they read the board service's state or start one of its jobs.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "alpaca/protocol.h"
#include "alpaca/served_board.h"

namespace quillmoor::alpaca {

using Member = std::function<Reply(const ApiRequest&)>;
using MemberTable = std::map<std::string, Member, std::less<>>;

struct AlpacaDevice {
    std::string pathType;  // "focuser", as in the path
    std::string typeName;  // "Focuser", as management lists it
    int number = 0;
    std::string name;
    std::string uniqueId;
    MemberTable get;
    MemberTable put;
};

AlpacaDevice MakeFocuser(ServedBoard& board);
AlpacaDevice MakeFilterWheel(ServedBoard& board);

// Shared by both devices.
struct CommonTraits {
    service::ClientMask client;
    int interfaceVersion;
    std::string description;
    // The device's operational state as Name/Value pairs, without TimeStamp.
    std::function<nlohmann::json(const service::BoardState&)> operationalState;
};
void AddCommonMembers(AlpacaDevice& device, ServedBoard& board, CommonTraits traits);

// The state when this client holds the link, else the not-connected reply.
Reply WithLink(ServedBoard& board, service::ClientMask client,
               const std::function<Reply(const service::BoardState&)>& read);
// A member that answers from the state, for a client holding the link.
Member ReadMember(ServedBoard& board, service::ClientMask client,
                  std::function<Reply(const service::BoardState&)> read);
// The reply for a job that could not start or that failed.
Reply FailureReply(service::Job job, LinkFailure failure);
// Ok when the job started.
Reply StartedReply(service::Job job, LinkFailure started);

// Starts a move to an ASCOM position, held within 0..MaxStep.
Reply MoveFocuser(ServedBoard& board, int32_t position);
// Starts a turn to a slot; a slot the wheel lacks is an invalid value.
Reply TurnWheel(ServedBoard& board, int32_t slot);

}  // namespace quillmoor::alpaca
