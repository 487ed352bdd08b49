// Load: eight threads, each in an apartment of its own, share one Focuser
// and one FilterWheel object through the Global Interface Table and call
// every member in random order for a fixed time, while the thread that
// loaded the DLL dispatches the temperature-log timer. The client checks what
// each call returned; tests/wine/faults.sh checks the wire and the trace.
#include <windows.h>
#include <objbase.h>
#include <process.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "checks.h"
#include "scenarios.h"

namespace wine_client {
namespace {

constexpr int kWorkers = 8;
constexpr LONG kHighestTarget = 1000;
constexpr SHORT kSlots = 5;  // the board's filter count
constexpr size_t kProblemsShown = 8;
// The last part of the run, long enough for one tick of the five-second timer.
constexpr ULONGLONG kQuietMs = 6000;

// What one worker saw. A refused call is one that returned DISP_E_EXCEPTION
// with the busy code, the only failure a member may report while the board
// answers (and "not connected" in the instant between two threads' leave
// and join); a problem is
// anything else that went wrong (another result, a failure of a member that
// cannot fail, a value the board cannot have given).
struct Tally {
    long long calls = 0;
    long long accepted = 0;
    long long refused = 0;
    long long moves = 0;  // accepted focuser Moves
    long long turns = 0;  // accepted wheel Position puts
    long long problems = 0;
    std::vector<std::string> shown;
    std::map<std::string, long long> refusedBy;
    // A connect of this thread was refused (the link was closed and busy at
    // once): like a client program, it tries again before anything else.
    bool rejoin = false;

    void Problem(const std::string& text)
    {
        ++problems;
        if (shown.size() < kProblemsShown) shown.push_back(text);
    }

    // Counts the call; true when it was accepted.
    bool Count(const char* member, const Outcome& outcome, bool mayFail)
    {
        ++calls;
        if (outcome.hr == S_OK) {
            ++accepted;
            return true;
        }
        if (outcome.hr == DISP_E_EXCEPTION && mayFail &&
            (outcome.scode == ascom::kLinkBusy || outcome.scode == ascom::kNotConnected ||
             outcome.scode == ascom::kNoBoard)) {
            ++refused;
            ++refusedBy[member];
            return false;
        }
        Problem(std::string(member) + ": hr " + Hex(outcome.hr) + " scode " + Hex(outcome.scode));
        return false;
    }

