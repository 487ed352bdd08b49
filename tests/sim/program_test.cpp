// The quillmoor-sim program as a harness sees it: the port path on the first
// line, control lines on standard input, the record in a file.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "pty_port.h"
#include "sim_program_path.h"

extern char** environ;

namespace {

class SimProgram {
public:
    explicit SimProgram(std::vector<std::string> arguments) {
        int to_child[2], from_child[2];
        if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
        posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);
        posix_spawn_file_actions_addclose(&actions, to_child[1]);
        posix_spawn_file_actions_addclose(&actions, from_child[0]);
        arguments.insert(arguments.begin(), kSimProgram);
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, kSimProgram, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(to_child[0]);
        close(from_child[1]);
        input_ = fdopen(to_child[1], "w");
        output_ = fdopen(from_child[0], "r");
    }

    ~SimProgram() {
        if (input_) fclose(input_);  // EOF alone does not stop the board
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (output_) fclose(output_);
    }

    std::string ReadLine() {
        char line[256] = {};
        if (!output_ || !fgets(line, sizeof line, output_)) return {};
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }

    std::string Control(const std::string& line) {
        fprintf(input_, "%s\n", line.c_str());
        fflush(input_);
        return ReadLine();
    }

    // Asks the program to stop and returns its exit status.
    int Quit() {
        fprintf(input_, "quit\n");
        fflush(input_);
        int status = -1;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    FILE* input_ = nullptr;
    FILE* output_ = nullptr;
};

// The record without its time stamps: "<<" / ">>" and the bytes.
std::string Traffic(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string traffic;
    for (std::string line; std::getline(in, line);) traffic += line.substr(line.find_first_of("<>")) + "\n";
    return traffic;
}

TEST(SimProgramTest, PlaysTheBoardAndRecordsTheLine) {
    const auto scratch = std::filesystem::temp_directory_path() /
                         ("quillmoor-sim-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(scratch);
    const auto record = scratch / "record.txt";
    const auto link = scratch / "com3";

    SimProgram program({"--time-scale", "0", "--fault", "FWCOUNT=silent:1", "--record",
                        record.string(), "--link", link.string()});
    const std::string slave = program.ReadLine();
    ASSERT_FALSE(slave.empty());
    EXPECT_EQ(std::filesystem::read_symlink(link), slave);

    PtyPort port(link.string());
    ASSERT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Ask("FWFILTER", {}, 1), Bytes{'0'});
    EXPECT_EQ(program.Control("fault FWFILTER short 1"), "ok");
    EXPECT_EQ(program.Control("fault FWfocus stall"), "error: that fault does not fit that word");
    EXPECT_EQ(program.Control("temp 0 -10.5"), "ok");
    EXPECT_EQ(port.Ask("FWtemperature", {'0'}, 2), (Bytes{0xE6, 0xFB}));  // -1050
    EXPECT_EQ(program.Control("record"), "ok");
    EXPECT_EQ(Traffic(record),
              ">> 46 57 46 49 4C 54 45 52\n"     // FWFILTER
              "<< 30\n"                          // '0'
              ">> 46 57 74 65 6D 70 65 72 61 74 75 72 65 30\n"  // FWtemperature '0'
              "<< E6 FB\n");

    EXPECT_EQ(program.Quit(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::filesystem::remove_all(scratch);
}

}  // namespace
