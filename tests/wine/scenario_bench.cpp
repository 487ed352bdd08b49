// Late-bound timings of Quillmoor.DLL, run by tests/wine/bench.sh against a
// simulated board that runs its line at 9600 baud and, but for bench-move,
// ends moves at once. Not tests: each prints figures and returns the number
// of calls that failed.
//
//   bench       every member that has an exchange: the median time of its
//               Invoke against the time its bytes need on the wire; the
//               members without one; MaxStep gets per second
//   bench-auto  "Auto" connects, the board behind a silent COM1 and a COM2
//               with no port
//   bench-idle  the CPU the process uses while connected and idle, with the
//               temperature log's timer running on this thread
//   bench-move  long focuser moves on a board whose moves take their real
//               time: how late the call returns, and the CPU of the wait
//
// QUILLMOOR_BENCH_ROUNDS (default 21) and QUILLMOOR_BENCH_IDLE_SECONDS
// (default 60) set the sizes.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "automation.h"
#include "calls.h"
#include "scenarios.h"

namespace wine_client {
namespace {

constexpr double kWireMsPerByte = 10.0 * 1000.0 / 9600.0;  // 8N1: ten bits a byte

int EnvNumber(const char* name, int fallback)
{
    char text[32] = {};
    const DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    if (n == 0 || n >= sizeof text) return fallback;
    const int value = std::atoi(text);
    return value > 0 ? value : fallback;
}

double Median(std::vector<double> samples)
{
    if (samples.empty()) return 0;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

// One member, its DISPID looked up once, so that a timed call is the Invoke
// alone, as a client that caches DISPIDs makes it.
class Member {
public:
    Member(IDispatch* object, const wchar_t* name) : object_(object)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id_)))
            id_ = DISPID_UNKNOWN;
    }

    // The member's own result: EXCEPINFO.scode when Invoke reports an exception.
    HRESULT Get() { return Invoke(DISPATCH_PROPERTYGET, nullptr, false); }
    HRESULT Put(VARIANT value) { return Invoke(DISPATCH_PROPERTYPUT, &value, true); }
    HRESULT Call(VARIANT argument) { return Invoke(DISPATCH_METHOD, &argument, false); }

private:
    HRESULT Invoke(WORD flags, VARIANT* argument, bool named)
    {
        if (id_ == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params{argument, named ? &putId : nullptr, argument ? 1u : 0u, named ? 1u : 0u};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        UINT badArgument = 0;
        HRESULT hr = object_->Invoke(id_, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result,
                                     &exception, &badArgument);
        if (hr == DISP_E_EXCEPTION && exception.scode) hr = exception.scode;
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrHelpFile);
        VariantClear(&result);
        return hr;
    }

    IDispatch* object_;
    DISPID id_ = DISPID_UNKNOWN;
};

struct Row {
    const char* member;
    const char* exchange;
    int wireBytes;                   // command word, arguments and reply; 0 = no exchange
    std::function<HRESULT()> call;   // the timed Invoke
    std::function<void()> between;   // untimed, after each call
};

int failures = 0;

void PrintRow(const Row& row, int rounds)
{
    std::vector<double> samples;
    int failed = 0;
    for (int i = 0; i < rounds; ++i) {
        const double start = NowMs();
        const HRESULT hr = row.call();
        samples.push_back(NowMs() - start);
        if (hr != S_OK) ++failed;
        if (row.between) row.between();
    }
    failures += failed;
    const double median = Median(samples);
    if (row.wireBytes > 0) {
        const double wire = row.wireBytes * kWireMsPerByte;
        std::printf("| %s | %s | %.2f | %.2f | %.3f | %.2f |", row.member, row.exchange, median, wire,
                    median / wire, median - wire);
    } else {
        std::printf("| %s | %s | %.3f | - | - | - |", row.member, row.exchange, median);
    }
    if (failed) std::printf(" %d of %d calls failed", failed, rounds);
    std::printf("\n");
    std::fflush(stdout);
}

// MaxStep get sends nothing: what it costs is the late binding and the trace
// line every member writes. Each call is timed on its own, so that the
// typical call (median) shows apart from the rare one that waits for the CPU
// (99th percentile); the rate is calls over the total time.
struct CallCost {
    double callsPerSecond, medianUs, p99Us;
};