    void Add(const Tally& other)
    {
        calls += other.calls;
        accepted += other.accepted;
        refused += other.refused;
        moves += other.moves;
        turns += other.turns;
        problems += other.problems;
        for (const auto& [member, count] : other.refusedBy) refusedBy[member] += count;
        for (const std::string& text : other.shown)
            if (shown.size() < kProblemsShown) shown.push_back(text);
    }
};

struct WorkerArgs {
    IGlobalInterfaceTable* git = nullptr;
    DWORD focuserCookie = 0;
    DWORD wheelCookie = 0;
    ULONGLONG deadline = 0;
    unsigned seed = 0;
    Tally tally;
};

bool Holds(const Outcome& outcome, VARTYPE type) { return outcome.value.vt == type; }

// The board's filter table, as the wheel's arrays must list it.
const std::vector<std::wstring> kNames = {L"L", L"R", L"G", L"B", L"Ha"};
const std::vector<LONG> kOffsets = {0, 10, 20, 30, 35};

void AskNames(Tally& tally, const Driver& wheel)
{
    const Outcome names = wheel.Get(L"Names");
    if (tally.Count("Names get", names, false) && StringElements(names.value) != kNames)
        tally.Problem("Names get did not list the board's filters");
}

// One member, picked at random, with the checks its answer allows.
void CallOne(Tally& tally, std::mt19937& random, const Driver& focuser, const Driver& wheel)
{
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    switch (pick(0, 19)) {
    case 0:
    case 1:
    case 2: {
        const LONG target = pick(0, kHighestTarget);
        if (tally.Count("Move", focuser.Call(L"Move", Long(target)), true)) ++tally.moves;
        break;
    }
    case 3:
    case 4: {
        const Outcome position = focuser.Get(L"Position");
        if (tally.Count("Position get", position, true) &&
            !(Holds(position, VT_I4) && position.value.lVal >= 0 && position.value.lVal <= kHighestTarget))
            tally.Problem("Position get answered " + std::to_string(position.value.lVal));
        break;
    }
    case 5: {
        const Outcome temperature = focuser.Get(L"Temperature");
        if (tally.Count("Temperature get", temperature, true) &&
            !(Holds(temperature, VT_R8) && temperature.value.dblVal == 18.5))
            tally.Problem("Temperature get answered " + std::to_string(temperature.value.dblVal));
        break;
    }
    case 6:
        tally.Count("TempComp get", focuser.Get(L"TempComp"), true);
        break;
    case 7:
        tally.Count("TempComp put", focuser.Put(L"TempComp", Bool(pick(0, 1) == 1)), true);
        break;
    case 8: {
        const Outcome moving = focuser.Get(L"IsMoving");
        if (tally.Count("IsMoving get", moving, false) && !Holds(moving, VT_BOOL))
            tally.Problem("IsMoving get is not a VT_BOOL");
        break;
    }
    case 9:
        tally.Count("Link get", focuser.Get(L"Link"), false);
        tally.Count("Connected get", wheel.Get(L"Connected"), false);
        break;
    case 10:
    case 11:
    case 12: {
        const SHORT slot = static_cast<SHORT>(pick(0, kSlots - 1));
        if (tally.Count("wheel Position put", wheel.Put(L"Position", Short(slot)), true)) ++tally.turns;
        break;
    }
    case 13:
    case 14: {
        const Outcome slot = wheel.Get(L"Position");
        if (tally.Count("wheel Position get", slot, false) &&
            !(Holds(slot, VT_I2) && slot.value.iVal >= -1 && slot.value.iVal < kSlots))
            tally.Problem("wheel Position get answered " + std::to_string(slot.value.iVal));
        break;
    }
    case 15:
        AskNames(tally, wheel);
        break;
    case 16: {
        const Outcome offsets = wheel.Get(L"FocusOffsets");
        if (tally.Count("FocusOffsets get", offsets, false) && LongElements(offsets.value) != kOffsets)
            tally.Problem("FocusOffsets get did not list the board's offsets");
        break;
    }
    case 17: {
        const Outcome maxStep = focuser.Get(L"MaxStep");
        if (tally.Count("MaxStep get", maxStep, false) && !(Holds(maxStep, VT_I4) && maxStep.value.lVal == 30000))
            tally.Problem("MaxStep get answered " + std::to_string(maxStep.value.lVal));
        const Outcome stepSize = focuser.Get(L"StepSize");
        if (tally.Count("StepSize get", stepSize, false) && !(Holds(stepSize, VT_R8) && stepSize.value.dblVal == 10.0))
            tally.Problem("StepSize get answered " + std::to_string(stepSize.value.dblVal));
        break;
    }
    default:
        // 19: once in a while, one object leaves the link and comes back.
        if (pick(0, 9) == 0) {
            const bool focuserGoes = pick(0, 1) == 0;
            const Driver& goes = focuserGoes ? focuser : wheel;
            const Driver& stays = focuserGoes ? wheel : focuser;
            const wchar_t* property = focuserGoes ? L"Link" : L"Connected";
            const wchar_t* other = focuserGoes ? L"Connected" : L"Link";
            // The other object joins first, so the link closes only when two
            // threads let go of both objects at the same moment.
            if (!tally.Count(focuserGoes ? "Connected put true" : "Link put true", stays.Put(other, Bool(true)),
                             true))
                tally.rejoin = true;
            tally.Count(focuserGoes ? "Link put false" : "Connected put false", goes.Put(property, Bool(false)),
                        false);
            if (!tally.Count(focuserGoes ? "Link put true" : "Connected put true", goes.Put(property, Bool(true)),
                             true))
                tally.rejoin = true;
        }
        break;
    }
}

// Members answered from stored data.
void CallQuiet(Tally& tally, std::mt19937& random, const Driver& focuser, const Driver& wheel)
{
    switch (std::uniform_int_distribution<int>(0, 3)(random)) {
    case 0:
        AskNames(tally, wheel);
        break;
    case 1:
        tally.Count("IsMoving get", focuser.Get(L"IsMoving"), false);
        break;
    case 2:
        tally.Count("Link get", focuser.Get(L"Link"), false);
        break;
    default:
        tally.Count("MaxStep get", focuser.Get(L"MaxStep"), false);
        break;
    }
}

unsigned __stdcall Worker(void* argument)
{
    WorkerArgs& args = *static_cast<WorkerArgs*>(argument);
    Tally& tally = args.tally;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        tally.Problem("CoInitializeEx(COINIT_APARTMENTTHREADED) failed");
        return 1;
    }
    {
        IDispatch* focuserDispatch = nullptr;
        IDispatch* wheelDispatch = nullptr;
        const HRESULT f = args.git->GetInterfaceFromGlobal(args.focuserCookie, IID_IDispatch,
                                                           reinterpret_cast<void**>(&focuserDispatch));
        const HRESULT w = args.git->GetInterfaceFromGlobal(args.wheelCookie, IID_IDispatch,
                                                           reinterpret_cast<void**>(&wheelDispatch));
        Driver focuser(SUCCEEDED(f) ? focuserDispatch : nullptr);
        Driver wheel(SUCCEEDED(w) ? wheelDispatch : nullptr);
        if (!focuser || !wheel) {
            tally.Problem("GetInterfaceFromGlobal failed: " + Hex(f) + " " + Hex(w));
        } else {
            std::mt19937 random(args.seed);
            // Both objects become clients first and again whenever a connect
            // of this thread was refused.
            auto rejoin = [&] {
                const bool linked = tally.Count("Link put true", focuser.Put(L"Link", Bool(true)), true);
                const bool joined = tally.Count("Connected put true", wheel.Put(L"Connected", Bool(true)), true);
                tally.rejoin = !linked || !joined;
            };
            rejoin();
            while (GetTickCount64() + kQuietMs < args.deadline) {
                if (tally.rejoin) rejoin();
                else CallOne(tally, random, focuser, wheel);
            }
            // The quiet end: only members that send nothing are called, so that
            // a timer tick finds the link free (a tick is skipped while Busy is
            // set, and above the threads keep it set most of the time).
            rejoin();
            while (GetTickCount64() < args.deadline) {
                if (tally.rejoin) rejoin();
                else CallQuiet(tally, random, focuser, wheel);
            }
            tally.Count("Connected put false", wheel.Put(L"Connected", Bool(false)), false);
            tally.Count("Link put false", focuser.Put(L"Link", Bool(false)), false);
        }
    }
    CoUninitialize();
    return 0;
}

}  // namespace

