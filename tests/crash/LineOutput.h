#pragma once
// How the crash children report: one write() per line, so that a line is on
// the pipe whole before the child's next step starts, or not at all.

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace quorvela::crash {

inline void emit(const std::string& line) {
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const auto n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) std::_Exit(3);
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace quorvela::crash
