#include "HostOptions.h"

#include <cstdio>
#include <map>

#include <CLI/CLI.hpp>

namespace quorvela::host {

std::variant<HostOptions, HostOptions::Exit> HostOptions::parse(int argc, char** argv) {
    HostOptions options;
    std::string script;
    std::string bundle, dataDir, connectTo, caFile;
    std::string delegate = "all";

    CLI::App app{"quorvela-host: drives the Quorvela library from a script of commands", "quorvela-host"};
    app.add_option("SCRIPT", script, "a file of commands; absent or \"-\": standard input");
    app.add_option("--bundle", bundle, "the host's resource folder (default: current folder)");
    app.add_option("--data-dir", dataDir, "where the library keeps its stores (default: the user's data folder)");
    app.add_option("--connect-to", connectTo, "send every connection to ADDR:PORT, keeping host name and checks");
    app.add_option("--cacert", caFile, "an extra CA certificate (PEM) to trust")->check(CLI::ExistingFile);
    app.add_option("--delegate", delegate, "which QuorvelaProtocol operations the host implements")
        ->check(CLI::IsMember({"all", "workspace", "message", "none"}));
    app.add_option("--authorization", options.authorization,
                   "the authorization status granted when the library asks for always-authorization");
    app.add_flag("--demo", options.demo, "run the built-in demonstration against an embedded sandbox");
    app.add_flag("--linger", options.linger,
                 "with --demo: keep the sandbox open after the story and print its console URL (Ctrl-C stops)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int status = app.exit(error);
        return Exit{status == 0 ? 0 : 2};
    }
    if (options.linger && !options.demo) {
        std::fprintf(stderr, "--linger: only with --demo\n");
        return Exit{2};
    }
    if (!connectTo.empty() && connectTo.find(':') == std::string::npos) {
        std::fprintf(stderr, "--connect-to: expected ADDR:PORT, got %s\n", connectTo.c_str());
        return Exit{2};
    }

    auto nonEmpty = [](const std::string& s) { return s.empty() ? std::nullopt : std::optional<std::string>(s); };
    options.script = script.empty() || script == "-" ? std::nullopt : std::optional<std::string>(script);
    options.bundleDir = nonEmpty(bundle);
    options.dataDir = nonEmpty(dataDir);
    options.connectTo = nonEmpty(connectTo);
    options.caFile = nonEmpty(caFile);
    static const std::map<std::string, DelegateMode> modes{{"all", DelegateMode::All},
                                                           {"workspace", DelegateMode::Workspace},
                                                           {"message", DelegateMode::Message},
                                                           {"none", DelegateMode::None}};
    options.delegate = modes.at(delegate);
    return options;
}

}  // namespace quorvela::host
