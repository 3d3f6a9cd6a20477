// volnar-station: an SNMP v1 agent on a loopback port that behaves like a
// Volnar station, for the client's demo and tests.

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "options.h"
#include "request_log.h"
#include "state_file.h"
#include "station_model.h"
#include "station_server.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
int g_wakeWrite = -1;

void OnSignal(int) {
    g_stop = 1;
    if (g_wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto written = write(g_wakeWrite, &byte, 1);
    }
}

// One line: a message may quote an argument, which may hold anything.
int Fail(std::string message) {
    for (char& c : message) {
        if (static_cast<unsigned char>(c) < 32 || c == 127) {
            c = '?';
        }
    }
    std::fprintf(stderr, "volnar-station: %s\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace volnar::sim;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const OptionsResult parsed = ParseOptions(args);
    if (!parsed.options) {
        // One line of error first, then the usage.
        const int status = Fail(parsed.error);
        std::fputs(kUsage, stderr);
        return status;
    }
    const Options& options = *parsed.options;
    if (options.help) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }

    // No MIB files, no configuration files, no persistent state of the
    // library: everything the simulator serves is numeric and its own.
    setenv("MIBS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);

    StationModel model;
    std::string error;
    if (options.stateFile && !LoadOrCreateState(*options.stateFile, model, &error)) {
        return Fail(error);
    }
    model.SetSeed(options.seed.value_or(static_cast<std::uint64_t>(WallNow() * 1e6)));
    model.SetStuckRelay(options.stuckRelay);
    model.SetStartTime(MonotonicNow());
    // Tables are filled up to the asked number of rows, so that restarting
    // with the same state file and options adds nothing.
    const auto missing = [](int wanted, std::size_t have) {
        return wanted > static_cast<int>(have) ? wanted - static_cast<int>(have) : 0;
    };
    if (const int rows = missing(options.scripts, model.scripts().size())) {
        model.AddGeneratedScripts(rows);
    }
    if (const int rows = missing(options.alerts, model.alerts().size())) {
        model.AddGeneratedAlerts(rows);
    }
    if (const int rows = missing(options.modems, model.modems().size())) {
        model.AddGeneratedModems(rows);
    }
    if (options.stateFile && model.changeCount() > 0 &&
        !SaveState(*options.stateFile, model, &error)) {
        return Fail(error);
    }

    RequestLog log;
    if (options.logFile && !log.Open(*options.logFile, &error)) {
        return Fail(error);
    }

    int wake[2];
    if (pipe(wake) != 0) {
        return Fail("cannot create the wake-up pipe");
    }
    fcntl(wake[0], F_SETFL, O_NONBLOCK);
    fcntl(wake[1], F_SETFL, O_NONBLOCK);
    g_wakeWrite = wake[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    int status = 0;
    {
        StationServer server(options, model, options.logFile ? &log : nullptr);
        if (!server.Open(&error)) {
            return Fail(error);
        }
        std::printf("listening on %s:%u\n", options.listenAddress.c_str(),
                    static_cast<unsigned>(server.port()));
        std::fflush(stdout);
        server.Run(g_stop, wake[0]);
    }
    if (options.stateFile && !SaveState(*options.stateFile, model, &error)) {
        status = Fail(error);
    }
    close(wake[0]);
    close(wake[1]);
    return status;
}