int Stress(int seconds)
{
    Checks check("stress");
    if (seconds * 1000ULL < 2 * kQuietMs) {
        std::printf("stress: --duration must be at least %llu s\n", 2 * kQuietMs / 1000);
        return 1;
    }
    // Created here first, so that the DLL is loaded by this thread and its
    // temperature-log timer fires between the messages dispatched below.
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!check.That(focuser && wheel, "both ProgIDs create objects")) return check.Failures();

    IGlobalInterfaceTable* git = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&git));
    if (!check.That(SUCCEEDED(hr), "the Global Interface Table is there", Hex(hr))) return check.Failures();
    DWORD focuserCookie = 0, wheelCookie = 0;
    const HRESULT f = git->RegisterInterfaceInGlobal(focuser.get(), IID_IDispatch, &focuserCookie);
    const HRESULT w = git->RegisterInterfaceInGlobal(wheel.get(), IID_IDispatch, &wheelCookie);
    if (!check.That(SUCCEEDED(f) && SUCCEEDED(w), "both objects are registered in the table",
                    Hex(f) + " " + Hex(w))) {
        git->Release();
        return check.Failures();
    }

    const unsigned seed = GetTickCount();
    std::printf("# stress: %d threads for %d s, seed %u\n", kWorkers, seconds, seed);
    std::fflush(stdout);
    std::vector<WorkerArgs> args(kWorkers);
    std::vector<HANDLE> running;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    for (int i = 0; i < kWorkers; ++i) {
        args[i].git = git;
        args[i].focuserCookie = focuserCookie;
        args[i].wheelCookie = wheelCookie;
        args[i].deadline = deadline;
        args[i].seed = seed + static_cast<unsigned>(i) * 7919u;
        const uintptr_t thread = _beginthreadex(nullptr, 0, Worker, &args[i], 0, nullptr);
        if (thread) running.push_back(reinterpret_cast<HANDLE>(thread));
    }
    check.That(running.size() == kWorkers, "all worker threads started");

    // Dispatch messages (the timer's among them) until the last worker ends.
    std::vector<HANDLE> waiting = running;
    int ticks = 0;
    while (!waiting.empty()) {
        const DWORD woke = MsgWaitForMultipleObjects(static_cast<DWORD>(waiting.size()), waiting.data(),
                                                     FALSE, INFINITE, QS_ALLINPUT);
        if (woke < WAIT_OBJECT_0 + waiting.size()) {
            waiting.erase(waiting.begin() + (woke - WAIT_OBJECT_0));
            continue;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_TIMER) ++ticks;
            DispatchMessageW(&message);
        }
    }
    for (HANDLE thread : running) CloseHandle(thread);

    Tally total;
    for (const WorkerArgs& worker : args) total.Add(worker.tally);
    std::string shown;
    for (const std::string& text : total.shown) shown += (shown.empty() ? "" : "; ") + text;
    check.That(total.problems == 0, "every call answered S_OK, or busy (not connected, no board, in a leave and join) where the member may fail",
               std::to_string(total.problems) + " problems, among them: " + shown);
    check.That(total.refused > 0 && total.moves > 0 && total.turns > 0,
               "the threads got in each other's way and still moved both motors");
    check.That(ticks >= seconds / 5 - 1, "the temperature-log timer ticked on this thread",
               std::to_string(ticks) + " ticks");
    check.BoolValue(focuser.Get(L"Link"), false, "Link after every thread disconnected");
    check.BoolValue(wheel.Get(L"Connected"), false, "Connected after every thread disconnected");

    std::string byMember;
    for (const auto& [member, count] : total.refusedBy) byMember += ", " + member + " " + std::to_string(count);
    std::printf("# refused by member: %s\n", byMember.empty() ? "none" : byMember.c_str() + 2);
    std::printf("stress-figures calls=%lld refused=%lld accepted=%lld moves=%lld turns=%lld ticks=%d\n",
                total.calls, total.refused, total.accepted, total.moves, total.turns, ticks);
    std::fflush(stdout);

    git->RevokeInterfaceFromGlobal(focuserCookie);
    git->RevokeInterfaceFromGlobal(wheelCookie);
    git->Release();
    return check.Failures();
}

}  // namespace wine_client
