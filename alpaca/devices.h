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
    Holder holder;
    int interfaceVersion;
    std::string description;
    // The device's operational state as Name/Value pairs, without TimeStamp.
    std::function<nlohmann::json(const service::BoardState&)> operationalState;
};
void AddCommonMembers(AlpacaDevice& device, ServedBoard& board, CommonTraits traits);

// The state while some client holds the link for this device, else the not-connected reply.
Reply WithLink(ServedBoard& board, Holder device, const std::function<Reply(const service::BoardState&)>& read);
// A member that answers from the state, while some client holds the link for this device.
Member ReadMember(ServedBoard& board, Holder device, std::function<Reply(const service::BoardState&)> read);
// Starts a connect for this client, or joins it to the open link.
Reply ConnectHolder(ServedBoard& board, service::ClientKey client);
// The reply for a job that could not start or that failed.
Reply FailureReply(service::Job job, LinkFailure failure);
// Ok when the job started.
Reply StartedReply(service::Job job, LinkFailure started);

// Starts a move to an ASCOM position, held within 0..MaxStep.
Reply MoveFocuser(ServedBoard& board, int32_t position);
// Starts a turn to a slot; a slot the wheel lacks is an invalid value.
Reply TurnWheel(ServedBoard& board, int32_t slot);

}  // namespace quillmoor::alpaca
