// quillmoor-alpaca: the board's focuser and filter wheel as ASCOM Alpaca
// devices on the network.
//
//   quillmoor-alpaca [--serial PATH|COMn|Auto] [--http-port N] [--discovery-port N] [--bind ADDRESS]
//   quillmoor-alpaca.exe --service [options]   (Windows: started by the service control manager)
#include <utility>  // before Asio, which uses std::exchange

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/host_name.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "alpaca/discovery.h"
#include "alpaca/http_server.h"
#include "alpaca/router.h"
#include "alpaca/setup_api.h"
#include "alpaca/setup_pages.h"
#include "alpaca/temperature_api.h"
#include "device/temperature_log.h"
#include "platform/service_host.h"
#include "platform/stop_request.h"

namespace asio = boost::asio;
using namespace quillmoor::alpaca;

namespace {

constexpr int kIoThreads = 4;  // a setup write may hold one for an exchange
constexpr const char* kServiceName = "QuillmoorAlpaca";

struct Options {
    std::string serial;
    int httpPort = 11111;
    int discoveryPort = 32227;  // 0: no discovery
    std::string bind;           // empty: every address
    int pollMs = 250;
    int requestTimeoutMs = 15000;
    int connections = 64;
    bool service = false;  // Windows only: run as the service the control manager started
};

void Usage(FILE* to)
{
    std::fprintf(to,
                 "usage: quillmoor-alpaca [--serial PATH|COMn|Auto] [--http-port N] [--discovery-port N]\n"
                 "                        [--bind ADDRESS] [--poll-ms MS] [--request-timeout-ms MS]\n"
                 "                        [--max-connections N]\n"
                 "Without --serial the port saved in the settings is used, or Auto.\n"
                 "It listens on every address unless --bind names one; --discovery-port 0 turns discovery off.\n");
#ifdef _WIN32
    std::fprintf(to, "--service: run as the Windows service %s (sc create %s binPath= \"...\\quillmoor-alpaca.exe --service\")\n",
                 kServiceName, kServiceName);
#endif
}

bool Number(const char* text, int low, int high, int& out)
{
    const std::optional<int32_t> value = ParseInt32(text);
    if (!value || *value < low || *value > high) return false;
    out = *value;
    return true;
}

bool ParseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help") {
            Usage(stdout);
            std::exit(0);
        }
#ifdef _WIN32
        if (option == "--service") {
            options.service = true;
            continue;
        }
#endif
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        bool ok = true;
        if (option == "--serial") options.serial = value;
        else if (option == "--bind") options.bind = value;
        else if (option == "--http-port") ok = Number(value, 0, 65535, options.httpPort);
        else if (option == "--discovery-port") ok = Number(value, 0, 65535, options.discoveryPort);
        else if (option == "--poll-ms") ok = Number(value, 10, 60000, options.pollMs);
        else if (option == "--request-timeout-ms") ok = Number(value, 100, 600000, options.requestTimeoutMs);
        else if (option == "--max-connections") ok = Number(value, 1, 10000, options.connections);
        else return false;
        if (!ok) return false;
    }
    return true;
}

std::string HostName()
{
    boost::system::error_code error;
    std::string name = asio::ip::host_name(error);
    return error ? "" : name;
}

// The timer whose cancel stops the serving threads while Serve runs. A stop
// request that came before is passed on at once; one after reaches nothing.
class StopTarget {
public:
    explicit StopTarget(asio::steady_timer& timer)
    {
        std::lock_guard lock(mutex_);
        timer_ = &timer;
        if (requested_) Post();
    }
    ~StopTarget()
    {
        std::lock_guard lock(mutex_);
        timer_ = nullptr;
    }
    StopTarget(const StopTarget&) = delete;
    StopTarget& operator=(const StopTarget&) = delete;

