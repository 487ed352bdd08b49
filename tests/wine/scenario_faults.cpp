// Faults on the Windows side of the link: the cable pulled during a move,
// spoiled and stray replies, a board that never stops sending, and Busy
// after a storm of refused calls. The harness plays the board's part at each
// "step" (see rendezvous.h); what it saw on the wire and in the trace is
// checked by tests/wine/faults.sh.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "calls.h"
#include "checks.h"
#include "rendezvous.h"
#include "scenarios.h"

namespace wine_client {
namespace {

// Margin for the sanity bounds on how long a failing call may take beyond
// its own budget: thread start-up and a loaded machine, not a tolerance the
// driver is allowed.
constexpr double kSlackMs = 2000;

// Budgets of the default board memory: focuser 200 steps/s with 10 steps of
// backlash, ChangeFilterTimeoutMs 1000 per wheel slot.
constexpr double FocusBudgetMs(LONG distance) { return distance * 1000.0 / 200 + 11 * 10 + 2000; }
constexpr double GotoBudgetMs(int slots) { return slots * 1000.0 + 2000; }
// A single read of n reply bytes.
constexpr double ReadBudgetMs(int bytes) { return 100.0 + 100.0 * bytes; }

// A call that has to fail with its budget as the limit: no valid answer,
// and back within the budget (plus the margin above).
void CheckFailsWithin(Checks& check, const char* what, HRESULT result, double ms, double budgetMs)
{
    check.That(result == ascom::kNoAnswer, std::string(what) + " fails with no valid answer (0x80040501)",
               Hex(result));
    char text[160];
    std::snprintf(text, sizeof text, "%s returns within its budget of %.0f ms", what, budgetMs);
    char detail[64];
    std::snprintf(detail, sizeof detail, "took %.0f ms", ms);
    check.That(ms <= budgetMs + kSlackMs, text, detail);
    std::printf("# %s: failed after %.0f ms (budget %.0f ms)\n", what, ms, budgetMs);
    std::fflush(stdout);
}

Outcome Timed(double& ms, const std::function<Outcome()>& call)
{
    Elapsed elapsed;
    Outcome outcome = call();
    ms = elapsed.Ms();
    return outcome;
}

// Committed private memory, region by region: the process's heaps and
// stacks. (Wine reports PrivateUsage as 0, so it is counted here.)
SIZE_T PrivateBytes()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (region.RegionSize == 0) break;
    }
    return total;
}

SIZE_T WorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

// Both objects on the one link: the focuser connects, the wheel joins.
// False when either object or connection is missing (the failure counted).
bool ConnectBoth(Checks& check, Driver& focuser, Driver& wheel)
{
    return check.That(focuser && wheel, "both ProgIDs create objects") &&
           check.Result(focuser.Put(L"Link", Bool(true)), S_OK, "Link put true") &&
           check.Result(wheel.Put(L"Connected", Bool(true)), S_OK, "wheel Connected put true");
}

void DisconnectBoth(Checks& check, Driver& focuser, Driver& wheel)
{
    check.Result(wheel.Put(L"Connected", Bool(false)), S_OK, "wheel Connected put false");
    check.Result(focuser.Put(L"Link", Bool(false)), S_OK, "Link put false");
}

}  // namespace

