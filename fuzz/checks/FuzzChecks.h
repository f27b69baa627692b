#pragma once
// One check per fuzz target: the target feeds it random bytes, and the
// regression test replays every kept input through the very same function.
#include <map>
#include <string>
#include <string_view>

namespace quorvela::fuzz {

using Check = void (*)(std::string_view bytes);

/// Target name (the folder names under fuzz/corpus and fuzz/regressions) ->
/// its check.
const std::map<std::string, Check>& checks();

/// A broken promise: names it on stderr and aborts, so that the fuzzer keeps
/// the input and a replaying test fails.
[[noreturn]] void broken(const char* what);
inline void expect(bool holds, const char* what) {
    if (!holds) broken(what);
}

void archiveReader(std::string_view bytes);
void geofenceList(std::string_view bytes);
void pendingMessages(std::string_view bytes);
void plistReader(std::string_view bytes);
void pushPayload(std::string_view bytes);
void replayRoute(std::string_view bytes);
void singleMessage(std::string_view bytes);
void xmlReader(std::string_view bytes);

}  // namespace quorvela::fuzz
