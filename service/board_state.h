// What the board was last seen doing, as the board service keeps it for its
// readers: every read of a network or INDI client is answered from here.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "device/controller_config.h"
#include "device/link_failure.h"

namespace quillmoor::service {

// The long operations, one at a time.
enum class Job { None, Connect, Disconnect, Move, Turn, Rename, Call };

// A client of the link, as its host names it: the link opens for the first
// and closes after the last.
using ClientKey = uint64_t;
using Clients = std::set<ClientKey>;

struct BoardState {
    bool connected = false;  // the link is open and the board was identified
    Clients clients;  // who asked for the link
    Clients joining;  // who waits for a connect under way, or for one that follows the running job
    bool connectWaiting = false;  // a connect follows the running job
    bool focuserPresent = false;
    bool wheelPresent = false;

    int32_t position = 0;     // the focuser's step position on the board
    int32_t target = 0;       // of the move under way
    int32_t filter = -1;      // -1: unknown
    int32_t turningTo = -1;   // of the turn under way
    int32_t compensationSensor = -1;  // -1: the board's temperature compensation is off
    int16_t compensationStepsPerDegree = 0;  // as the configuration block holds it
    // The last reading of each sensor, when it had one.
    bool temperatureRead[kTemperatureSlots] = {};
    float temperatures[kTemperatureSlots] = {};
    int32_t sensorCount = 0;  // fitted, as the board's configuration says
    std::vector<FilterSlot> filters;
    DriverOptions options;    // the driver's own, as the controller holds them

    Job running = Job::None;
    // The last job that failed, and why; cleared when a job of the same kind succeeds.
    Job failedJob = Job::None;
    LinkFailure failure = LinkFailure::None;
    // Whether the board answered the last exchange; after a job it did not
    // answer, the kept position is from before it and nobody knows the true one.
    bool pollAnswered = true;
    uint64_t jobsDone = 0;  // counts every job that ended

    bool Moving() const { return running == Job::Move; }
    bool Turning() const { return running == Job::Turn; }
    bool Connecting() const { return running == Job::Connect || connectWaiting; }
    int32_t PreferredSensor() const { return options.AscomPreferredTermometer; }
    // The reading of the sensor reported to clients; none while the board does not answer.
    bool Temperature(float& degrees) const
    {
        const int32_t sensor = PreferredSensor();
        if (!pollAnswered || sensor < 0 || sensor >= kTemperatureSlots || !temperatureRead[sensor]) return false;
        degrees = temperatures[sensor];
        return true;
    }
};

}  // namespace quillmoor::service
