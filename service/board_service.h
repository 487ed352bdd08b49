// One job at a time on the board (a connect, a move, a turn, a rename), run
// on a worker thread of its own so that no caller waits on the wire for it.
// Between jobs the worker polls the board; every read is answered from the
// state it keeps, and nothing touches the link while a job runs. A job asked
// for while another runs is refused at once, never queued.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/fw_device.h"
#include "device/temperature_log.h"
#include "service/board_state.h"

namespace quillmoor::service {

// How the worker tells an event loop that a job has ended. Called on the
// worker thread; it must not call back into the service.
class Waker {
public:
    virtual ~Waker() = default;
    virtual void Wake() = 0;
};

struct FinishedJob {
    Job job = Job::None;
    bool succeeded = false;
    LinkFailure failure = LinkFailure::None;
};

class BoardService {
public:
    // Runs on the worker with the link to itself; true when it succeeded.
    using Work = std::function<bool(CFWDevice&)>;

    struct Settings {
        // Between two polls of an idle board; position and temperature take turns.
        std::chrono::milliseconds pollInterval{500};
        // Where the daily temperature log goes (the first folder that takes
        // it), written between jobs while a board with a focuser is
        // connected; none: no log.
        std::vector<std::string> temperatureLogFolders;
        std::chrono::milliseconds temperatureLogInterval{5000};
    };

    BoardService(CFWDevice& device, Settings settings, Waker* waker = nullptr);
    ~BoardService();  // waits for the job under way to end
    BoardService(const BoardService&) = delete;
    BoardService& operator=(const BoardService&) = delete;

    BoardState State() const;

    // Each starts one job and returns at once, with None, or says why it
    // could not: Busy while another job runs, NotConnected without a link.
    //
    // The client becomes one of the link's clients. With the link open and
    // the board answering it joins at once; with a connect under way it joins
    // that one. Otherwise the port is opened again, after the running job if
    // there is one: a board that stopped answering may be a new one now.
    LinkFailure Connect(ClientKey client, Work open);
    // Never refused. The last client's leaving closes the link, once the
    // running job has ended.
    LinkFailure Disconnect(ClientKey client);
    LinkFailure Move(int32_t target);  // the board's step position
    LinkFailure Turn(int32_t filter);
    LinkFailure Start(Job kind, Work work);

    // Runs work as a job and waits for its end (at most one poll exchange
    // first). False when refused or when work failed; failure then says why.
    bool Call(Work work, LinkFailure* failure = nullptr);
    bool SetCompensation(bool on, LinkFailure* failure = nullptr);
    // The sensor whose reading clients are given; at once, even during a job.
    void SetPreferredSensor(int32_t sensor);

    // The end of the last job started with Start, once; for event loops.
    std::optional<FinishedJob> TakeFinished();

private:
    struct Pending {
        Job kind = Job::None;
        Work work;
        bool reported = true;  // recorded for TakeFinished and woken about
        std::function<void(bool, LinkFailure)> done;
    };
    // With the lock held.
    LinkFailure Begin(Pending job, bool needsLink);
    // What waited for the job that has just ended: a connect, or the close
    // the last client asked for. Lock held.
    void StartWhatWaited();
    void Run();
    void RunJob(Pending& job, std::unique_lock<std::mutex>& lock);
    void Poll(std::unique_lock<std::mutex>& lock);
    // The worker's own readings: after a connect, and between jobs.
    void ReadCompensationAndTemperature();
    void ReadTemperature(int32_t sensor);
    void Refresh();  // state_ from the controller's fields; lock held
    std::optional<TemperatureLogRow> LogRow() const;  // from the kept state; lock held

    CFWDevice& device_;
    const Settings settings_;
    Waker* const waker_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    BoardState state_;
    std::optional<Pending> pending_;
    std::optional<FinishedJob> finished_;
    std::optional<Work> openAfterJob_;
    bool closeAfterJob_ = false;
    // Touched by the worker only.
    bool pollTemperatureNext_ = false;
    int32_t nextSensor_ = 0;
    int32_t compensation_ = -1;
    bool temperatureRead_[kTemperatureSlots] = {};
    float temperatures_[kTemperatureSlots] = {};
    bool stopping_ = false;
    std::thread worker_;  // last: starts once everything above exists
};

// A message a person can act on, for a failure of a job of this kind.
const char* FailureText(Job job, LinkFailure failure);

}  // namespace quillmoor::service
