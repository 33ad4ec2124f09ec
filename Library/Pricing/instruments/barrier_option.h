#pragma once

#include <limits>

#include "Pricing/instruments/vanilla_option.h"

namespace korvex::pricing {

enum class barrier_direction
{
    down,  // the level lies below the spot
    up,    // the level lies above the spot
};

enum class barrier_kind
{
    knock_out,  // the option dies when the spot touches the level
    knock_in,   // the option comes alive when the spot touches the level
};

enum class rebate_payment
{
    at_hit,     // when the spot touches the level (knock-out options only)
    at_expiry,  // at the option's expiry
};

// A single barrier, monitored continuously from the valuation date to expiry, on a vanilla
// option. A knock-out pays the option's payoff unless the spot has touched `level`, in
// which case it pays `rebate` (when the level is touched, or at expiry). A knock-in pays
// the option's payoff if the spot has touched the level, and `rebate` at expiry if it has
// not. A plain value; the pricers check it.
struct barrier_option
{
    vanilla_option option;
    barrier_direction direction = barrier_direction::down;
    barrier_kind kind = barrier_kind::knock_out;
    double level = std::numeric_limits<double>::quiet_NaN();
    double rebate = 0.0;
    rebate_payment payment = rebate_payment::at_expiry;
};

}  // namespace korvex::pricing
