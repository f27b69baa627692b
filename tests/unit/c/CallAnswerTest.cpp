#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "c/CallAnswer.h"

namespace quorvela::c {
namespace {

std::string takeText(char* text) {
    std::string copy = text ? text : "(null)";
    quorvela_free(text);
    return copy;
}

// Whatever a body throws becomes a status and a text; nothing reaches C.
TEST(CallAnswer, EveryKindOfThrowBecomesAStatusWithItsText) {
    char* error = nullptr;
    EXPECT_EQ(answer(&error, [] {}), QUORVELA_OK);
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(answer(&error, [] { throw std::runtime_error("boom"); }), QUORVELA_ERR_INTERNAL);
    EXPECT_EQ(takeText(error), "internal error: boom");
    EXPECT_EQ(answer(&error, [] { throw 42; }), QUORVELA_ERR_INTERNAL);
    EXPECT_EQ(takeText(error), "internal error");
    EXPECT_EQ(answer(nullptr, [] { throw 42; }), QUORVELA_ERR_INTERNAL);
}

}  // namespace
}  // namespace quorvela::c
