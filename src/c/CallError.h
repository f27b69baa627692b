#pragma once
// A failure a C entry point answers with its code and text.

#include <stdexcept>
#include <string>

#include "quorvela/quorvela_c.h"

namespace quorvela::c {

struct CallError : std::runtime_error {
    CallError(quorvela_status_t status, const std::string& text) : std::runtime_error(text), status(status) {}
    quorvela_status_t status;
};

}  // namespace quorvela::c
