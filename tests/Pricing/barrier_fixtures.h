#pragma once

#include "Pricing/instruments/barrier_option.h"
#include "Pricing/pricing_fixtures.h"
#include "black_scholes_closed_forms.h"

namespace korvex::pricing::testing {

using closed_forms::barrier_type;

inline bool is_down(barrier_type t)
{
    return t == barrier_type::down_and_in || t == barrier_type::down_and_out;
}

inline bool is_in(barrier_type t)
{
    return t == barrier_type::down_and_in || t == barrier_type::up_and_in;
}

inline barrier_option barrier_of(barrier_type t, bool call, double strike, double level, double rebate, double days,
                                 rebate_payment payment)
{
    return barrier_option{option(call, strike, days), is_down(t) ? barrier_direction::down : barrier_direction::up,
                          is_in(t) ? barrier_kind::knock_in : barrier_kind::knock_out, level, rebate, payment};
}

}  // namespace korvex::pricing::testing
