#include "base/Result.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>

namespace entorra {
namespace {

struct Base {
    virtual ~Base() = default;
};
struct Derived : Base {};

Result<std::unique_ptr<Base>> Make(bool ok) {
    if (!ok) {
        return SystemFailure("open", ENOENT);
    }
    return std::make_unique<Derived>();  // converted, as a function returning a base would
}

TEST(Result, HoldsAValueOrWhyNot) {
    Result<std::unique_ptr<Base>> made = Make(true);
    ASSERT_TRUE(made);
    EXPECT_NE(*made, nullptr);
    std::unique_ptr<Base> taken = std::move(made).Value();
    EXPECT_NE(taken, nullptr);
    EXPECT_THROW((void)made.Error(), std::logic_error);

    const Result<std::unique_ptr<Base>> failed = Make(false);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.Error().code, ENOENT);
    EXPECT_EQ(failed.Error().message, "open: " + std::system_category().message(ENOENT));
    EXPECT_THROW((void)failed.Value(), std::logic_error);
}

TEST(Result, AStringValueIsNotTakenForAFailure) {
    const Result<std::string> text = std::string("open: no");
    ASSERT_TRUE(text.Ok());
    EXPECT_EQ(*text, "open: no");
    EXPECT_EQ(text->size(), 8u);
}

}  // namespace
}  // namespace entorra
