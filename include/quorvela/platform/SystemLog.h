#pragma once
#include <functional>
#include <string>

#include "quorvela/Export.h"

namespace quorvela {

/// How much a log line matters, least first.
enum class LogLevel { Debug, Info, Warning, Error };

/// "debug", "info", "warning", "error".
QUORVELA_EXPORT const char* logLevelName(LogLevel level);

/// The platform log: one whole line per call, safe from any thread. The
/// library writes each line with its level (`writeAt`); a log that only
/// implements `write` receives every line without it.
class QUORVELA_EXPORT SystemLog {
public:
    using Sink = std::function<void(const std::string&)>;
    /// Where a host routes the lines, each with its level.
    using LevelSink = std::function<void(LogLevel, const std::string&)>;

    virtual ~SystemLog() = default;
    virtual void write(const std::string& line) = 0;
    /// Default: `write(line)`, the level dropped.
    virtual void writeAt(LogLevel level, const std::string& line) {
        (void)level;
        write(line);
    }
};

}  // namespace quorvela
