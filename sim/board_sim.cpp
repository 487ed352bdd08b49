#include "sim/board_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "sim/board_model.h"
#include "sim/command_parser.h"
#include "sim/reply_faults.h"

namespace quillmoor::sim {

namespace {

using Clock = std::chrono::steady_clock;

// 10 bits per byte at 9600 baud.
constexpr auto kByteTime = std::chrono::nanoseconds(1'041'667);
constexpr uint8_t kFloodByte = 0x55;
// How long to wait before retrying a write the pty refused (its buffer is full).
constexpr auto kRetryWrite = std::chrono::milliseconds(2);

struct FaultRule {
    Fault fault;
    int remaining;  // < 0: always
};

struct Outgoing {
    Clock::time_point due;
    uint8_t byte;
};

bool FaultFits(const CommandWord& word, Fault fault) {
    if (fault == Fault::WheelFails) return word.word == Word::Goto || word.word == Word::Home;
    if (fault == Fault::NeverEnds) return word.is_move;
    return true;
}

}  // namespace

struct BoardSim::Impl {
    explicit Impl(BoardOptions board_options)
        : options(std::move(board_options)),
          model(options),
          parser(options.arg_timeout),
          garbage(options.garbage_seed) {}

    bool Open();
    void Run();
    void CloseDescriptors();
    // The steps of one turn of Run(), all under `mutex`.
    void ReadLine(Clock::time_point now);
    void HandleInbox(Clock::time_point now);
    void Dispatch(const ParsedCommand& command, Clock::time_point now);
    void Schedule(const Reply& reply, Clock::time_point now);
    void SendDue(Clock::time_point now);
    void Flood(Clock::time_point now);
    void Note(Direction direction, const uint8_t* bytes, size_t count, Clock::time_point now);
    int PollTimeoutNs(Clock::time_point now) const;
    bool Idle() const { return inbox.empty() && parser.Empty() && outbox.empty(); }
    void Wake() const;

    const BoardOptions options;
    const Clock::time_point start = Clock::now();
    std::string error;
    std::string slave_path;
    int master = -1;
    int slave = -1;  // held open so the master never sees a hangup
    int wake_read = -1;
    int wake_write = -1;
    std::thread thread;

