#pragma once
// The demonstration at the café: the device joins and leaves the café's
// Wi-Fi network (a Wi-Fi beacon of the club), and the user replies to the
// club.

namespace quorvela::host {

struct DemoContext;

class DemoCafeChapter {
public:
    static void play(DemoContext& demo);
};

}  // namespace quorvela::host
