#pragma once

#include <cstddef>
#include <vector>

#include "PDE/grid/space_grid_config.h"
#include "PDE/pde_export.h"

namespace korvex {

// The ascending points of one space dimension of a PDE problem, built once from a
// `space_grid_config`, a requested count n, the bounds [lower, upper], an offset added to
// every point at the end, and points that must be grid nodes.
//
// Constructions (see space_grid_config::space_grid_type):
//  - explicit_points: the given points as they are (the caller supplies them ascending);
//  - uniform: n evenly spaced points from lower to upper; the only construction for which
//    is_uniform() is true, and only without transform_end;
//  - uniform_with_points: evenly spaced pieces between consecutive given points, each given
//    point clamped into the bounds;
//  - concentrated: a refined zone around each given point (half-width 0.1 of the spacing),
//    a graded fill between zones, and relaxed tails toward the bounds; every given point is
//    a node, even one outside the bounds. A zone reaching past a bound does not push points
//    beyond it: that side's tail is the bound alone.
// Unknown construction types (3, or above 4) are refused with Error.
//
// Point counts are bounded: a requested n above `max_points`, whatever the construction,
// and any count the construction derives from lengths and spacings that passes it (an
// infinite one included, when a width too small for n points makes the spacing zero) are
// refused with Error before the axis is allocated.
//
// The arguments are not validated otherwise: a zero n, bounds in the wrong order or a
// transformation outside its domain give the corresponding IEEE values in the axis.
// Allocation failures (std::bad_alloc) propagate.
class KORVEX_PDE_API space_grid
{
public:
    using transformation_type = space_grid_config::transformation_type;

    static constexpr std::size_t max_points = 10'000'000;

    space_grid(const space_grid_config& config, std::size_t n, double lower, double upper,
               double offset, const std::vector<double>& points);

    transformation_type transformation() const noexcept { return transformation_; }
    const std::vector<double>& axis() const noexcept { return axis_; }
    bool is_uniform() const noexcept { return is_uniform_; }
    std::size_t size() const noexcept { return size_; }

    // T applied in place to one value, and to every element (blocks of 16 elements, then
    // the rest). The schemes map boundary values through the grid's transformation with it.
    static void transform(double& value, transformation_type transformation) noexcept;
    static void transform(std::vector<double>& values, transformation_type transformation) noexcept;

private:
    void build_uniform(std::size_t n, double lower, double upper);
    void build_uniform_with_points(const std::vector<double>& points, double lower, double upper,
                                   double dx);
    void build_concentrated(const space_grid_config& config, std::vector<double> points,
                            std::size_t n, double lower, double upper, double dx);

    transformation_type transformation_;
    std::vector<double> axis_;
    bool is_uniform_ = false;
    std::size_t size_ = 0;
};

}  // namespace korvex
