#include <cstdio>

#include "tools/quillmoor/cli.h"

int main(int argc, char** argv)
{
    using namespace quillmoor::cli;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // keep results and a copied trace in order
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(Usage().c_str(), stdout);
        return kSuccess;
    }
    Request request;
    if (std::string error = ParseArguments(args, request); !error.empty()) {
        std::fprintf(stderr, "quillmoor: %s (try --help)\n", error.c_str());
        return kUsageError;
    }
    return Run(request);
}
