// quorvela-sandbox: serves the local stand-in for the engagement service until
// SIGINT or SIGTERM. Prints "ca <path>", "port <n>", "admin-port <n>",
// "token <token>" and "console <url>" once it is serving (after `--seed FILE`
// was applied), so scripts can read where to connect.
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
    app.add_option("--host", options.host, "Address of the HTTPS port")->capture_default_str();
    app.add_option("--admin-host", options.adminHost,
                   "Address of the admin port (it hands out every private key: keep it on loopback)")
        ->capture_default_str();
    app.add_option("--token", options.adminToken,
                   "Bearer token of the admin API, 16 to 256 letters, digits or -._~+/= (default: a random one)");
    std::string consoleFolder;
    app.add_option("--console-dir", consoleFolder,
                   "Serve the console page from this folder instead of the built-in copy (for work on the page)")
        ->check(CLI::ExistingDirectory);
    std::string seedFile;
    app.add_option("--seed", seedFile,
                   "JSON file of applications, workspaces, users, subscriptions, messages, geofences and beacons "
                   "to seed before serving")
        ->check(CLI::ExistingFile);
    CLI11_PARSE(app, argc, argv);
    options.dataDir = dataDir;
    if (!consoleFolder.empty()) options.consoleFolder = consoleFolder;

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
              << "admin-port " << sandbox.adminPort() << "\n"
              << "token " << sandbox.adminToken() << "\n"
              << "console " << sandbox.consoleUrl() << std::endl;

    int received = 0;
    sigwait(&signals, &received);
    sandbox.stop();
    return 0;
}
