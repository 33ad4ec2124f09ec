#pragma once

#include <cstdint>
#include <vector>

#include "PDE/pde_export.h"

namespace korvex {

// How the two ends of one space dimension are treated: for the upper end ("up") and the
// lower end ("down") a boundary condition, whether the end is floating (placed at a given
// coordinate, in untransformed coordinates, instead of at the end of the axis) and that
// coordinate. The default is no_diffusion at both ends, not floating, values 0.
class KORVEX_PDE_API pde_boundary_config
{
public:
    enum boundary_conditions_type : std::int32_t
    {
        fixed_value = 0,   // the boundary node keeps its value through a step
        no_diffusion = 1,  // no diffusion, one-sided convection at the boundary node
    };

    pde_boundary_config() noexcept = default;
    pde_boundary_config(boundary_conditions_type up_type, bool up_floating, double up_value,
                        boundary_conditions_type down_type, bool down_floating,
                        double down_value) noexcept
        : up_type_(up_type),
          up_floating_(up_floating),
          up_value_(up_value),
          down_type_(down_type),
          down_floating_(down_floating),
          down_value_(down_value)
    {
    }

    // The coordinate of a floating end; Error "boundary value exist onley for flaoting"
    // when that end is not floating.
    double up_boundary() const;
    double down_boundary() const;

    boundary_conditions_type up_type() const noexcept { return up_type_; }
    bool is_up_floating() const noexcept { return up_floating_; }
    boundary_conditions_type down_type() const noexcept { return down_type_; }
    bool is_down_floating() const noexcept { return down_floating_; }

    // Dominance, not a lexicographic order: true exactly when this configuration is before
    // `other` at both ends, each end comparing (type or floating flag) and then the value:
    //   (up_type < o.up_type or up_floating < o.up_floating) and up_value < o.up_value and
    //   (down_type < o.down_type or down_floating < o.down_floating) and down_value < o.down_value.
    // Configurations where neither dominates compare as equivalent, so this is not a strict
    // weak ordering over all configurations; ordered containers of arbitrary configurations
    // use `pde_boundary_config_order` instead.
    bool operator<(const pde_boundary_config& other) const noexcept;

private:
    friend struct pde_boundary_config_order;

    boundary_conditions_type up_type_ = no_diffusion;
    bool up_floating_ = false;
    double up_value_ = 0.0;
    boundary_conditions_type down_type_ = no_diffusion;
    bool down_floating_ = false;
    double down_value_ = 0.0;
};

// A strict total order over configurations and over vectors of them: field by field in
// declaration order (values in IEEE total order, so NaN values are ordered too), vectors
// lexicographically. The result storage keys its groups with it.
struct KORVEX_PDE_API pde_boundary_config_order
{
    bool operator()(const pde_boundary_config& a, const pde_boundary_config& b) const noexcept;
    bool operator()(const std::vector<pde_boundary_config>& a,
                    const std::vector<pde_boundary_config>& b) const noexcept;
};

}  // namespace korvex
