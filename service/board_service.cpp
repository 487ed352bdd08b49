#include "service/board_service.h"

#include <algorithm>
#include <future>
#include <iterator>
#include <utility>

#include "device/filter_table.h"
#include "device/temperature_log.h"

namespace quillmoor::service {

BoardService::BoardService(CFWDevice& device, Settings settings, Waker* waker)
    : device_(device), settings_(settings), waker_(waker), worker_([this] { Run(); })
{
}

BoardService::~BoardService()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

BoardState BoardService::State() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

std::optional<FinishedJob> BoardService::TakeFinished()
{
    std::lock_guard lock(mutex_);
    return std::exchange(finished_, std::nullopt);
}

LinkFailure BoardService::Begin(Pending job, bool needsLink)
{
    if (stopping_ || state_.running != Job::None) return LinkFailure::Busy;
    if (needsLink && !state_.connected) return LinkFailure::NotConnected;
    if (state_.failedJob == job.kind) {  // the failure of the last one is history now
        state_.failedJob = Job::None;
        state_.failure = LinkFailure::None;
    }
    state_.running = job.kind;
    pending_ = std::move(job);
    wake_.notify_all();
    return LinkFailure::None;
}

namespace {

BoardService::Work Reopen(BoardService::Work open)
{
    return [open = std::move(open)](CFWDevice& device) {
        if (device.PortIsOpen()) device.Disconnect();
        return open(device);
    };
}

bool CloseLink(CFWDevice& device)
{
    device.Disconnect();
    return true;
}

}  // namespace

LinkFailure BoardService::Connect(ClientKey client, Work open)
{
    std::lock_guard lock(mutex_);
    if (stopping_) return LinkFailure::Busy;
    closeAfterJob_ = false;
    if (state_.connected && state_.pollAnswered && state_.running != Job::Disconnect) {
        state_.clients.insert(client);
        return LinkFailure::None;
    }
    state_.joining.insert(client);
    if (state_.running == Job::Connect) return LinkFailure::None;
    if (state_.running != Job::None) {
        openAfterJob_ = Reopen(std::move(open));
        state_.connectWaiting = true;
        return LinkFailure::None;
    }
    const LinkFailure started = Begin({Job::Connect, Reopen(std::move(open))}, false);
    if (started != LinkFailure::None) state_.joining.erase(client);
    return started;
}

LinkFailure BoardService::Disconnect(ClientKey client)
{
    std::lock_guard lock(mutex_);
    state_.joining.erase(client);
    state_.clients.erase(client);
    if (!state_.clients.empty() || !state_.joining.empty()) return LinkFailure::None;
    openAfterJob_.reset();  // nobody waits for it any more
    state_.connectWaiting = false;
    if (state_.running == Job::None) {
        if (state_.connected) Begin({Job::Disconnect, CloseLink}, false);
    } else {
        closeAfterJob_ = true;
    }
    return LinkFailure::None;
}

void BoardService::StartWhatWaited()
{
    if (pending_ || stopping_) return;
    if (openAfterJob_) {
        Work open = std::move(*openAfterJob_);
        openAfterJob_.reset();
        state_.connectWaiting = false;
        closeAfterJob_ = false;
        Begin({Job::Connect, std::move(open)}, false);
        return;
    }
    if (std::exchange(closeAfterJob_, false) && state_.connected && state_.clients.empty())
        Begin({Job::Disconnect, CloseLink}, false);
}

LinkFailure BoardService::Move(int32_t target)
{
    std::lock_guard lock(mutex_);
    const LinkFailure started =
        Begin({Job::Move, [target](CFWDevice& device) { return device.MoveFocuserTo(target); }}, true);
    if (started == LinkFailure::None) state_.target = target;
    return started;
}

LinkFailure BoardService::Turn(int32_t filter)
{
    std::lock_guard lock(mutex_);
    const LinkFailure started =
        Begin({Job::Turn, [filter](CFWDevice& device) { return device.GotoFilter(filter); }}, true);
    if (started == LinkFailure::None) state_.turningTo = filter;
    return started;
}

LinkFailure BoardService::Start(Job kind, Work work)
{
    std::lock_guard lock(mutex_);
    return Begin({kind, std::move(work)}, kind != Job::Connect);
}

bool BoardService::Call(Work work, LinkFailure* failure)
{
    auto ended = std::make_shared<std::promise<LinkFailure>>();
    std::future<LinkFailure> result = ended->get_future();
    Pending job{Job::Call, std::move(work), false,
                [ended](bool, LinkFailure why) { ended->set_value(why); }};
    LinkFailure why;
    {
        std::lock_guard lock(mutex_);
        why = Begin(std::move(job), false);
    }
    if (why == LinkFailure::None) why = result.get();
    if (failure) *failure = why;
    return why == LinkFailure::None;
}

bool BoardService::SetCompensation(bool on, LinkFailure* failure)
{
    return Call(
        [this, on](CFWDevice& device) {
            const int32_t sensor = on ? device.PreferredSensor() : -1;
            if (!device.SetAutoCompSensor(sensor)) return false;
            compensation_ = sensor;
            return true;
        },
        failure);
}

void BoardService::SetPreferredSensor(int32_t sensor)
{
    // Under the lock, so that the worker's copy of the options sees all or nothing of it.
    std::lock_guard lock(mutex_);
    std::atomic_ref(device_.Options.AscomPreferredTermometer).store(sensor);
    state_.options.AscomPreferredTermometer = sensor;
}

void BoardService::Run()
{
    std::unique_lock lock(mutex_);
    auto nextPoll = std::chrono::steady_clock::now() + settings_.pollInterval;
    auto nextLogRow = std::chrono::steady_clock::now() + settings_.temperatureLogInterval;
    const bool logging = !settings_.temperatureLogFolders.empty();
    while (!stopping_) {
        if (pending_) {
            Pending job = std::move(*pending_);
            pending_.reset();
            RunJob(job, lock);
            nextPoll = std::chrono::steady_clock::now() + settings_.pollInterval;
            continue;
        }
        const auto wakeAt = logging ? std::min(nextPoll, nextLogRow) : nextPoll;
        if (wake_.wait_until(lock, wakeAt, [this] { return stopping_ || pending_.has_value(); })) continue;
        if (logging && std::chrono::steady_clock::now() >= nextLogRow) {
            // From the readings the polls keep: the row costs the board no
            // exchange, and a job that comes meanwhile never waits for it.
            const std::optional<TemperatureLogRow> row = LogRow();
            lock.unlock();
            if (row) AppendTemperatureLogRow(*row, platform::LocalNow(), settings_.temperatureLogFolders);
            lock.lock();
            nextLogRow += settings_.temperatureLogInterval;
            if (nextLogRow < std::chrono::steady_clock::now())  // after a long job: no catching up
                nextLogRow = std::chrono::steady_clock::now() + settings_.temperatureLogInterval;
            continue;
        }
        Poll(lock);
        nextPoll = std::chrono::steady_clock::now() + settings_.pollInterval;
    }
    // A job that came as the service stopped never runs; a caller waiting for it is told.
    if (pending_) {
        Pending job = std::move(*pending_);
        pending_.reset();
        lock.unlock();
        if (job.done) job.done(false, LinkFailure::NotConnected);
    }
}

std::optional<TemperatureLogRow> BoardService::LogRow() const
{
    if (!state_.connected || !state_.focuserPresent) return std::nullopt;
    TemperatureLogRow row;
    row.sensorCount = std::clamp<int32_t>(state_.sensorCount, 0, kTemperatureSlots);
    if (!state_.pollAnswered) return row;  // a board that does not answer has no readings
    for (int sensor = 0; sensor < row.sensorCount; ++sensor)
        if (state_.temperatureRead[sensor]) row.temperatures[sensor] = state_.temperatures[sensor];
    row.position = state_.position;
    if (state_.wheelPresent && state_.filter >= 0 && state_.filter < static_cast<int32_t>(state_.filters.size()))
        row.filterName = SlotName(state_.filters[state_.filter]);
    return row;
}

void BoardService::RunJob(Pending& job, std::unique_lock<std::mutex>& lock)
{
    lock.unlock();
    SetLastLinkFailure(LinkFailure::None);
    const bool wasOpen = device_.PortIsOpen();
    const bool succeeded = job.work(device_);
    LinkFailure failure = succeeded ? LinkFailure::None : LastLinkFailure();
    // A refusal before any exchange leaves no reason behind: a connect found
    // no board, anything else was not answered as it must be.
    if (!succeeded && failure == LinkFailure::None)
        failure = job.kind == Job::Connect ? LinkFailure::NotConnected : LinkFailure::NoAnswer;
    // A link that has just opened, by whatever job, gets its first readings
    // now, so that nobody sees a sensor without one; a closed link keeps none.
    const bool opened = succeeded && device_.PortIsOpen() && (!wasOpen || job.kind == Job::Connect);
    if (opened || !device_.PortIsOpen()) std::fill(std::begin(temperatureRead_), std::end(temperatureRead_), false);
    if (opened) ReadCompensationAndTemperature();
    lock.lock();

    Refresh();
    state_.running = Job::None;
    if (job.kind == Job::Connect) {
        if (state_.connected) state_.clients.merge(state_.joining);
        state_.joining.clear();
        if (state_.clients.empty()) closeAfterJob_ = true;  // everyone left while it ran
    }
    if (succeeded || failure == LinkFailure::NoAnswer) state_.pollAnswered = succeeded && state_.connected;
    if (!succeeded) {
        state_.failedJob = job.kind;
        state_.failure = failure;
    } else if (job.kind == Job::Connect) {  // a fresh link
        state_.failedJob = Job::None;
        state_.failure = LinkFailure::None;
    }
    ++state_.jobsDone;
    if (job.reported) finished_ = FinishedJob{job.kind, succeeded, failure};
    StartWhatWaited();

    lock.unlock();
    if (job.done) job.done(succeeded, failure);
    if (job.reported && waker_) waker_->Wake();
    lock.lock();
}

void BoardService::Poll(std::unique_lock<std::mutex>& lock)
{
    if (!state_.connected) return;
    const bool focuser = state_.focuserPresent;
    lock.unlock();
    // The position and the sensors, one after the other, take turns; the
    // position tells whether the board still answers (a sensor may lack a
    // reading on a sound link).
    pollTemperatureNext_ = focuser && !pollTemperatureNext_;
    if (pollTemperatureNext_) {
        const int32_t fitted = std::clamp<int32_t>(device_.Config.SensorCount, 1, kTemperatureSlots);
        nextSensor_ = (nextSensor_ + 1) % fitted;
        ReadTemperature(nextSensor_);
        lock.lock();
        Refresh();
        return;
    }
    int32_t value = 0;
    const bool answered = focuser ? device_.GetFocuserPosition(value) : device_.GetCurrentFilter(value);
    // Someone else on the link is no sign of a lost board.
    const bool refused = !answered && LastLinkFailure() == LinkFailure::Busy;
    lock.lock();
    Refresh();
    if (!refused) state_.pollAnswered = answered;
}

void BoardService::ReadCompensationAndTemperature()
{
    if (!device_.FocuserPresent) return;
    int32_t sensor = -1;
    if (device_.GetAutoCompSensor(sensor)) compensation_ = sensor;
    const int32_t fitted = std::min<int32_t>(device_.Config.SensorCount, kTemperatureSlots);
    for (int32_t i = 0; i < fitted; ++i) ReadTemperature(i);
}

void BoardService::ReadTemperature(int32_t sensor)
{
    float degrees = 0;
    temperatureRead_[sensor] = device_.ReadTemperature(sensor, degrees);
    if (temperatureRead_[sensor]) temperatures_[sensor] = degrees;
}

void BoardService::Refresh()
{
    state_.connected = device_.PortIsOpen();
    state_.focuserPresent = device_.FocuserPresent;
    state_.wheelPresent = device_.WheelPresent;
    state_.position = device_.FocuserPosition;
    state_.filter = device_.CurrentFilter;
    state_.compensationSensor = compensation_;
    std::copy(std::begin(temperatureRead_), std::end(temperatureRead_), state_.temperatureRead);
    std::copy(std::begin(temperatures_), std::end(temperatures_), state_.temperatures);
    state_.sensorCount = device_.Config.SensorCount;
    state_.compensationStepsPerDegree = device_.Config.TempCompStepsPerDegree;
    state_.filters = device_.Filters.Snapshot();
    // Only the worker writes the options (in its jobs); the preferred sensor
    // may also change by itself, through the board's compensation report.
    state_.options = device_.Options;
    state_.options.AscomPreferredTermometer = device_.PreferredSensor();
    if (!state_.connected) state_.clients.clear();
}

const char* FailureText(Job job, LinkFailure failure)
{
    switch (failure) {
    case LinkFailure::None:
        return "";
    case LinkFailure::NotConnected:
        return job == Job::Connect
                   ? "No board answers on the serial port: check the port in the setup page, the cable and the board's power"
                   : "Not connected: connect the device first";
    case LinkFailure::PortInUse:
        return "The serial port is in use by another program (the driver in another astronomy program, or another "
               "network server for the board): disconnect it there, or choose another port in the setup page";
    case LinkFailure::Busy:
        return "The board is busy with another operation (a move or a filter change): try again when it has ended";
    case LinkFailure::NoAnswer:
        switch (job) {
        case Job::Move:
            return "The board did not report the end of the move: check the cable and the board's power, then reconnect";
        case Job::Turn:
            return "The wheel did not report reaching the filter: check the cable and the board's power, then reconnect";
        default:
            return "The board did not answer: check the cable and the board's power, then reconnect";
        }
    }
    return "";
}

}  // namespace quillmoor::service
