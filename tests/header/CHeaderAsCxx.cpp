// The C header on its own, as C++: its declarations must have C linkage, so
// a C++ host links them by their plain names.
#include "quorvela/quorvela_c.h"

#include <type_traits>

static_assert(std::is_same_v<decltype(&quorvela_free), void (*)(char*)>);
extern "C" quorvela_status_t quorvela_flush(quorvela_handle_t* handle, int64_t timeout_ms, char** error);
