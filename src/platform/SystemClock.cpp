#include "platform/SystemClock.h"

#include <chrono>

namespace quorvela {

double SystemClock::now() const {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace quorvela
