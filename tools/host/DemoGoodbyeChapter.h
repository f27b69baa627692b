#pragma once
// The demonstration's end: the user unregisters.

namespace quorvela::host {

struct DemoContext;

class DemoGoodbyeChapter {
public:
    static void play(DemoContext& demo);
};

}  // namespace quorvela::host