template <class Call>
CallCost MeasureCalls(Call&& call)
{
    constexpr int kCalls = 20000;
    for (int i = 0; i < 100; ++i) call();  // warm up
    std::vector<double> samples;
    samples.reserve(kCalls);
    const double start = NowMs();
    for (int i = 0; i < kCalls; ++i) {
        const double before = NowMs();
        if (call() != S_OK) ++failures;
        samples.push_back(NowMs() - before);
    }
    const double totalMs = NowMs() - start;
    std::sort(samples.begin(), samples.end());
    return {kCalls * 1000.0 / totalMs, samples[kCalls / 2] * 1000, samples[kCalls * 99 / 100] * 1000};
}

void PrintMaxStepRate(IDispatch* focuser)
{
    Member maxStep(focuser, L"MaxStep");
    const CallCost cached = MeasureCalls([&] { return maxStep.Get(); });
    // A script host looks the name up before every call.
    focuser->AddRef();  // byName releases it
    const Driver byName(focuser);
    const CallCost looked = MeasureCalls([&] { return byName.Get(L"MaxStep").Result(); });
    std::printf("\nLate-bound MaxStep get, DISPID cached: %.0f calls/s; a call %.1f us (median), %.1f us "
                "(99th percentile)\n",
                cached.callsPerSecond, cached.medianUs, cached.p99Us);
    std::printf("Late-bound MaxStep get, GetIDsOfNames before every call: %.0f calls/s; a call %.1f us "
                "(median), %.1f us (99th percentile)\n",
                looked.callsPerSecond, looked.medianUs, looked.p99Us);
    // The part of it that is the member's trace line reaching the debugger output.
    const CallCost trace = MeasureCalls([] {
        OutputDebugStringA("12.345 : CFocuserImpl::get_MaxStep(30000)\n");
        return S_OK;
    });
    std::printf("  of which the trace line: OutputDebugStringA alone %.0f calls/s; a call %.1f us (median), "
                "%.1f us (99th percentile)\n",
                trace.callsPerSecond, trace.medianUs, trace.p99Us);
    std::fflush(stdout);
}

double CpuSecondsOfProcess()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& t) {
        return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// The port number the client wrote to the driver's options.
int ConfiguredPort()
{
    HKEY key = nullptr;
    DWORD port = 0, size = sizeof port;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\ASCOM\\Focuser Drivers\\Quillmoor.Focuser", 0,
                      KEY_READ | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, L"ComPort", nullptr, nullptr, reinterpret_cast<BYTE*>(&port), &size);
        RegCloseKey(key);
    }
    return static_cast<int>(port);
}

// The configured port opened and set up with the Win32 calls alone, the
// way the driver sets it up; INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenRawPort()
{
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", ConfiguredPort());
    HANDLE port = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        std::printf("raw %s: cannot open\n", name);
        ++failures;
        return INVALID_HANDLE_VALUE;
    }
    SetupComm(port, 512, 512);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    SetCommState(port, &dcb);
    COMMTIMEOUTS timeouts{100, 100, 100, 100, 100};
    SetCommTimeouts(port, &timeouts);
    PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return port;
}

// "FWfocus" on the port opened with the Win32 calls alone, set up as the
// driver sets it up: what the serial path under this system costs without
// the driver, once bare and once with the purge and the flush the driver's
// exchanges add.
void PrintRawFloor(int rounds)
{
    HANDLE port = OpenRawPort();
    if (port == INVALID_HANDLE_VALUE) return;

    for (const bool driverSteps : {false, true}) {
        std::vector<double> samples;
        for (int i = 0; i < rounds; ++i) {
            const double start = NowMs();
            if (driverSteps) PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
            DWORD done = 0;
            WriteFile(port, "FWfocus", 7, &done, nullptr);
            if (driverSteps) FlushFileBuffers(port);
            BYTE reply[2];
            DWORD got = 0;
            ReadFile(port, reply, sizeof reply, &got, nullptr);
            samples.push_back(NowMs() - start);
            if (got != sizeof reply) ++failures;
        }
        const double median = Median(samples);
        const double wire = (7 + 2) * kWireMsPerByte;
        std::printf("| %s | FWfocus | %.2f | %.2f | %.3f | %.2f |\n",
                    driverSteps ? "raw Win32: PurgeComm, WriteFile, FlushFileBuffers, ReadFile (floor)"
                                : "raw Win32: WriteFile, ReadFile (floor)",
                    median, wire, median / wire, median - wire);
    }
    CloseHandle(port);
    std::fflush(stdout);
}

}  // namespace