    mutable std::mutex mutex;
    std::condition_variable changed;
    // Everything below is guarded by `mutex`.
    BoardModel model;
    CommandParser parser;
    std::minstd_rand garbage;
    std::map<std::string, FaultRule, std::less<>> faults;
    bool silent = false;
    bool flooding = false;
    bool unplug_requested = false;
    bool unplugged = false;
    bool stopping = false;
    bool write_blocked = false;
    std::deque<std::pair<Clock::time_point, uint8_t>> inbox;  // received, not yet parsed
    std::deque<Outgoing> outbox;                              // reply bytes not yet sent
    Clock::time_point line_free{};                            // end of the last paced byte sent
    Clock::time_point rx_line_free{};                         // end of the last paced byte received
    Clock::time_point next_flood{};
    std::vector<WireEvent> record;
    size_t received_in_record = 0;
};

bool BoardSim::Impl::Open() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) {
        error = std::string("ptsname: ") + std::strerror(errno);
        return false;
    }
    slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = std::string("cannot open ") + name + ": " + std::strerror(errno);
        return false;
    }
    termios settings{};
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, B9600);
    tcsetattr(slave, TCSANOW, &settings);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);

    int pipe_ends[2];
    if (pipe2(pipe_ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    wake_read = pipe_ends[0];
    wake_write = pipe_ends[1];
    slave_path = name;
    return true;
}

void BoardSim::Impl::CloseDescriptors() {
    for (int* fd : {&master, &slave}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

void BoardSim::Impl::Wake() const {
    const char byte = 1;
    [[maybe_unused]] auto ignored = write(wake_write, &byte, 1);
}

void BoardSim::Impl::Run() {
    for (;;) {
        int timeout_ns;
        {
            std::lock_guard lock(mutex);
            timeout_ns = PollTimeoutNs(Clock::now());
        }
        pollfd fds[2] = {{wake_read, POLLIN, 0}, {master, POLLIN, 0}};
        timespec timeout{timeout_ns / 1'000'000'000, timeout_ns % 1'000'000'000};
        ppoll(fds, 2, timeout_ns < 0 ? nullptr : &timeout, nullptr);
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (read(wake_read, drain, sizeof drain) > 0) {}
        }

        std::lock_guard lock(mutex);
        if (stopping) return;
        if (unplug_requested) {
            CloseDescriptors();
            unplugged = true;
            changed.notify_all();
            return;
        }
        const Clock::time_point now = Clock::now();
        if (fds[1].revents & POLLIN) ReadLine(now);
        SendDue(now);
        HandleInbox(now);
        SendDue(now);
        Flood(now);
        changed.notify_all();
    }
}

int BoardSim::Impl::PollTimeoutNs(Clock::time_point now) const {
    std::optional<Clock::time_point> wake;
    auto consider = [&](Clock::time_point t) { wake = wake ? std::min(*wake, t) : t; };
    if (!outbox.empty()) consider(write_blocked ? now + kRetryWrite : outbox.front().due);
    if (outbox.empty() && !inbox.empty()) consider(inbox.front().first);
    if (outbox.empty() && inbox.empty())
        if (auto stall = parser.StallDeadline()) consider(*stall + std::chrono::milliseconds(1));
    if (flooding) consider(next_flood);
    if (!wake) return -1;
    const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(*wake - now).count();
    return static_cast<int>(std::clamp<int64_t>(wait, 0, 1'000'000'000 - 1));
}

void BoardSim::Impl::ReadLine(Clock::time_point now) {
    uint8_t buffer[512];
    for (;;) {
        const ssize_t count = read(master, buffer, sizeof buffer);
        if (count <= 0) return;
        Note(Direction::ToBoard, buffer, static_cast<size_t>(count), now);
        for (ssize_t i = 0; i < count; ++i) {
            // On a paced line a byte is there once its ten bits have come in.
            Clock::time_point arrival = now;
            if (options.pace) {
                arrival = std::max(now, rx_line_free) + kByteTime;
                rx_line_free = arrival;
            }
            inbox.emplace_back(arrival, buffer[i]);
        }
    }
}

void BoardSim::Impl::HandleInbox(Clock::time_point now) {
    // The board deals with one command at a time: bytes that come while it
    // answers or moves wait their turn.
    while (outbox.empty() && !inbox.empty() && inbox.front().first <= now) {
        const auto [arrival, byte] = inbox.front();
        inbox.pop_front();
        if (auto command = parser.Feed(byte, arrival, model.TableLength()))
            Dispatch(*command, now);
    }
    if (outbox.empty() && inbox.empty()) parser.DropIfStalled(now);
}

void BoardSim::Impl::Dispatch(const ParsedCommand& command, Clock::time_point now) {
    if (silent) return;
    const Part part = command.word->part;
    if ((part == Part::Wheel && !options.has_wheel) ||
        (part == Part::Focuser && !options.has_focuser))
        return;

    std::optional<Fault> fault;
    if (auto rule = faults.find(command.word->text); rule != faults.end()) {
        fault = rule->second.fault;
        if (rule->second.remaining > 0 && --rule->second.remaining == 0) faults.erase(rule);
    }
    if (fault == Fault::NoAnswer) return;

    Reply reply = model.Handle(command, MoveFaults{fault == Fault::WheelFails,
                                                   fault == Fault::NeverEnds});
    if (fault == Fault::ShortAnswer) CutLastByte(reply);
    if (fault == Fault::Garbage) Garble(reply, garbage);
    if (fault == Fault::Gap)
        PauseBeforeLastByte(reply,
                            std::chrono::duration_cast<std::chrono::microseconds>(options.gap));
    Schedule(reply, now);
}

void BoardSim::Impl::Schedule(const Reply& reply, Clock::time_point now) {
    Clock::time_point at = now;
    for (const ReplyPart& part : reply) {
        at += part.delay;
        for (uint8_t byte : part.bytes) {
            if (options.pace) {
                // Leaves the line once its last bit is sent.
                at = std::max(at, line_free) + kByteTime;
                line_free = at;
            }
            outbox.push_back({at, byte});
        }
    }
}

void BoardSim::Impl::SendDue(Clock::time_point now) {
    uint8_t buffer[512];
    size_t count = 0;
    while (count < outbox.size() && count < sizeof buffer && outbox[count].due <= now) {
        buffer[count] = outbox[count].byte;
        ++count;
    }
    if (count == 0) return;
    const ssize_t written = write(master, buffer, count);
    write_blocked = written < 0 && errno == EAGAIN;
    if (written < 0 && !write_blocked) {
        outbox.clear();  // the line is gone; nothing more can leave
        return;
    }
    if (written <= 0) return;
    Note(Direction::FromBoard, buffer, static_cast<size_t>(written), now);
    outbox.erase(outbox.begin(), outbox.begin() + written);
}

void BoardSim::Impl::Flood(Clock::time_point now) {
    if (!flooding) return;
    if (now - next_flood > std::chrono::milliseconds(50)) next_flood = now;  // after a stall
    while (next_flood <= now) {
        // A full pty buffer drops the byte, as an overrun UART would.
        if (write(master, &kFloodByte, 1) == 1) Note(Direction::FromBoard, &kFloodByte, 1, now);
        next_flood += kByteTime;
    }
}

void BoardSim::Impl::Note(Direction direction, const uint8_t* bytes, size_t count,
                          Clock::time_point now) {
    for (size_t i = 0; i < count; ++i) record.push_back({now, direction, bytes[i]});
    if (direction == Direction::ToBoard) received_in_record += count;
}

// ---------------------------------------------------------------------------

BoardSim::BoardSim(BoardOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
    if (!impl_->Open()) {
        impl_->CloseDescriptors();
        impl_->slave_path.clear();
        return;
    }
    impl_->thread = std::thread([impl = impl_.get()] { impl->Run(); });
}

BoardSim::~BoardSim() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    if (impl_->thread.joinable()) {
        impl_->Wake();
        impl_->thread.join();
    }
    impl_->CloseDescriptors();
    for (int fd : {impl_->wake_read, impl_->wake_write})
        if (fd >= 0) close(fd);
}

bool BoardSim::IsRunning() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->thread.joinable() && !impl_->unplugged;
}

const std::string& BoardSim::Error() const { return impl_->error; }
const std::string& BoardSim::SlavePath() const { return impl_->slave_path; }

bool BoardSim::SetFault(std::string_view word, Fault fault, int times) {
    const CommandWord* known = FindWord(word);
    if (known == nullptr || !FaultFits(*known, fault) || times == 0) return false;
    std::lock_guard lock(impl_->mutex);
    impl_->faults.insert_or_assign(std::string(word), FaultRule{fault, times < 0 ? -1 : times});
    return true;
}

void BoardSim::ClearFaults() {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.clear();
    impl_->silent = false;
    impl_->flooding = false;
}

void BoardSim::SetSilent(bool silent) {
    std::lock_guard lock(impl_->mutex);
    impl_->silent = silent;
}

void BoardSim::SetFlood(bool flood) {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->flooding = flood;
        impl_->next_flood = Clock::now();
    }
    if (impl_->thread.joinable()) impl_->Wake();
}

void BoardSim::Unplug() {
    std::unique_lock lock(impl_->mutex);
    if (!impl_->thread.joinable() || impl_->unplugged) return;
    impl_->unplug_requested = true;
    impl_->Wake();
    impl_->changed.wait(lock, [this] { return impl_->unplugged; });
}

std::vector<uint8_t> BoardSim::Received() const {
    std::lock_guard lock(impl_->mutex);
    std::vector<uint8_t> bytes;
    for (const WireEvent& event : impl_->record)
        if (event.direction == Direction::ToBoard) bytes.push_back(event.byte);
    return bytes;
}

std::vector<uint8_t> BoardSim::Sent() const {
    std::lock_guard lock(impl_->mutex);
    std::vector<uint8_t> bytes;
    for (const WireEvent& event : impl_->record)
        if (event.direction == Direction::FromBoard) bytes.push_back(event.byte);
    return bytes;
}

std::vector<WireEvent> BoardSim::Record() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->record;
}

void BoardSim::ClearRecord() {
    std::lock_guard lock(impl_->mutex);
    impl_->record.clear();
    impl_->received_in_record = 0;
}

std::chrono::steady_clock::time_point BoardSim::StartTime() const { return impl_->start; }

bool BoardSim::WaitForReceived(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout,
                                   [&] { return impl_->received_in_record >= count; });
}

bool BoardSim::WaitForIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->Idle(); });
}

std::array<uint8_t, kMemoryBytes> BoardSim::Memory() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.Memory();
}

void BoardSim::SetMemory(const std::array<uint8_t, kMemoryBytes>& memory) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.SetMemory(memory);
}

int BoardSim::CurrentFilter() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.CurrentFilter();
}

int16_t BoardSim::FocuserPosition() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.FocuserPosition();
}

int BoardSim::AutoCompSensor() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.AutoCompSensor();
}

std::vector<uint8_t> BoardSim::MicrostepTable() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.MicrostepTable();
}

void BoardSim::SetTemperature(int sensor, int16_t hundredths) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.SetTemperature(sensor, hundredths);
}

}  // namespace quillmoor::sim
