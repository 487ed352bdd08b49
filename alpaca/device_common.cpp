// Members that both devices have: connecting, identity, state and actions.
#include <chrono>
#include <thread>

#include "alpaca/devices.h"
#include "platform/clock.h"

namespace quillmoor::alpaca {
namespace {

using service::BoardState;
using service::Job;

constexpr const char* kDriverVersion = "1.0";
constexpr auto kConnectWait = std::chrono::seconds(60);  // Auto may try sixteen ports

std::string TimeStamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    const std::tm utc = platform::UtcCalendar(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    return text;
}

// A device is connected while the link is open and any client holds it for
// the device: the hardware link, as every client of a shared device sees it.
bool DeviceConnected(const BoardState& state, Holder device)
{
    return state.connected && HolderCount(state, device) != 0;
}

// Connected = true waits for the connect, as clients of the older contract expect.
Reply ConnectAndWait(ServedBoard& board, service::ClientKey client)
{
    if (Reply started = ConnectHolder(board, client); started.errorNumber != 0) return started;
    const auto deadline = std::chrono::steady_clock::now() + kConnectWait;
    BoardState state = board.Service().State();
    while (state.Connecting() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        state = board.Service().State();
    }
    if (state.connected && state.clients.count(client)) return Ok();
    return FailureReply(Job::Connect, state.failedJob == Job::Connect ? state.failure : LinkFailure::NotConnected);
}

}  // namespace

Reply FailureReply(Job job, LinkFailure failure)
{
    int number = kNoAnswer;
    if (failure == LinkFailure::Busy) number = kBoardBusy;
    if (failure == LinkFailure::NotConnected) number = job == Job::Connect ? kNoBoard : kNotConnected;
    if (failure == LinkFailure::PortInUse) number = kNoBoard;
    return Error(number, service::FailureText(job, failure));
}

Reply StartedReply(Job job, LinkFailure started)
{
    return started == LinkFailure::None ? Ok() : FailureReply(job, started);
}

Reply WithLink(ServedBoard& board, Holder device, const std::function<Reply(const BoardState&)>& read)
{
    const BoardState state = board.Service().State();
    if (!DeviceConnected(state, device)) return FailureReply(Job::None, LinkFailure::NotConnected);
    return read(state);
}

Member ReadMember(ServedBoard& board, Holder device, std::function<Reply(const BoardState&)> read)
{
    return [&board, device, read = std::move(read)](const ApiRequest&) { return WithLink(board, device, read); };
}

Reply ConnectHolder(ServedBoard& board, service::ClientKey client)
{
    const BoardState state = board.Service().State();
    if (!state.clients.count(client) && !state.joining.count(client) &&
        state.clients.size() + state.joining.size() >= kMostHolders)
        return Error(kInvalidOperation, "Too many clients hold the board (" + std::to_string(kMostHolders) +
                                            "): one must disconnect first");
    return StartedReply(Job::Connect, board.Service().Connect(client, board.Opener()));
}

void AddCommonMembers(AlpacaDevice& device, ServedBoard& board, CommonTraits traits)
{
    const Holder holder = traits.holder;
    auto& get = device.get;
    auto& put = device.put;

    get["connected"] = [&board, holder](const ApiRequest&) {
        return Ok(DeviceConnected(board.Service().State(), holder));
    };
    // A connect that failed is reported here once it has ended, until the next one.
    get["connecting"] = [&board, holder](const ApiRequest& request) {
        const BoardState state = board.Service().State();
        if (state.Connecting()) return Ok(state.joining.count(HolderKey(holder, request.clientId)) != 0);
        if (state.failedJob == Job::Connect && !DeviceConnected(state, holder))
            return FailureReply(Job::Connect, state.failure);
        return Ok(false);
    };
    // A client's disconnect takes only that client away; the link closes after the last.
    put["connected"] = [&board, holder](const ApiRequest& request) {
        const BoolParam wanted = RequiredBool(request.params, "Connected");
        if (!wanted.value) return BadRequest(wanted.error);
        const service::ClientKey client = HolderKey(holder, request.clientId);
        if (*wanted.value) return ConnectAndWait(board, client);
        return StartedReply(Job::Disconnect, board.Service().Disconnect(client));
    };
    put["connect"] = [&board, holder](const ApiRequest& request) {
        return ConnectHolder(board, HolderKey(holder, request.clientId));
    };
    put["disconnect"] = [&board, holder](const ApiRequest& request) {
        return StartedReply(Job::Disconnect, board.Service().Disconnect(HolderKey(holder, request.clientId)));
    };

    get["description"] = [text = traits.description](const ApiRequest&) { return Ok(text); };
    get["driverinfo"] = [](const ApiRequest&) {
        return Ok("Quillmoor Alpaca server: the focuser and the filter wheel of one controller board on one serial cable");
    };
    get["driverversion"] = [](const ApiRequest&) { return Ok(kDriverVersion); };
    get["interfaceversion"] = [version = traits.interfaceVersion](const ApiRequest&) { return Ok(version); };
    get["name"] = [name = device.name](const ApiRequest&) { return Ok(name); };
    get["supportedactions"] = [](const ApiRequest&) { return Ok(nlohmann::json::array()); };
    get["devicestate"] = [&board, holder, items = traits.operationalState](const ApiRequest&) {
        return WithLink(board, holder, [&](const BoardState& state) {
            nlohmann::json list = items(state);
            list.push_back({{"Name", "TimeStamp"}, {"Value", TimeStamp()}});
            return Ok(std::move(list));
        });
    };

    put["action"] = [](const ApiRequest& request) {
        const std::string* action = request.params.Find("Action");
        if (!action) return BadRequest("Missing parameter Action");
        if (!request.params.Find("Parameters")) return BadRequest("Missing parameter Parameters");
        return Error(kActionNotImplemented, "This device has no action '" + *action + "'");
    };
    for (const char* command : {"commandblind", "commandbool", "commandstring"}) {
        put[command] = [](const ApiRequest& request) {
            if (!request.params.Find("Command")) return BadRequest("Missing parameter Command");
            if (!request.params.Find("Raw")) return BadRequest("Missing parameter Raw");
            return Error(kNotImplemented, "Raw commands are not supported: the board's protocol is binary");
        };
    }
}

}  // namespace quillmoor::alpaca
