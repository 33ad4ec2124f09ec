#pragma once

#include <cstdint>

#include "PDE/pde_export.h"

namespace korvex {

// How a space grid is built and in which coordinate.
//
// The construction (`type`) and the coordinate map T (`transformation`) are read by
// `space_grid`; `transform_start` maps the bounds and the given points through T before the
// build, `transform_end` maps every finished point. `tolerance`, `scaling` and
// `bracket_fraction` are carried for callers and not read by the grid. Every configuration
// refines a zone of half-width 0.1 base spacings around each given point (`center_dx`) and
// uses the proportion 0.7 to widen the spacing of a concentrated grid (`internal_proportion`).
class KORVEX_PDE_API space_grid_config
{
public:
    enum space_grid_type : std::int32_t
    {
        explicit_points = 0,      // exactly the given points, in the order given
        uniform = 1,              // n evenly spaced points over [lower, upper]
        uniform_with_points = 2,  // evenly spaced pieces between consecutive given points
        concentrated = 4,         // refined around the given points, graded in between
    };

    // T(x). Every value other than log, sqrt and exp acts as the identity.
    enum transformation_type : std::int32_t
    {
        identity = 0,
        log = 1,
        sqrt = 2,  // a negative argument gives NaN
        exp = 3,
    };

    // Note the argument order tolerance, scaling, bracket_fraction.
    space_grid_config(space_grid_type type, bool transform_start, bool transform_end,
                      transformation_type transformation, double tolerance, double scaling,
                      double bracket_fraction) noexcept
        : type_(type),
          transform_start_(transform_start),
          transform_end_(transform_end),
          transformation_(transformation),
          scaling_(scaling),
          bracket_fraction_(bracket_fraction),
          tolerance_(tolerance)
    {
    }

    space_grid_type type() const noexcept { return type_; }
    bool transform_start() const noexcept { return transform_start_; }
    bool transform_end() const noexcept { return transform_end_; }
    transformation_type transformation() const noexcept { return transformation_; }
    double scaling() const noexcept { return scaling_; }
    double bracket_fraction() const noexcept { return bracket_fraction_; }
    double tolerance() const noexcept { return tolerance_; }
    double center_dx() const noexcept { return center_dx_; }
    double internal_proportion() const noexcept { return internal_proportion_; }

private:
    space_grid_type type_;
    bool transform_start_;
    bool transform_end_;
    transformation_type transformation_;
    double scaling_;
    double bracket_fraction_;
    double tolerance_;
    double center_dx_ = 0.1;
    double internal_proportion_ = 0.7;
};

}  // namespace korvex
