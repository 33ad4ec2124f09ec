#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/error.h"
#include "serialization/test_support.h"
#include "util/surface_term_structure.h"

namespace korvex {
namespace {

using testing::error_of;

matrix<double> values(std::size_t rows, std::size_t columns, const std::vector<double>& row_major)
{
    matrix<double> z(rows, columns);
    for (std::size_t i = 0; i < z.size(); ++i)
        z[i] = row_major[i];
    return z;
}

// x: 100, 200, 400; y: 10, 20. z(i, j) = i + 10 j, so the surface is bilinear (in fact
// linear along each axis piece) and every interpolated value is known in closed form.
surface_term_structure grid()
{
    return surface_term_structure({datetime(100.0), datetime(200.0), datetime(400.0)},
                                  {datetime(10.0), datetime(20.0)},
                                  values(3, 2, {0.0, 10.0, 1.0, 11.0, 2.0, 12.0}));
}

TEST(SurfaceTermStructure, ReturnsGridValuesExactly)
{
    const surface_term_structure s = grid();
    const std::vector<double> xs{100.0, 200.0, 400.0}, ys{10.0, 20.0};
    for (std::size_t i = 0; i < xs.size(); ++i)
        for (std::size_t j = 0; j < ys.size(); ++j)
            EXPECT_EQ(s.at(datetime(xs[i]), datetime(ys[j])), s.z()(i, j));
}

TEST(SurfaceTermStructure, InterpolatesBilinearlyInsideAndIsFlatOutside)
{
    const surface_term_structure s = grid();
    EXPECT_DOUBLE_EQ(s.at(datetime(150.0), datetime(15.0)), 0.5 + 5.0);
    EXPECT_DOUBLE_EQ(s.at(datetime(300.0), datetime(12.5)), 1.5 + 2.5);
    EXPECT_DOUBLE_EQ(s.at(datetime(250.0), datetime(20.0)), 1.25 + 10.0);
    // Flat beyond each end of each axis, and in the corners.
    EXPECT_EQ(s.at(datetime(50.0), datetime(15.0)), 5.0);
    EXPECT_EQ(s.at(datetime(1000.0), datetime(15.0)), 7.0);
    EXPECT_EQ(s.at(datetime(150.0), datetime(0.0)), 0.5);
    EXPECT_EQ(s.at(datetime(150.0), datetime(99.0)), 10.5);
    EXPECT_EQ(s.at(datetime(-std::numeric_limits<double>::infinity()), datetime(1e9)), 10.0);
    EXPECT_EQ(s.at(datetime(std::numeric_limits<double>::infinity()), datetime(0.0)), 2.0);
}

TEST(SurfaceTermStructure, ConstantSurfaceAndSinglePointAreExactEverywhere)
{
    const surface_term_structure constant({datetime(1.0), datetime(7.0)}, {datetime(3.0), datetime(9.0)},
                                          values(2, 2, {0.3, 0.3, 0.3, 0.3}));
    const surface_term_structure single({datetime(5.0)}, {datetime(5.0)}, values(1, 1, {0.1}));
    for (double d1 : {0.0, 1.0, 2.7, 6.99, 100.0})
        for (double d2 : {0.0, 3.0, 4.1, 8.5, 100.0}) {
            EXPECT_EQ(constant.at(datetime(d1), datetime(d2)), 0.3);
            EXPECT_EQ(single.at(datetime(d1), datetime(d2)), 0.1);
        }
}

TEST(SurfaceTermStructure, RefusesNaNDates)
{
    const Error error = error_of([] { (void)grid().at(datetime(), datetime(15.0)); });
    EXPECT_EQ(error.message(), "The surface cannot be read at the dates nan and 15");
    EXPECT_STREQ(error.location().function, "at");
    EXPECT_STREQ(error.location().file, "Foundation/util/surface_term_structure");
}

struct invalid_surface
{
    const char* name;
    std::vector<double> x, y;
    std::size_t rows, columns;
    std::vector<double> z;
    const char* message;
    const char* function;
    int line;
};

std::ostream& operator<<(std::ostream& out, const invalid_surface& c) { return out << c.name; }

class InvalidSurfaces : public ::testing::TestWithParam<invalid_surface>
{
};

TEST_P(InvalidSurfaces, AreRefusedWithAClearMessage)
{
    const invalid_surface c = GetParam();
    std::vector<datetime> x(c.x.begin(), c.x.end()), y(c.y.begin(), c.y.end());
    const Error error = error_of([&] { surface_term_structure(x, y, values(c.rows, c.columns, c.z)); });
    EXPECT_EQ(error.message(), c.message);
    EXPECT_EQ(error.location(), (SourceLocation{c.function, "Foundation/util/surface_term_structure", c.line}));
}

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Shapes, InvalidSurfaces,
    ::testing::Values(
        invalid_surface{"empty_x", {}, {1.0}, 0, 1, {}, "The surface axis x has no dates", "check_axis", 18},
        invalid_surface{"empty_y", {1.0}, {}, 1, 0, {}, "The surface axis y has no dates", "check_axis", 18},
        invalid_surface{"descending_x", {2.0, 1.0}, {1.0}, 2, 1, {0.0, 0.0},
                        "The surface axis x is not strictly ascending at position 1",
                        "check_axis", 27},
        invalid_surface{"repeated_y", {1.0}, {3.0, 3.0}, 1, 2, {0.0, 0.0},
                        "The surface axis y is not strictly ascending at position 1",
                        "check_axis", 27},
        invalid_surface{"nan_date", {1.0, nan}, {1.0}, 2, 1, {0.0, 0.0},
                        "The surface axis x holds the date nan at position 1, which is not finite",
                        "check_axis", 22},
        invalid_surface{"transposed", {1.0, 2.0}, {1.0}, 1, 2, {0.0, 0.0},
                        "The surface has 2 x dates and 1 y dates but a 1 x 2 matrix of values",
                        "initialize", 70},
        invalid_surface{"infinite_value", {1.0, 2.0}, {1.0, 2.0}, 2, 2, {0.0, 0.0, 0.0, inf},
                        "The surface value inf at row 1, column 1 is not finite", "initialize", 76}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace korvex
