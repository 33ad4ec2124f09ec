#include "PDE/scheme/pde_step_plan.h"

#include <string>

#include "core/check_fail.h"

namespace korvex {

namespace {
constexpr const char* source = "Library/PDE/scheme/pde_step_plan";

std::string dimension_suffix(std::size_t d, std::size_t dimensions)
{
    return dimensions > 1 ? details::concat(" in dimension ", d) : std::string();
}
}  // namespace

void pde_step_plan::find_windows(const pde_storage& storage,
                                 std::span<const std::shared_ptr<const space_grid>> grids,
                                 std::span<const std::size_t> stencils,
                                 const SourceLocation& narrow_window)
{
    dimensions_ = grids.size();
    windows_.clear();
    for (const auto& [configs, layers] : storage.groups()) {
        KORVEX_CHECK_MSG((SourceLocation{"find_windows", source, __LINE__}), configs.size() >= grids.size(),
                         "a boundary group has ", configs.size(), " configurations for ", grids.size(),
                         " dimensions");
        for (std::size_t d = 0; d < grids.size(); ++d) {
            const pde_boundary_window::dimension window = pde_boundary_window::of(*grids[d], configs[d]);
            // The boundary rows need 2 nodes with 3 bands, 4 with 5 bands.
            const std::size_t min_span = stencils[d] - 2;
            const bool wide_enough = window.lower.index <= window.upper.index &&
                                     window.upper.index - window.lower.index >= min_span;
            KORVEX_CHECK_MSG(narrow_window, wide_enough, "the boundary window from node ",
                             window.lower.index, " to node ", window.upper.index, " is too narrow for ",
                             stencils[d], " bands", dimension_suffix(d, grids.size()));
            windows_.push_back(window);
        }
    }
}

}  // namespace korvex