int ExchangeBenchmark()
{
    const int rounds = EnvNumber("QUILLMOOR_BENCH_ROUNDS", 21);
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!focuser || !wheel || focuser.Put(L"Link", Bool(true)).Result() != S_OK ||
        wheel.Put(L"Connected", Bool(true)).Result() != S_OK) {
        std::printf("bench: no board\n");
        return 1;
    }

    Member position(focuser.get(), L"Position"), move(focuser.get(), L"Move"),
        temperature(focuser.get(), L"Temperature"), tempComp(focuser.get(), L"TempComp"),
        maxStep(focuser.get(), L"MaxStep"), link(focuser.get(), L"Link"),
        slot(wheel.get(), L"Position"), names(wheel.get(), L"Names"),
        offsets(wheel.get(), L"FocusOffsets"), connected(wheel.get(), L"Connected");
    LONG step = 0;
    SHORT filter = 0;
    // The link's connect: FWFILTER, FWfocus, FWreadEE of the 144-byte memory,
    // FWCOUNT, FWzm with its 64-byte table.
    constexpr int kConnectBytes = (8 + 1) + (7 + 2) + (8 + 2 + 144) + (7 + 1) + (4 + 1 + 64);

    const std::vector<Row> rows = {
        {"Focuser Position get", "FWfocus", 7 + 2, [&] { return position.Get(); }, {}},
        {"Focuser Move (1 step)", "FWgoFocus", 9 + 2 + 1, [&] { return move.Call(Long(step ^= 1)); }, {}},
        {"Focuser Temperature get", "FWtemperature", 13 + 1 + 2, [&] { return temperature.Get(); }, {}},
        {"Focuser TempComp get", "FWisAuto", 8 + 1, [&] { return tempComp.Get(); }, {}},
        {"Focuser TempComp put", "FWautoCompSet", 13 + 1 + 1, [&] { return tempComp.Put(Bool(false)); }, {}},
        {"FilterWheel Position get", "FWFILTER", 8 + 1, [&] { return slot.Get(); }, {}},
        {"FilterWheel Position put (next slot)", "FWGOTO", 6 + 1 + 1,
         [&] { return slot.Put(Short(filter = SHORT((filter + 1) % 5))); }, {}},
        {"FilterWheel Names get", "(none)", 0, [&] { return names.Get(); }, {}},
        {"FilterWheel FocusOffsets get", "(none)", 0, [&] { return offsets.Get(); }, {}},
        {"Focuser MaxStep get", "(none)", 0, [&] { return maxStep.Get(); }, {}},
    };
    std::printf("| member | exchange | median ms | wire ms | ratio | overhead ms |\n"
                "|---|---|---:|---:|---:|---:|\n");
    for (const Row& row : rows) PrintRow(row, rounds);

    // The whole connect, the port closed again between rounds.
    connected.Put(Bool(false));
    link.Put(Bool(false));
    PrintRow({"Focuser Link = true", "connect", kConnectBytes, [&] { return link.Put(Bool(true)); },
              [&] { link.Put(Bool(false)); }},
             rounds);

    PrintRawFloor(rounds);

    link.Put(Bool(true));
    PrintMaxStepRate(focuser.get());
    focuser.Put(L"Link", Bool(false));
    return failures;
}

int AutoConnectBenchmark()
{
    const int rounds = std::min(EnvNumber("QUILLMOOR_BENCH_ROUNDS", 21), 7);
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!wheel) return 1;
    Member connected(wheel.get(), L"Connected");
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const double start = NowMs();
        if (connected.Put(Bool(true)) != S_OK) ++failures;
        samples.push_back(NowMs() - start);
        connected.Put(Bool(false));
    }
    std::printf("\nAuto connect, board on COM3 behind a silent COM1 and an empty COM2: %.0f ms "
                "(median of %d; min %.0f, max %.0f)%s\n",
                Median(samples), rounds, *std::min_element(samples.begin(), samples.end()),
                *std::max_element(samples.begin(), samples.end()),
                failures ? " SOME NOT FOUND" : "");
    std::fflush(stdout);
    return failures;
}

