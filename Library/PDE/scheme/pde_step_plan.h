#pragma once

#include <cstddef>
#include <memory>
#include <set>
#include <span>
#include <vector>

#include "PDE/grid/space_grid.h"
#include "PDE/pde_export.h"
#include "PDE/scheme/pde_boundary_window.h"
#include "PDE/storage/pde_storage.h"
#include "core/source_location.h"

namespace korvex {

// What one scheme step does group by group, settled before any value changes; shared by
// the one-dimensional and the alternating-direction schemes.
//
// Windows: for every boundary group of the storage, in the storage's group order, the
// boundary window (pde_boundary_window) of every space dimension d from entry d of the
// group's configuration vector; entries beyond the scheme's dimensions are not read. Each
// window must leave room for the boundary rows of its stencil: at least 2 nodes with 3
// bands, 4 with 5 bands.
//
// Rows: a storage with a single group steps every result row with it; with several groups
// each group steps its own layers, layer i being result row i (see pde_storage).
//
// The windows are kept from step to step, so a step allocates nothing once the number of
// groups stops growing.
class KORVEX_PDE_API pde_step_plan
{
public:
    // Computes the windows of every group. Refused with Error: a configuration vector with
    // fewer entries than `grids` (at this function's line), a window too narrow for its
    // stencil (at `narrow_window`), and the window's own failures (pde_boundary_window).
    void find_windows(const pde_storage& storage,
                      std::span<const std::shared_ptr<const space_grid>> grids,
                      std::span<const std::size_t> stencils, const SourceLocation& narrow_window);

    // The windows of the group at position `group` of the storage's group order, one per
    // dimension.
    std::span<const pde_boundary_window::dimension> windows(std::size_t group) const noexcept
    {
        return {windows_.data() + group * dimensions_, dimensions_};
    }

    // Calls step(r) for every result row r that the group with these layers steps.
    template <class Step>
    static void for_each_row(const pde_storage& storage, const std::set<std::size_t>& layers,
                             Step&& step)
    {
        if (storage.groups().size() == 1) {
            for (std::size_t r = 0; r < storage.number_of_results(); ++r)
                step(r);
        } else {
            for (const std::size_t layer : layers)
                step(layer);
        }
    }

private:
    std::size_t dimensions_ = 0;
    std::vector<pde_boundary_window::dimension> windows_;
};

}  // namespace korvex
