#include "Output.h"

namespace quorvela::host {

void Output::line(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fputc('\n', stream_);
    std::fflush(stream_);
}

}  // namespace quorvela::host
