#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "core/check_fail.h"
#include "core/demangle.h"
#include "core/error.h"

namespace korvex {
namespace {

constexpr SourceLocation here{"validate", "Library/Market/common/currency", 50};

TEST(Error, CarriesLocationAndMessage)
{
    const Error e(here, "invalide currency!");
    EXPECT_EQ(e.message(), "invalide currency!");
    EXPECT_EQ(e.location(), here);
    EXPECT_STREQ(e.location().function, "validate");
    EXPECT_STREQ(e.location().file, "Library/Market/common/currency");
    EXPECT_EQ(e.location().line, 50);
    EXPECT_EQ(std::string(e.what()),
              "invalide currency! [validate at Library/Market/common/currency:50]");
}

TEST(Error, IsAStandardException)
{
    try {
        throw Error(here, "x");
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("x"), std::string::npos);
        return;
    }
    FAIL() << "not caught as std::exception";
}

TEST(Error, NotImplementedErrorSaysSo)
{
    const NotImplementedError e(here);
    EXPECT_EQ(e.message(), "not implemented");
    EXPECT_EQ(e.location(), here);
    const Error& base = e;
    EXPECT_EQ(base.message(), "not implemented");
}

TEST(Error, LocationsCompareByText)
{
    const std::string file = "Library/Market/common/currency";
    const SourceLocation copy{"validate", file.c_str(), 50};
    EXPECT_EQ(copy, here);
    EXPECT_FALSE((SourceLocation{"validate", file.c_str(), 51} == here));
    EXPECT_FALSE((SourceLocation{"initialize", file.c_str(), 50} == here));
}

template <class Throwing>
Error caught(Throwing&& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "no Error thrown";
    return Error({}, "");
}

TEST(CheckFail, BothMessageFormsThrowWithTheirLocation)
{
    const Error text = caught([] { details::check_fail("f", "a/b", 7, "fixed text"); });
    EXPECT_EQ(text.message(), "fixed text");
    EXPECT_EQ(text.location(), (SourceLocation{"f", "a/b", 7}));

    const Error str = caught([] { details::check_fail("g", "c/d", 9, std::string("a string")); });
    EXPECT_EQ(str.message(), "a string");
    EXPECT_EQ(str.location(), (SourceLocation{"g", "c/d", 9}));
}

TEST(CheckFail, ConditionMacrosFormTheExpectationText)
{
    const double alpha_ = -1.0;
    const Error plain = caught([&] { KORVEX_CHECK(here, alpha_ > 0.0); });
    EXPECT_EQ(plain.message(), "Expected alpha_ > 0.0 to be true, but got false.");
    EXPECT_EQ(plain.location(), here);

    const std::vector<int> rhs(5);
    const std::vector<int> expr(6);
    const Error detailed = caught([&] {
        KORVEX_CHECK_MSG(here, expr.size() == rhs.size(), "expression has diferrent size ",
                         expr.size(), " than destination ", rhs.size());
    });
    EXPECT_EQ(detailed.message(),
              "Expected expr.size() == rhs.size() to be true, but got false.  expression has "
              "diferrent size 6 than destination 5");
}

TEST(CheckFail, PassingConditionsDoNothing)
{
    EXPECT_NO_THROW(KORVEX_CHECK(here, 1 + 1 == 2));
    EXPECT_NO_THROW(KORVEX_CHECK_MSG(here, true, "never built"));
}

struct some_type
{
    virtual ~some_type() = default;
};
struct derived_type : some_type
{
};

TEST(Demangle, GivesReadableNames)
{
    EXPECT_EQ(demangle(typeid(int).name()), "int");
    EXPECT_EQ(demangle(typeid(Error).name()), "korvex::Error");
    const std::unique_ptr<some_type> p = std::make_unique<derived_type>();
    EXPECT_EQ(demangle(typeid(*p).name()), "korvex::(anonymous namespace)::derived_type");
    EXPECT_EQ(demangle(typeid(std::vector<double>).name()),
              "std::vector<double, std::allocator<double> >");
}

TEST(Demangle, LeavesUnknownNamesAlone)
{
    EXPECT_EQ(demangle("not a mangled name"), "not a mangled name");
    EXPECT_EQ(demangle(nullptr), "");
}

}  // namespace
}  // namespace korvex
