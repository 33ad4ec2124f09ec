#include "PDE/scheme/pde_boundary_window.h"

#include <algorithm>
#include <cmath>

#include "core/check_fail.h"

namespace korvex {

namespace {

constexpr const char* source = "Library/PDE/scheme/pde_boundary_window";

constexpr SourceLocation at_line(const char* function, int line)
{
    return {function, source, line};
}

double transformed_boundary(double value, space_grid::transformation_type transformation)
{
    space_grid::transform(value, transformation);
    if (std::isnan(value))
        details::check_fail(at_line("transformed_boundary", __LINE__),
                            "boundary value is NaN in the grid's coordinate");
    return value;
}

std::size_t first_not_below(const std::vector<double>& x, double v)
{
    return static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), v) - x.begin());
}

pde_boundary_window::end lower_end(const space_grid& grid, const pde_boundary_config& config)
{
    const std::vector<double>& x = grid.axis();
    const std::size_t last = x.size() - 1;
    if (!config.is_down_floating() && !config.is_up_floating())
        return {0, x[0], false};
    // A floating upper end needs a floating lower end: down_boundary() refuses otherwise.
    const double v = transformed_boundary(config.down_boundary(), grid.transformation());
    if (v < x[0])
        return {0, x[0], true};
    if (v > x[last])
        return {last, x[last], true};
    return {first_not_below(x, v), v, false};
}

pde_boundary_window::end upper_end(const space_grid& grid, const pde_boundary_config& config)
{
    const std::vector<double>& x = grid.axis();
    const std::size_t last = x.size() - 1;
    if (!config.is_up_floating())
        return {last, x[last], false};
    const double v = transformed_boundary(config.up_boundary(), grid.transformation());
    if (v > x[last])
        return {last, x[last], true};
    return {first_not_below(x, v), v, false};
}

}  // namespace

pde_boundary_window::pde_boundary_window(const std::vector<std::shared_ptr<const space_grid>>& grids,
                                         const std::vector<pde_boundary_config>& configs)
{
    KORVEX_CHECK_MSG(at_line("pde_boundary_window", __LINE__), configs.size() >= grids.size(),
                     configs.size(), " boundary configurations for ", grids.size(), " dimensions");
    dimensions_.reserve(grids.size());
    for (std::size_t d = 0; d < grids.size(); ++d) {
        KORVEX_CHECK_MSG(at_line("pde_boundary_window", __LINE__), grids[d] != nullptr, "dimension ", d,
                         " has no grid");
        dimensions_.push_back(of(*grids[d], configs[d]));
    }
}

pde_boundary_window::dimension pde_boundary_window::of(const space_grid& grid,
                                                       const pde_boundary_config& config)
{
    KORVEX_CHECK_MSG(at_line("of", __LINE__), grid.size() > 0, "the grid has no points");
    return {lower_end(grid, config), upper_end(grid, config)};
}

}  // namespace korvex