    // A handler posted to the timer's context runs only inside its run(),
    // while the timer lives.
    static void Stop()
    {
        std::lock_guard lock(mutex_);
        requested_ = true;
        if (timer_ != nullptr) Post();
    }

private:
    static void Post() { asio::post(timer_->get_executor(), [timer = timer_] { timer->cancel(); }); }

    static inline std::mutex mutex_;
    static inline bool requested_ = false;
    static inline asio::steady_timer* timer_ = nullptr;
};

int Serve(const Options& options)
{
    asio::io_context io(kIoThreads);
    asio::steady_timer stopRequested(io, asio::steady_timer::time_point::max());
    const StopTarget stopTarget(stopRequested);

    ServerSettings settings = LoadServerSettings();
    if (!options.serial.empty()) settings.serialPort = options.serial;  // for this run only
    const std::vector<std::string> logFolders = quillmoor::TemperatureLogFolders();
    ServedBoard board(settings, std::chrono::milliseconds(options.pollMs), logFolders);

    std::vector<AlpacaDevice> devices;
    devices.push_back(MakeFocuser(board));
    devices.push_back(MakeFilterWheel(board));
    ServerDescription description;
    description.location = HostName();
    Router router(std::move(devices), description, [&board, &logFolders](const HttpRequest& request) {
        if (auto answer = ServeSetupApi(board, request)) return answer;
        if (auto answer = ServeTemperatureApi(board, logFolders, request)) return answer;
        return ServeSetupPage(request);
    });

    HttpLimits limits;
    limits.requestTimeout = std::chrono::milliseconds(options.requestTimeoutMs);
    limits.connections = static_cast<size_t>(options.connections);
    HttpServer server(io, limits, [&router](const HttpRequest& request) { return router.Handle(request); });

    boost::system::error_code error;
    asio::ip::address address = asio::ip::make_address(options.bind.empty() ? "::" : options.bind, error);
    if (error) {
        std::fprintf(stderr, "quillmoor-alpaca: '%s' is not an address\n", options.bind.c_str());
        return 2;
    }
    bool listening = server.Listen({address, static_cast<uint16_t>(options.httpPort)}, error);
    if (!listening && options.bind.empty()) {  // a system without IPv6
        address = asio::ip::address_v4::any();
        listening = server.Listen({address, static_cast<uint16_t>(options.httpPort)}, error);
    }
    if (!listening) {
        std::fprintf(stderr, "quillmoor-alpaca: cannot listen on port %d: %s\n", options.httpPort,
                     error.message().c_str());
        return 1;
    }

    DiscoveryResponder discovery(io, server.Port());
    if (options.discoveryPort != 0) {
        std::string problems;
        if (!discovery.Listen(static_cast<uint16_t>(options.discoveryPort), problems) || !problems.empty())
            std::fprintf(stderr, "quillmoor-alpaca: discovery on port %d: %s\n", options.discoveryPort,
                         problems.c_str());
    }

    stopRequested.async_wait([&](const boost::system::error_code&) {
        server.Stop();
        discovery.Stop();
        io.stop();
    });
    std::printf("quillmoor-alpaca: serving on port %u, board on %s\n", server.Port(), settings.serialPort.c_str());
    std::fflush(stdout);

    std::vector<std::thread> threads;
    for (int i = 1; i < kIoThreads; ++i) threads.emplace_back([&io] { io.run(); });
    io.run();
    for (std::thread& thread : threads) thread.join();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        Usage(stderr);
        return 2;
    }
    // Before any thread starts.
    quillmoor::platform::CallOnStopRequest(StopTarget::Stop);
    quillmoor::platform::IgnoreBrokenPipes();
    if (!options.service) return Serve(options);
    // The control manager's stop reaches Serve as a stop request.
    if (!quillmoor::platform::RunAsService(kServiceName, [&options] { return Serve(options); })) {
        std::fprintf(stderr, "quillmoor-alpaca: --service is for the service control manager to start\n");
        return 2;
    }
    return 0;
}
