// How long the board takes on the line: paced replies should cost about
// 1.04 ms per byte (9600 baud), unpaced ones next to nothing, and a scaled
// focuser move its distance over FocuserSpeed. Run by hand; not a test.
#include <benchmark/benchmark.h>

#include "pty_port.h"
#include "sim/board_sim.h"

namespace {

using quillmoor::sim::BoardOptions;
using quillmoor::sim::BoardSim;

void ReadWholeMemory(benchmark::State& state) {
    BoardOptions options;
    options.pace = state.range(0) != 0;
    BoardSim board(options);
    PtyPort port(board.SlavePath());
    for (auto _ : state) {
        const Bytes reply = port.Ask("FWreadEE", {0, 144}, 144);
        if (reply.size() != 144) state.SkipWithError("short reply");
    }
    state.SetBytesProcessed(state.iterations() * 144);
}
BENCHMARK(ReadWholeMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void FocuserMoveOf200Steps(benchmark::State& state) {
    BoardOptions options;
    options.time_scale = 0.1;  // 200 steps at 200 steps/s: 100 ms
    BoardSim board(options);
    PtyPort port(board.SlavePath());
    bool out = true;
    for (auto _ : state) {
        const Bytes target = out ? Bytes{200, 0} : Bytes{0, 0};
        if (port.Ask("FWgoFocus", target, 1) != Bytes{'!'}) state.SkipWithError("no '!'");
        out = !out;
    }
}
BENCHMARK(FocuserMoveOf200Steps)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
