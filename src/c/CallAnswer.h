#pragma once
// Runs the body of a C entry point and turns what it throws into the status
// and error text the caller gets; nothing escapes to C.

#include <exception>
#include <new>
#include <string>

#include "c/ArgumentCheck.h"
#include "c/CallError.h"
#include "c/OwnedText.h"
#include "quorvela/quorvela_c.h"

namespace quorvela::c {

template <typename Body>
quorvela_status_t answer(char** error, Body&& body) noexcept {
    if (error) *error = nullptr;
    try {
        body();
        return QUORVELA_OK;
    } catch (const CallError& failure) {
        OwnedText::store(error, failure.what());
        return failure.status;
    } catch (const InvalidArgument& failure) {
        OwnedText::store(error, failure.what());
        return QUORVELA_ERR_INVALID_ARGUMENT;
    } catch (const std::exception& failure) {
        OwnedText::store(error, std::string("internal error: ") + failure.what());
        return QUORVELA_ERR_INTERNAL;
    } catch (...) {
        OwnedText::store(error, "internal error");
        return QUORVELA_ERR_INTERNAL;
    }
}

}  // namespace quorvela::c
