// The boards of the platform tests on POSIX: simulated boards started in this
// process and linked into a private port folder, with the settings store in
// the same scratch folder.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/port_folder.h"
#include "sim/board_sim.h"
#include "tests/platform/test_boards.h"

namespace quillmoor::test {
namespace {

namespace fs = std::filesystem;

constexpr int kPorts[] = {1, 2, 3, 4};  // in the order of enum Board

fs::path scratch;

class BoardEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "quillmoor-platform-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch = pattern;
        fs::create_directories(scratch / "ports");
        platform::SetSerialPortFolder((scratch / "ports").string());
        setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);

        StartBoard(Board::Healthy);
        StartBoard(Board::GapFocus).SetFault("FWfocus", sim::Fault::Gap);
        StartBoard(Board::Silent).SetSilent(true);
        // A link that points nowhere is a port that does not exist.
        fs::create_symlink(scratch / "nothing-here", LinkOf(Board::Missing));
    }

    void TearDown() override
    {
        boards_.clear();
        std::error_code ignored;
        fs::remove_all(scratch, ignored);
    }

private:
    static fs::path LinkOf(Board board)
    {
        return scratch / "ports" / ("com" + std::to_string(PortNumber(board)));
    }

    sim::BoardSim& StartBoard(Board board)
    {
        auto& sim = *boards_.emplace_back(std::make_unique<sim::BoardSim>());
        EXPECT_TRUE(sim.IsRunning()) << BoardName(board) << ": " << sim.Error();
        fs::create_symlink(sim.SlavePath(), LinkOf(board));
        return sim;
    }

    std::vector<std::unique_ptr<sim::BoardSim>> boards_;
};

}  // namespace

int PortNumber(Board board) { return kPorts[static_cast<int>(board)]; }

bool ReadBoardArguments(int argc, char** argv)
{
    if (argc <= 1) return true;
    std::fprintf(stderr, "%s: unknown argument %s (the boards are started here)\n", argv[0], argv[1]);
    return false;
}

::testing::Environment* MakeBoardEnvironment() { return new BoardEnvironment; }

void PumpMessagesFor(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

void RemoveTestKeys()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    ASSERT_NE(config, nullptr);
    const fs::path software = fs::path(config) / "quillmoor" / "Software";
    std::error_code ignored;
    fs::remove_all(software / "Quillmoor Tests", ignored);
    fs::remove(software / "Quillmoor Tests.values", ignored);
}

}  // namespace quillmoor::test
