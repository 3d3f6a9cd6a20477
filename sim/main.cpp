// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-station: an SNMP v1 agent on a loopback port that behaves like a
// Volnar station, for the client's demo and tests.

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
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

constexpr int kSaveFailedStatus = 3;

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

// Seeds one station's model and fills its tables up to the asked rows (a
// restart with the same state file and options adds nothing). Returns the
// exit status on failure, 0 otherwise.
int Prepare(const volnar::sim::Options& options, volnar::sim::StationModel& model,
            std::string* error) {
    using namespace volnar::sim;
    model.SetSeed(options.seed.value_or(static_cast<std::uint64_t>(WallNow() * 1e6)));
    model.SetStuckRelay(options.stuckRelay);
    model.SetStalledWalk(options.stalledWalk);
    model.SetStartTime(MonotonicNow());
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
        !SaveState(*options.stateFile, model, error)) {
        return Fail(*error);
    }
    return 0;
}

// No MIB files, no configuration files, no persistent state of the library:
// everything the simulator serves is numeric and its own.
void KeepNetSnmpToItself() {
    setenv("MIBS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
}

// One model per station; with several, each has its own name, seed and
// state file (OptionsForStation). Returns the exit status on failure, 0
// otherwise.
int LoadModels(const volnar::sim::Options& options,
               const std::vector<volnar::sim::Options>& stationOptions,
               std::vector<std::unique_ptr<volnar::sim::StationModel>>& models) {
    using namespace volnar::sim;
    std::string error;
    for (std::size_t i = 0; i < stationOptions.size(); ++i) {
        const Options& one = stationOptions[i];
        auto model = std::make_unique<StationModel>();
        if (one.stateFile && !LoadOrCreateState(*one.stateFile, *model, &error)) {
            return Fail(error);
        }
        if (options.stations > 1 && model->stationName() == "VOLN-SIM") {
            model->SetStationName("VOLN-SIM-" + std::to_string(i + 1));
        }
        if (const int failed = Prepare(one, *model, &error)) {
            return failed;
        }
        models.push_back(std::move(model));
    }
    return 0;
}

// SIGINT and SIGTERM end the run: they set g_stop and write to the pipe the
// servers wait on. False when the pipe cannot be made.
bool CatchSignals(int wake[2]) {
    if (pipe(wake) != 0) {
        return false;
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
    return true;
}

// Opens every station's port, says where it listens and serves until a
// signal. Returns the exit status on failure, 0 otherwise; `failedSaves`
// counts the state saves that failed meanwhile.
int Serve(std::vector<volnar::sim::Options>& stationOptions,
          const std::vector<std::unique_ptr<volnar::sim::StationModel>>& models,
          volnar::sim::RequestLog* log, int wakeFd, int* failedSaves) {
    using namespace volnar::sim;
    std::string error;
    std::vector<std::unique_ptr<StationServer>> servers;
    std::vector<StationServer*> running;
    for (std::size_t i = 0; i < stationOptions.size(); ++i) {
        Options& one = stationOptions[i];
        if (i > 0 && one.listenPort == 0) {
            one.listenPort = servers.front()->port();  // the same port for every station
        }
        servers.push_back(std::make_unique<StationServer>(one, *models[i], log));
        if (!servers.back()->Open(&error)) {
            return Fail(error);
        }
        running.push_back(servers.back().get());
        std::printf("listening on %s:%u\n", one.listenAddress.c_str(),
                    static_cast<unsigned>(servers.back()->port()));
    }
    std::fflush(stdout);
    StationServer::RunAll(running, g_stop, wakeFd);
    for (const StationServer* server : running) {
        *failedSaves += server->failedSaves();
    }
    return 0;
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
    if (options.version) {
        // The client's programs say the same (src/core/licence.h).
        std::printf("volnar-station %s\n%s", VOLNAR_VERSION_TEXT,
                    "License GPL-3.0-or-later: GNU GPL version 3 or later "
                    "<https://www.gnu.org/licenses/gpl.html>.\n"
                    "This is free software: you are free to change and redistribute it.\n"
                    "There is NO WARRANTY, to the extent permitted by law.\n");
        return 0;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }
    KeepNetSnmpToItself();

    std::vector<Options> stationOptions;
    for (int k = 1; k <= options.stations; ++k) {
        stationOptions.push_back(options.stations == 1 ? options : OptionsForStation(options, k));
    }
    std::vector<std::unique_ptr<StationModel>> models;
    if (const int failed = LoadModels(options, stationOptions, models)) {
        return failed;
    }
    RequestLog log;
    std::string error;
    if (options.logFile && !log.Open(*options.logFile, &error)) {
        return Fail(error);
    }
    int wake[2];
    if (!CatchSignals(wake)) {
        return Fail("cannot create the wake-up pipe");
    }
    int failedSaves = 0;
    if (const int failed = Serve(stationOptions, models, options.logFile ? &log : nullptr, wake[0],
                                 &failedSaves)) {
        return failed;
    }
    for (std::size_t i = 0; i < stationOptions.size(); ++i) {
        if (stationOptions[i].stateFile &&
            !SaveState(*stationOptions[i].stateFile, *models[i], &error)) {
            Fail(error);
            ++failedSaves;
        }
    }
    // A save that failed broke the promise that an acknowledged change
    // survives a restart, if only for a while: the run did not end cleanly.
    int status = 0;
    if (failedSaves > 0) {
        status = kSaveFailedStatus;
        Fail(std::to_string(failedSaves) + " state save(s) failed during the run");
    }
    close(wake[0]);
    close(wake[1]);
    return status;
}