// The board goes away during a focuser move and, on the next board, during
// a wheel move. Each time the waiting call fails within its budget, Busy is
// released, the link can be taken down, and a board that comes back behind
// the same port serves a new connection.
int CablePulled()
{
    Checks check("unplug");
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!check.That(focuser && wheel, "both ProgIDs create objects")) return check.Failures();
    if (!check.Result(focuser.Put(L"Link", Bool(true)), S_OK, "Link put true")) return check.Failures();

    // 1000 steps at 200 steps/s: 5 s of travel, far longer than the pull takes.
    {
        Background move([&] { return focuser.Call(L"Move", Long(1000)); });
        check.That(WaitUntilMoving(focuser, move), "IsMoving shows the focuser move");
        check.That(HarnessStep("unplug-focuser"), "the harness pulled the cable");
        const HRESULT result = move.Join();
        CheckFailsWithin(check, "Move(1000) after the pull", result, move.Ms(), FocusBudgetMs(1000));
    }
    check.BoolValue(focuser.Get(L"IsMoving"), false, "IsMoving after the failed move");
    check.Result(focuser.Get(L"Position"), ascom::kNoAnswer, "Position with the board gone");
    check.BoolValue(focuser.Get(L"IsMoving"), false, "IsMoving after the failed Position");
    check.BoolValue(focuser.Get(L"Link"), true, "Link after the pull (a failed command leaves the port open)");
    check.Result(focuser.Put(L"Link", Bool(false)), S_OK, "Link put false after the pull");
    check.BoolValue(focuser.Get(L"Link"), false, "Link after the disconnect");

    check.That(HarnessStep("board-2"), "the harness put a new board behind the port");
    check.Result(focuser.Put(L"Link", Bool(true)), S_OK, "Link put true to the new board");
    check.Result(focuser.Call(L"Move", Long(100)), S_OK, "Move(100) on the new board");
    check.LongValue(focuser.Get(L"Position"), 100, "Position on the new board");

    // Two slots of 1.5 s each: the wheel turns for 3 s.
    check.Result(wheel.Put(L"Connected", Bool(true)), S_OK, "wheel Connected put true (joins)");
    {
        Background turn([&] { return wheel.Put(L"Position", Short(2)); });
        check.That(WaitUntilMoving(focuser, turn), "IsMoving shows the wheel turn");
        check.That(HarnessStep("unplug-wheel"), "the harness pulled the cable again");
        const HRESULT result = turn.Join();
        CheckFailsWithin(check, "wheel Position put 2 after the pull", result, turn.Ms(), GotoBudgetMs(2));
    }
    check.BoolValue(focuser.Get(L"IsMoving"), false, "IsMoving after the failed turn");
    check.ShortValue(wheel.Get(L"Position"), -1, "wheel Position with the board gone");
    check.Result(wheel.Put(L"Connected", Bool(false)), S_OK, "wheel Connected put false");
    check.Result(focuser.Put(L"Link", Bool(false)), S_OK, "Link put false (the last client)");
    check.BoolValue(wheel.Get(L"Connected"), false, "Connected after the last client left");

    check.That(HarnessStep("board-3"), "the harness put a third board behind the port");
    check.Result(wheel.Put(L"Connected", Bool(true)), S_OK, "wheel Connected put true to the third board");
    check.Result(wheel.Put(L"Position", Short(2)), S_OK, "wheel Position put 2 on the third board");
    check.ShortValue(wheel.Get(L"Position"), 2, "wheel Position on the third board");
    check.Result(wheel.Put(L"Connected", Bool(false)), S_OK, "wheel Connected put false");
    return check.Failures();
}

