// The board service on a simulated board: jobs run one at a time on the
// worker, reads come from the kept state, and failures say why.
#include <atomic>
#include <chrono>
#include <thread>

#include "service/board_service.h"
#include "tests/device/board_fixture.h"

namespace quillmoor::test {
namespace {

using namespace std::chrono_literals;
using service::BoardService;
using service::BoardState;
using service::Job;

constexpr service::ClientKey kFocuser = 1, kWheel = 2;

class CountingWaker : public service::Waker {
public:
    void Wake() override { ++wakes; }
    std::atomic<int> wakes{0};
};

class BoardServiceTest : public BoardTest {
protected:
    BoardService& Service(int comPort = 1)
    {
        MakeDevice(comPort);
        service_ = std::make_unique<BoardService>(Device(), BoardService::Settings{.pollInterval = 20ms}, &waker_);
        return *service_;
    }
    static BoardService::Work OpenPort(int n)
    {
        return [n](CFWDevice& device) { return device.OpenPort(n); };
    }
    // Waits for the state to satisfy done; a generous deadline only catches hangs.
    template <class Done>
    BoardState WaitFor(Done&& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        BoardState state = service_->State();
        while (!done(state) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(2ms);
            state = service_->State();
        }
        EXPECT_TRUE(done(state)) << "state never came";
        return state;
    }
    // The worker wakes the event loop just after it has left the state, so
    // a reported job's wake may trail what State() shows.
    int WakesReach(int count)
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (waker_.wakes < count && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(2ms);
        return waker_.wakes;
    }
    BoardState Idle()
    {
        return WaitFor([](const BoardState& s) { return s.running == Job::None; });
    }
    ~BoardServiceTest() override { service_.reset(); }

    static sim::BoardOptions SlowMoves()
    {
        sim::BoardOptions options = FastBoard();
        options.time_scale = 1.0;  // 200 steps/s: a move of 100 steps takes half a second
        options.slot_ms = 300;
        return options;
    }

