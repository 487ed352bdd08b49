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

bool HoldsLink(const BoardState& state, service::ClientMask client)
{
    return state.connected && (state.clients & client) != 0;
}

// Connected = true waits for the connect, as clients of the older contract expect.
Reply ConnectAndWait(ServedBoard& board, service::ClientMask client)
{
    const LinkFailure started = board.Service().Connect(client, board.Opener());
    if (started != LinkFailure::None) return FailureReply(Job::Connect, started);
    const auto deadline = std::chrono::steady_clock::now() + kConnectWait;
    BoardState state = board.Service().State();
    while (state.Connecting() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        state = board.Service().State();
    }
    if (HoldsLink(state, client)) return Ok();
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

Reply WithLink(ServedBoard& board, service::ClientMask client, const std::function<Reply(const BoardState&)>& read)
{
    const BoardState state = board.Service().State();
    if (!HoldsLink(state, client)) return FailureReply(Job::None, LinkFailure::NotConnected);
    return read(state);
}

Member ReadMember(ServedBoard& board, service::ClientMask client, std::function<Reply(const BoardState&)> read)
{
    return [&board, client, read = std::move(read)](const ApiRequest&) { return WithLink(board, client, read); };
}

void AddCommonMembers(AlpacaDevice& device, ServedBoard& board, CommonTraits traits)
{
    const service::ClientMask client = traits.client;
    auto& get = device.get;
    auto& put = device.put;

    get["connected"] = [&board, client](const ApiRequest&) {
        return Ok(HoldsLink(board.Service().State(), client));
    };
    // A connect that failed is reported here once it has ended, until the next one.
    get["connecting"] = [&board, client](const ApiRequest&) {
        const BoardState state = board.Service().State();
        if (state.Connecting()) return Ok((state.joining & client) != 0);
        if (state.failedJob == Job::Connect && !HoldsLink(state, client))
            return FailureReply(Job::Connect, state.failure);
        return Ok(false);
    };
    put["connected"] = [&board, client](const ApiRequest& request) {
        const BoolParam wanted = RequiredBool(request.params, "Connected");
        if (!wanted.value) return BadRequest(wanted.error);
        if (*wanted.value) return ConnectAndWait(board, client);
        return StartedReply(Job::Disconnect, board.Service().Disconnect(client));
    };
    put["connect"] = [&board, client](const ApiRequest&) {
        return StartedReply(Job::Connect, board.Service().Connect(client, board.Opener()));
    };
    put["disconnect"] = [&board, client](const ApiRequest&) {
        return StartedReply(Job::Disconnect, board.Service().Disconnect(client));
    };

    get["description"] = [text = traits.description](const ApiRequest&) { return Ok(text); };
    get["driverinfo"] = [](const ApiRequest&) {
        return Ok("Quillmoor Alpaca server: the focuser and the filter wheel of one controller board on one serial cable");
    };
    get["driverversion"] = [](const ApiRequest&) { return Ok(kDriverVersion); };
    get["interfaceversion"] = [version = traits.interfaceVersion](const ApiRequest&) { return Ok(version); };
    get["name"] = [name = device.name](const ApiRequest&) { return Ok(name); };
    get["supportedactions"] = [](const ApiRequest&) { return Ok(nlohmann::json::array()); };
    get["devicestate"] = [&board, client, items = traits.operationalState](const ApiRequest&) {
        return WithLink(board, client, [&](const BoardState& state) {
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
