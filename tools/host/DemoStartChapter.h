#pragma once
// The demonstration's first chapter: configure the library, register the
// push token and the user, reach QuorvelaReady, synchronise the default
// workspace and join the club.

namespace quorvela::host {

struct DemoContext;

class DemoStartChapter {
public:
    static void play(DemoContext& demo);
};

}  // namespace quorvela::host