int LongMoveBenchmark()
{
    constexpr int kMoves = 6;
    constexpr double kSpeed = 200, kBacklash = 10, kDistance = 400;  // the board's defaults
    auto moveMs = [&](int i) { return (kDistance + (i % 2 ? 2 * kBacklash : 0)) / kSpeed * 1000; };
    const double wireMs = (9 + 2 + 1) * kWireMsPerByte;
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    if (!focuser || focuser.Put(L"Link", Bool(true)).Result() != S_OK) {
        std::printf("bench: no board\n");
        return 1;
    }
    Member move(focuser.get(), L"Move");
    std::vector<double> late;
    double movingMs = 0;
    const double cpuBefore = CpuSecondsOfProcess();
    for (int i = 0; i < kMoves; ++i) {
        const double start = NowMs();
        if (move.Call(Long(i % 2 ? 0 : LONG(kDistance))) != S_OK) ++failures;
        const double took = NowMs() - start;
        movingMs += took;
        late.push_back(took - moveMs(i) - wireMs);
    }
    const double cpu = CpuSecondsOfProcess() - cpuBefore;
    std::printf("Long moves (400 steps, 2.0 and 2.1 s, %d of them): return %.2f ms after move + wire time "
                "(median); client %.3f s CPU (%.3f %% of the moving time)\n",
                kMoves, Median(late), cpu, 100.0 * cpu / (movingMs / 1000));
    focuser.Put(L"Link", Bool(false));

    // The same moves with the Win32 calls alone, waiting as the driver waits:
    // one-byte reads under the link's timeouts until the answer comes.
    HANDLE port = OpenRawPort();
    if (port == INVALID_HANDLE_VALUE) return failures;
    late.clear();
    for (int i = 0; i < kMoves; ++i) {
        const BYTE command[] = {'F', 'W', 'g', 'o', 'F', 'o', 'c', 'u', 's', BYTE(i % 2 ? 0 : 0x90),
                                BYTE(i % 2 ? 0 : 0x01)};
        const double start = NowMs();
        DWORD done = 0;
        WriteFile(port, command, sizeof command, &done, nullptr);
        BYTE reply = 0;
        DWORD got = 0;
        while (NowMs() - start < 5000 && !(ReadFile(port, &reply, 1, &got, nullptr) && got == 1)) {}
        if (got != 1) ++failures;
        late.push_back(NowMs() - start - moveMs(i) - wireMs);
    }
    CloseHandle(port);
    std::printf("  the same moves with the Win32 calls alone, no driver: %.2f ms after move + wire time\n",
                Median(late));
    std::fflush(stdout);
    return failures;
}

int IdleBenchmark()
{
    const int seconds = EnvNumber("QUILLMOOR_BENCH_IDLE_SECONDS", 60);
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    if (!focuser || focuser.Put(L"Link", Bool(true)).Result() != S_OK) {
        std::printf("bench: no board\n");
        return 1;
    }
    PumpMessagesFor(1000);  // settle before the measured window
    // The harness reads the server's and the board's CPU between these lines.
    std::printf("idle: start\n");
    std::fflush(stdout);
    const double cpuBefore = CpuSecondsOfProcess();
    const double start = NowMs();
    PumpMessagesFor(seconds * 1000.0);
    const double elapsedS = (NowMs() - start) / 1000;
    const double cpu = CpuSecondsOfProcess() - cpuBefore;
    std::printf("idle: end\n");
    std::printf("Idle connection with the temperature log, %.0f s: client %.3f s CPU (%.3f %%, "
                "GetProcessTimes)\n",
                elapsedS, cpu, 100.0 * cpu / elapsedS);
    std::fflush(stdout);
    PumpMessagesFor(1000);  // the harness reads /proc once more meanwhile
    focuser.Put(L"Link", Bool(false));
    return 0;
}

}  // namespace wine_client