// Replies spoiled by the board one at a time (the harness arms each fault
// just before the call it spoils), and the focuser-move notice before the
// wheel's answer. Each spoiled call gives its stated failure and the next
// call of the same kind succeeds.
int SpoiledReplies()
{
    Checks check("replies");
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!ConnectBoth(check, focuser, wheel)) return check.Failures();

    // FWfocus answered with one byte of two, with nothing, and with its last
    // byte 250 ms late: Position fails and reports the focus shift (0).
    for (const char* fault : {"short", "silent", "gap"}) {
        const std::string what = std::string("Position with FWfocus ") + fault;
        check.That(HarnessStep(std::string("focus-") + fault), "the harness armed FWfocus " + std::string(fault));
        double ms = 0;
        Outcome spoiled = Timed(ms, [&] { return focuser.Get(L"Position"); });
        check.Result(spoiled, ascom::kNoAnswer, what);
        check.LongValue(spoiled, 0, what + " (the focus shift)");
        check.That(ms <= ReadBudgetMs(2) + kSlackMs, what + " returns within the read budget",
                   std::to_string(ms) + " ms");
        // The late byte of the gap arrives after the failed read; once it is
        // there, the purge of the next exchange discards it.
        if (std::string(fault) == "gap")
            check.That(HarnessStep("gap-drained"), "the board sent the late byte");
        Outcome next = focuser.Get(L"Position");
        check.Result(next, S_OK, "the Position after " + std::string(fault));
        check.LongValue(next, 0, "the Position after " + std::string(fault));
    }

    // Bytes nobody asked for, waiting in the input queue before a command:
    // the frame's purge drops them and the reply is read clean.
    check.That(HarnessStep("stale-burst"), "the board sent a burst unasked");
    check.LongValue(focuser.Get(L"Position"), 0, "Position after a burst of stray bytes");
    check.ShortValue(wheel.Get(L"Position"), 0, "wheel Position after a burst of stray bytes");

    check.That(HarnessStep("temperature-short"), "the harness armed FWtemperature short");
    Outcome temperature = focuser.Get(L"Temperature");
    check.Result(temperature, ascom::kNoAnswer, "Temperature with a short reply");
    check.DoubleValue(temperature, 0.0, "Temperature with a short reply");
    check.DoubleValue(focuser.Get(L"Temperature"), 18.5, "the Temperature after it");

    check.That(HarnessStep("isauto-silent"), "the harness armed FWisAuto silent");
    Outcome tempComp = focuser.Get(L"TempComp");
    check.Result(tempComp, ascom::kNoAnswer, "TempComp get with no reply");
    check.BoolValue(tempComp, false, "TempComp get with no reply");
    check.Result(focuser.Get(L"TempComp"), S_OK, "the TempComp get after it");

    // A byte from 0x80..0xFF is no index byte: the slot is unknown, S_OK.
    check.That(HarnessStep("filter-garbage"), "the harness armed FWFILTER garbage");
    Outcome slot = wheel.Get(L"Position");
    check.Result(slot, S_OK, "wheel Position get with a garbage reply");
    check.ShortValue(slot, -1, "wheel Position get with a garbage reply");
    check.ShortValue(wheel.Get(L"Position"), 0, "the wheel Position get after it");

    // The board sends "FWmoveFocus" and two bytes half way round, then the
    // slot: the notice is passed over.
    check.Result(wheel.Put(L"Position", Short(3)), S_OK, "wheel Position put 3 with a notice on the way");
    check.ShortValue(wheel.Get(L"Position"), 3, "wheel Position after the notice");

    // Notice and slot byte both garbled: the slot never comes, the turn fails
    // when its budget (one slot) runs out; the wheel did turn.
    check.That(HarnessStep("goto-garbage"), "the harness armed FWGOTO garbage");
    double ms = 0;
    Outcome garbled = Timed(ms, [&] { return wheel.Put(L"Position", Short(4)); });
    CheckFailsWithin(check, "wheel Position put 4 with a garbled answer", garbled.Result(), ms,
                     GotoBudgetMs(1));
    check.ShortValue(wheel.Get(L"Position"), 4, "wheel Position after the garbled turn");
    // Slot 0: its offset's bytes are 0, so the skipped notice traces as plain text.
    check.Result(wheel.Put(L"Position", Short(0)), S_OK, "the wheel Position put after it");
    check.Result(focuser.Call(L"Move", Long(50)), S_OK, "a focuser Move after it");

    DisconnectBoth(check, focuser, wheel);
    return check.Failures();
}

