// quorvela-host: a scriptable host application for the Quorvela library.
#include "HostApplication.h"
#include "HostOptions.h"

int main(int argc, char** argv) {
    using namespace quorvela::host;
    auto parsed = HostOptions::parse(argc, argv);
    if (auto* exit = std::get_if<HostOptions::Exit>(&parsed)) return exit->status;
    return HostApplication(std::get<HostOptions>(parsed)).run();
}
