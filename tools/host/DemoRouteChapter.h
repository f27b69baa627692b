#pragma once
// The demonstration's walk: position fixes along the street, in and out of
// the bakery and the park, past the bakery's Bluetooth beacon. The library
// re-ranks its regions as the device moves and reports every crossing.

namespace quorvela::host {

struct DemoContext;

class DemoRouteChapter {
public:
    static void play(DemoContext& demo);
};

}  // namespace quorvela::host