// A board that sends without pause: no call outlives its budget, moves that
// never end fail when their budgets run out, and the client's memory does
// not grow with the calls.
int FloodingBoard()
{
    constexpr int kWarmUpCalls = 100;
    constexpr int kMeasuredCalls = 1000;
    constexpr SIZE_T kGrowthLimit = 512 * 1024;
    Checks check("flood");
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!ConnectBoth(check, focuser, wheel)) return check.Failures();
    check.That(HarnessStep("flood-on"), "the board floods");

    // Moves whose end never comes, with bytes arriving all the time. They go
    // first, while the driver still knows where both motors stand: a query
    // drowned in the flood may pass with a made-up position, which would
    // change the move's budget.
    check.That(HarnessStep("stall-focus"), "the harness armed FWgoFocus stall");
    double ms = 0;
    Outcome move = Timed(ms, [&] { return focuser.Call(L"Move", Long(100)); });
    CheckFailsWithin(check, "Move(100) that never ends, in the flood", move.Result(), ms, FocusBudgetMs(100));
    check.That(HarnessStep("stall-wheel"), "the harness armed FWGOTO stall");
    Outcome turn = Timed(ms, [&] { return wheel.Put(L"Position", Short(1)); });
    CheckFailsWithin(check, "wheel Position put 1 that never ends, in the flood", turn.Result(), ms,
                     GotoBudgetMs(1));

    // Replies drown in 0x55 bytes, so a query may pass or fail; what counts is
    // that it ends within its read budget and answers "no valid answer" when
    // it fails.
    // (Not TempComp: a flooded FWisAuto reply is a valid sensor number, which
    // the driver would then keep as its temperature sensor.)
    struct Query {
        const wchar_t* name;
        bool wheel;
        int replyBytes;
    };
    const Query queries[] = {{L"Position", false, 2}, {L"Temperature", false, 2}, {L"Position", true, 1},
                             {L"Names", true, 0}, {L"FocusOffsets", true, 0}};
    double worstOverBudget = -1e9;
    int otherResults = 0;
    int failed = 0;
    SIZE_T privateBefore = 0, workingBefore = 0;
    for (int i = 0; i < kWarmUpCalls + kMeasuredCalls; ++i) {
        if (i == kWarmUpCalls) {
            privateBefore = PrivateBytes();
            workingBefore = WorkingSet();
        }
        const Query& query = queries[i % std::size(queries)];
        double callMs = 0;
        const Outcome outcome = Timed(callMs, [&] { return (query.wheel ? wheel : focuser).Get(query.name); });
        worstOverBudget = std::max(worstOverBudget, callMs - ReadBudgetMs(query.replyBytes));
        if (outcome.Result() == ascom::kNoAnswer) ++failed;
        else if (outcome.Result() != S_OK) ++otherResults;
    }
    const SIZE_T privateAfter = PrivateBytes();
    const SIZE_T workingAfter = WorkingSet();
    check.That(otherResults == 0, "every query answered S_OK or no valid answer",
               std::to_string(otherResults) + " other results");
    check.That(worstOverBudget <= kSlackMs, "no query outlived its read budget",
               "worst " + std::to_string(worstOverBudget) + " ms over");
    const long long privateGrowth = static_cast<long long>(privateAfter) - static_cast<long long>(privateBefore);
    const long long workingGrowth = static_cast<long long>(workingAfter) - static_cast<long long>(workingBefore);
    check.That(privateGrowth <= static_cast<long long>(kGrowthLimit),
               "private bytes stay flat over " + std::to_string(kMeasuredCalls) + " calls",
               "grew by " + std::to_string(privateGrowth) + " bytes");
    check.That(workingGrowth <= static_cast<long long>(kGrowthLimit),
               "the working set stays flat over " + std::to_string(kMeasuredCalls) + " calls",
               "grew by " + std::to_string(workingGrowth) + " bytes");
    std::printf("# flood: %d queries, %d failed, worst %.0f ms beyond the read budget; over the last %d: "
                "private bytes %zu KiB %+lld, working set %zu KiB %+lld\n",
                kWarmUpCalls + kMeasuredCalls, failed, worstOverBudget, kMeasuredCalls,
                static_cast<size_t>(privateAfter / 1024), privateGrowth, static_cast<size_t>(workingAfter / 1024),
                workingGrowth);
    std::fflush(stdout);

    check.BoolValue(focuser.Get(L"IsMoving"), false, "IsMoving after the flood");

    check.That(HarnessStep("flood-off"), "the board is quiet again");
    check.LongValue(focuser.Get(L"Position"), 0, "Position after the flood (the stalled move went nowhere)");
    check.ShortValue(wheel.Get(L"Position"), -1, "wheel Position after the stalled turn (unknown)");
    check.Result(wheel.Put(L"Position", Short(2)), S_OK, "wheel Position put 2 after the flood");
    check.Result(focuser.Call(L"Move", Long(100)), S_OK, "Move(100) after the flood");

    DisconnectBoth(check, focuser, wheel);
    return check.Failures();
}

