#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "PDE/boundary/pde_boundary_config.h"
#include "PDE/grid/space_grid.h"
#include "PDE/pde_export.h"

namespace korvex {

// The range of active nodes of every space dimension for one boundary configuration.
//
// Each end of a dimension is a node index, the coordinate the node stands at, and whether
// the boundary was clipped to the end of the axis. An end that is not floating is the end
// of the axis. A floating end's value v (untransformed; mapped through the grid's
// transformation here) selects the first node with x[k] >= v, and that node stands at v
// instead of x[k]; a lower v below the axis, or an upper v above it, is clipped to the end
// node at its own coordinate. A lower v above the whole axis is clipped to the last node.
// A floating lower end may stand with a fixed upper end (the lower barrier alone). A
// floating upper end needs a floating lower end: the configuration's down_boundary()
// refuses a non-floating one ("boundary value exist onley for flaoting").
//
// Refused with Error: fewer configurations than grids, a null or empty grid, a NaN
// boundary value, a floating upper end with a fixed lower end.
class KORVEX_PDE_API pde_boundary_window
{
public:
    struct end
    {
        std::size_t index = 0;
        double value = 0.0;
        bool clipped = false;
    };

    struct dimension
    {
        end lower;
        end upper;
    };

    pde_boundary_window() = default;
    pde_boundary_window(const std::vector<std::shared_ptr<const space_grid>>& grids,
                        const std::vector<pde_boundary_config>& configs);

    // The window of one dimension.
    static dimension of(const space_grid& grid, const pde_boundary_config& config);

    const dimension& operator[](std::size_t d) const noexcept { return dimensions_[d]; }
    std::size_t size() const noexcept { return dimensions_.size(); }

private:
    std::vector<dimension> dimensions_;
};

}  // namespace korvex
