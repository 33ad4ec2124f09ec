#pragma once

#include <cstddef>
#include <vector>

#include "PDE/scheme/pde_scheme.h"
#include "Pricing/heston/heston_problem.h"
#include "Pricing/heston/heston_settings.h"

namespace korvex::pricing::details {

// The grid a Heston problem is solved on: spot nodes from 0 with the strike on node
// `strike_node`, variance nodes from 0 with v0 on a node (when it could be placed; otherwise
// it is read off by interpolation), the time steps and the scheme, and whether a second run
// with half the steps extrapolates the first-order time error of American exercise away.
struct heston_grid
{
    std::vector<double> spot;
    std::vector<double> variance;
    std::size_t strike_node = 0;
    bool strike_smoothed = true;  // the payoff is smoothed about `strike_node`
    std::size_t barrier_node = 0;  // a barrier option's node on the barrier level
    std::size_t time_steps = 0;
    pde_scheme_type scheme = adi_modified_craig_sneyd;
    bool extrapolate = false;

    // The grid of the accuracy rule (see price_heston.h), with the settings' overrides.
    // Refused with Error: an accuracy that is not positive and finite or that needs more
    // than `max_points` (spot times variance points times steps, both runs), explicit sizes
    // past that or below 8 spot points and 5 variance points, and a scheme that is not one
    // of the four alternating-direction schemes.
    static heston_grid of(const heston_problem& problem, const heston_settings& settings);

    // The grid of a barrier option (see price_heston.h): the sizes of `of` (the vanilla
    // rule and the settings' overrides, refused alike), and a spot axis that ends on the
    // barrier: from the barrier to the vanilla's far end (down) or from 0 to the barrier (up),
    // extended for a knock-in beyond the barrier to 0 or the far end, where the vanilla of
    // its in-out parity is solved.
    static heston_grid with_barrier(const heston_problem& problem, const heston_settings& settings);

    // The part of a barrier grid on the live side of the barrier, the barrier its end node.
    heston_grid live_part(const heston_problem& problem) const;

    static constexpr double max_points = 3e8;
};

// The payoff at the spot nodes, smoothed at the strike (a node of the axis, unless the grid
// says otherwise) by the fourth-order kernel of Kreiss, Thomee and Widlund (1970): the five
// nodes around the strike change by h times the kernel's integral of the kink, h the mean
// spacing there.
std::vector<double> smoothed_heston_payoff(const heston_problem& problem, const heston_grid& grid);

}  // namespace korvex::pricing::details