// While one thread moves the focuser, three others fire every command member
// at both objects, thousands of times: Position and Temperature answer from
// the last values, everything else is refused as busy. Busy belongs to the
// move alone: once it ends, IsMoving is false and the next commands go
// through.
int BusyAfterRefusals()
{
    constexpr int kCallsPerThread = 2000;
    constexpr int kHammers = 3;
    // The hammers stop well before the move's end (two seconds on the board),
    // so that no call of theirs can reach the wire after it; a loaded machine
    // may make fewer calls by then, and this many prove the rule.
    constexpr double kHammerMs = 700;
    constexpr int kFewestCalls = 600;
    Checks check("busy");
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!ConnectBoth(check, focuser, wheel)) return check.Failures();

    // The members that need the board, each as a call that would change
    // nothing visible on the wire if it slipped through. The first two are
    // the polls that the last values answer.
    constexpr size_t kPolls = 2;
    const std::function<Outcome()> commands[] = {
        [&] { return focuser.Get(L"Position"); },
        [&] { return focuser.Get(L"Temperature"); },
        [&] { return focuser.Get(L"TempComp"); },
        [&] { return focuser.Put(L"TempComp", Bool(false)); },
        [&] { return focuser.Call(L"Move", Long(4000)); },
        [&] { return wheel.Put(L"Position", Short(0)); },
    };
    std::atomic<int> refused{0}, other{0}, accepted{0}, polled{0}, expectedRefusals{0}, made{0};
    check.DoubleValue(focuser.Get(L"Temperature"), 18.5, "Temperature before the move");
    double hammerMs = 0;
    {
        Background move([&] { return focuser.Call(L"Move", Long(4000)); });
        if (!check.That(WaitUntilMoving(focuser, move), "IsMoving shows the move")) return check.Failures();
        Elapsed hammering;
        std::vector<std::thread> hammers;
        for (int t = 0; t < kHammers; ++t)
            hammers.emplace_back([&, t] {
                CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                for (int i = 0; i < kCallsPerThread && hammering.Ms() < kHammerMs; ++i) {
                    const size_t which = (i + t) % std::size(commands);
                    const Outcome outcome = commands[which]();
                    const bool last = which == 0 ? outcome.value.vt == VT_I4 && outcome.value.lVal == 0
                                                 : outcome.value.vt == VT_R8 && outcome.value.dblVal == 18.5;
                    const bool asRuled = which < kPolls ? outcome.hr == S_OK && last
                                                        : outcome.hr == DISP_E_EXCEPTION && outcome.scode == ascom::kLinkBusy;
                    // A call answered otherwise after the move has ended was right to go through.
                    if (!asRuled && !IsTrue(focuser.Get(L"IsMoving"))) break;
                    ++made;
                    if (which < kPolls) {
                        ++(asRuled ? polled : other);
                        continue;
                    }
                    ++expectedRefusals;
                    if (asRuled) ++refused;
                    else if (outcome.hr == S_OK) ++accepted;
                    else ++other;
                }
                CoUninitialize();
            });
        for (std::thread& hammer : hammers) hammer.join();
        hammerMs = hammering.Ms();
        check.That(move.Join() == S_OK, "the move itself completes with S_OK");
    }
    check.That(made >= kFewestCalls, "at least " + std::to_string(kFewestCalls) + " calls were made during the move",
               std::to_string(made));
    check.That(refused == expectedRefusals && polled + refused == made,
               "every command during the move was refused as busy (0x80040500) or, the polls, answered "
               "from the last values",
               std::to_string(refused) + " refused, " + std::to_string(polled) + " polls answered, " +
                   std::to_string(accepted) + " accepted, " + std::to_string(other) + " other");
    std::printf("# busy: %d refused calls and %d polls answered on %d threads in %.0f ms during one move\n",
                refused.load(), polled.load(), kHammers, hammerMs);

    check.BoolValue(focuser.Get(L"IsMoving"), false, "IsMoving after the move");
    check.LongValue(focuser.Get(L"Position"), 4000, "Position after the move");
    check.DoubleValue(focuser.Get(L"Temperature"), 18.5, "Temperature after the move");
    check.Result(wheel.Put(L"Position", Short(2)), S_OK, "wheel Position put 2 after the move");
    check.Result(focuser.Call(L"Move", Long(3990)), S_OK, "Move(3990) after the move");
    check.BoolValue(focuser.Get(L"IsMoving"), false, "IsMoving at the end");

    DisconnectBoth(check, focuser, wheel);
    return check.Failures();
}

}  // namespace wine_client
