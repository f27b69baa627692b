// quorvela-sandbox: serves the local stand-in for the engagement service until
// SIGINT or SIGTERM. Prints "ca <path>", "port <n>" and "admin-port <n>" once
// it is serving (after `--seed FILE` was applied), so scripts can read where
// to connect.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "sandbox/Sandbox.h"
#include "sandbox/SandboxSeed.h"
#include "sandbox/SandboxState.h"

int main(int argc, char** argv) {
    CLI::App app{"Local stand-in for the Quorvela engagement service (HTTPS on loopback)"};
    quorvela::sandbox::SandboxOptions options;
    std::string dataDir = "sandbox-data";
    app.add_option("--data-dir", dataDir, "Folder of the state and the certificates")->capture_default_str();
    app.add_option("--port", options.port, "HTTPS port (0: any free port)")->capture_default_str();
    app.add_option("--admin-port", options.adminPort, "Admin API port (0: any free port)")->capture_default_str();
    app.add_option("--host", options.host, "Address to listen on")->capture_default_str();
    std::string seedFile;
    app.add_option("--seed", seedFile,
                   "JSON file of applications, workspaces, users, subscriptions, messages, geofences and beacons "
                   "to seed before serving")
        ->check(CLI::ExistingFile);
    CLI11_PARSE(app, argc, argv);
    options.dataDir = dataDir;

    // Block the stop signals before any server thread exists, so only sigwait sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    quorvela::sandbox::Sandbox sandbox;
    try {
        sandbox.start(options);
        if (!seedFile.empty()) {
            std::ifstream file(seedFile, std::ios::binary);
            std::ostringstream text;
            text << file.rdbuf();
            if (!file) throw std::runtime_error("cannot read " + seedFile);
            quorvela::sandbox::SandboxSeed::apply(sandbox.state(), text.str());
        }
    } catch (const std::exception& error) {
        std::cerr << "quorvela-sandbox: " << (seedFile.empty() ? "" : "seed " + seedFile + ": ") << error.what()
                  << "\n";
        return 1;
    }
    std::cout << "ca " << sandbox.caFile().string() << "\n"
              << "port " << sandbox.port() << "\n"
              << "admin-port " << sandbox.adminPort() << std::endl;

    int received = 0;
    sigwait(&signals, &received);
    sandbox.stop();
    return 0;
}