    CountingWaker waker_;
    std::unique_ptr<BoardService> service_;
};

TEST_F(BoardServiceTest, ClientsShareOneLinkThatTheLastOneCloses)
{
    AddBoard(1);
    BoardService& service = Service();
    EXPECT_EQ(service.Connect(kFocuser, OpenPort(1)), LinkFailure::None);
    EXPECT_EQ(service.Connect(kWheel, OpenPort(1)), LinkFailure::None);  // joins the connect under way
    BoardState state = Idle();
    EXPECT_TRUE(state.connected);
    EXPECT_EQ(state.clients, service::Clients({kFocuser, kWheel}));
    EXPECT_EQ(state.filters.size(), 5u);
    float degrees = 0;
    EXPECT_TRUE(state.Temperature(degrees));  // every sensor is read once the board is found
    EXPECT_FLOAT_EQ(degrees, 18.5f);
    EXPECT_TRUE(state.temperatureRead[1]);
    EXPECT_FLOAT_EQ(state.temperatures[1], -3.25f);
    // Another thread chooses the sensor while the worker polls and copies the options.
    for (int i = 0; i < 40; ++i) {
        service.SetPreferredSensor(i % 2);
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(service.State().PreferredSensor(), 1);
    EXPECT_EQ(WaitFor([](const BoardState& s) { return s.jobsDone > 0; }).options.AscomPreferredTermometer, 1);
    service.SetPreferredSensor(0);

    EXPECT_EQ(service.Disconnect(kFocuser), LinkFailure::None);
    EXPECT_TRUE(service.State().connected);
    EXPECT_EQ(service.Disconnect(kWheel), LinkFailure::None);
    state = WaitFor([](const BoardState& s) { return !s.connected; });
    EXPECT_TRUE(state.clients.empty());
    EXPECT_FALSE(Device().PortIsOpen());

    // A client that leaves before its connect has ended leaves no open port behind.
    service.Connect(kFocuser, OpenPort(1));
    EXPECT_EQ(service.Disconnect(kFocuser), LinkFailure::None);
    EXPECT_FALSE(WaitFor([this](const BoardState& s) { return !s.Connecting() && !Device().PortIsOpen(); }).connected);
}

TEST_F(BoardServiceTest, ConnectWithoutABoardSaysSo)
{
    AddDeadPort(1);
    BoardService& service = Service();
    ASSERT_EQ(service.Connect(kFocuser, OpenPort(1)), LinkFailure::None);
    const BoardState state = Idle();
    EXPECT_FALSE(state.connected);
    EXPECT_TRUE(state.clients.empty());
    EXPECT_EQ(state.failedJob, Job::Connect);
    EXPECT_EQ(state.failure, LinkFailure::NotConnected);
    EXPECT_NE(std::string(service::FailureText(state.failedJob, state.failure)).find("serial port"), std::string::npos);
    EXPECT_EQ(service.Move(10), LinkFailure::NotConnected);
}

TEST_F(BoardServiceTest, AMoveRunsAloneAndReadsNeverTouchTheLink)
{
    AddBoard(1, SlowMoves());
    BoardService& service = Service();
    service.Connect(kFocuser, OpenPort(1));
    Idle();
    ASSERT_TRUE(Board().WaitForIdle(2s));
    const int wakesBefore = WakesReach(1);

    ASSERT_EQ(service.Move(100), LinkFailure::None);
    BoardState state = service.State();
    EXPECT_TRUE(state.Moving());  // at once, before the worker has sent anything
    EXPECT_EQ(state.target, 100);
    EXPECT_EQ(service.Turn(2), LinkFailure::Busy);
    EXPECT_EQ(service.Start(Job::Rename, [](CFWDevice&) { return true; }), LinkFailure::Busy);
    LinkFailure why = LinkFailure::None;
    EXPECT_FALSE(service.Call([](CFWDevice&) { return true; }, &why));
    EXPECT_EQ(why, LinkFailure::Busy);
    // A client leaving is never refused; a second one keeps the link open.
    service.Connect(kWheel, OpenPort(1));
    EXPECT_EQ(service.Disconnect(kFocuser), LinkFailure::None);
    EXPECT_EQ(service.State().clients, service::Clients{kWheel});

    Board().ClearRecord();
    state = Idle();
    EXPECT_TRUE(state.connected);
    EXPECT_EQ(state.position, 100);
    EXPECT_EQ(state.failedJob, Job::None);
    const auto finished = service.TakeFinished();
    ASSERT_TRUE(finished.has_value());
    EXPECT_EQ(finished->job, Job::Move);
    EXPECT_TRUE(finished->succeeded);
    EXPECT_FALSE(service.TakeFinished().has_value());  // once
    EXPECT_EQ(WakesReach(wakesBefore + 1), wakesBefore + 1);
    // Nothing but the move (sent before the record was cleared) and the polls after it.
    const std::string wire = Hex(Board().Received());
    EXPECT_EQ(wire.find(Hex(Bytes("FWGOTO"))), std::string::npos) << wire;

    // The last client leaves during a move: the link closes once it has ended.
    ASSERT_EQ(service.Move(0), LinkFailure::None);
    EXPECT_EQ(service.Disconnect(kWheel), LinkFailure::None);
    EXPECT_TRUE(service.State().connected);
    state = WaitFor([](const BoardState& s) { return !s.connected; });
    EXPECT_EQ(state.position, 0);
    EXPECT_EQ(state.failedJob, Job::None);
}

TEST_F(BoardServiceTest, ATurnShowsItsTargetAndEndsOnTheFilter)
{
    AddBoard(1, SlowMoves());
    BoardService& service = Service();
    service.Connect(kWheel, OpenPort(1));
    Idle();
    ASSERT_EQ(service.Turn(3), LinkFailure::None);
    EXPECT_TRUE(service.State().Turning());
    EXPECT_EQ(service.State().turningTo, 3);
    const BoardState state = Idle();
    EXPECT_EQ(state.filter, 3);
    EXPECT_EQ(Board().CurrentFilter(), 3);
}

TEST_F(BoardServiceTest, APulledCableEndsTheMoveWithAReasonAndAReconnectClearsIt)
{
    AddBoard(1, SlowMoves());
    AddBoard(2);
    BoardService& service = Service();
    service.Connect(kFocuser, OpenPort(1));
    Idle();
    ASSERT_EQ(service.Move(2000), LinkFailure::None);  // ten seconds of travel
    ASSERT_TRUE(Board().WaitForReceived(11, 2s));
    Board().Unplug();
    BoardState state = Idle();
    EXPECT_EQ(state.failedJob, Job::Move);
    EXPECT_EQ(state.failure, LinkFailure::NoAnswer);
    EXPECT_FALSE(state.pollAnswered);  // the kept position is from before the move: nobody knows it now
    EXPECT_NE(std::string(service::FailureText(Job::Move, state.failure)).find("cable"), std::string::npos);

    // The link is still open to nothing: the client leaves and comes back at once, on the other board.
    EXPECT_EQ(service.Disconnect(kFocuser), LinkFailure::None);
    EXPECT_EQ(service.Connect(kFocuser, OpenPort(2)), LinkFailure::None);
    EXPECT_TRUE(service.State().Connecting());
    state = WaitFor([](const BoardState& s) { return !s.Connecting(); });
    EXPECT_TRUE(state.connected);
    EXPECT_EQ(state.clients, service::Clients{kFocuser});
    EXPECT_EQ(state.failedJob, Job::None);
    EXPECT_TRUE(WaitFor([](const BoardState& s) { return s.pollAnswered; }).pollAnswered);
}

TEST_F(BoardServiceTest, CallsRunBetweenPollsAndReportWhyTheyFailed)
{
    AddBoard(1);
    BoardService& service = Service();
    service.Connect(kFocuser, OpenPort(1));
    Idle();
    ASSERT_EQ(service.TakeFinished()->job, Job::Connect);
    const int wakesBefore = WakesReach(1);
    EXPECT_TRUE(service.SetCompensation(true));
    EXPECT_EQ(Board().AutoCompSensor(), 0);
    EXPECT_EQ(service.State().compensationSensor, 0);
    Board().SetSilent(true);
    LinkFailure why = LinkFailure::None;
    EXPECT_FALSE(service.SetCompensation(false, &why));
    EXPECT_EQ(why, LinkFailure::NoAnswer);
    Board().SetSilent(false);
    EXPECT_EQ(service.State().compensationSensor, 0);
    EXPECT_EQ(waker_.wakes, wakesBefore);  // calls are not reported to an event loop
    EXPECT_FALSE(service.TakeFinished().has_value());
}

}  // namespace
}  // namespace quillmoor::test
