#include "PDE/scheme/pde_scheme.h"

#include "PDE/scheme/pde_scheme_alternating_direction_implicit.h"
#include "PDE/scheme/pde_scheme_one_dimension.h"
#include "core/check_fail.h"
#include "core/error.h"

namespace korvex {

namespace {
constexpr const char* source = "Library/PDE/scheme/pde_scheme";
constexpr SourceLocation type_location{"create_scheme", source, 40};

constexpr SourceLocation at_line(const char* function, int line)
{
    return {function, source, line};
}
}  // namespace

pde_scheme::pde_scheme(const std::shared_ptr<const time_grid>& grid,
                       const std::vector<std::shared_ptr<const pde_model_coefficients>>& coefficients,
                       pde_scheme_type type, bool scale_results)
    : pde_scheme(grid, std::vector(coefficients), type, scale_results)
{
}

pde_scheme::pde_scheme(const std::shared_ptr<const time_grid>& grid,
                       std::vector<std::shared_ptr<const pde_model_coefficients>>&& coefficients,
                       pde_scheme_type type, bool scale_results)
    : time_grid_(grid), coefficients_(std::move(coefficients)), type_(type), scale_results_(scale_results)
{
    KORVEX_CHECK(at_line("pde_scheme", __LINE__), time_grid_ != nullptr);
}

pde_scheme::~pde_scheme() = default;

bool pde_scheme::has_coefficients(const pde_model_coefficients* c, std::size_t n,
                                  bool reaction_may_be_empty) noexcept
{
    const auto reaction_fits = [&](const tensor<double>& r) {
        return r.size() == n || (reaction_may_be_empty && r.size() == 0);
    };
    return c != nullptr && c->diffusion().size() == n && c->convection().size() == n &&
           reaction_fits(c->reaction());
}

void pde_scheme::initialize(std::size_t i)
{
    const bool forward = time_grid_->is_direction_forward();
    const std::size_t size = time_grid_->size();
    const bool has_next = forward ? i + 1 < size : i > 0 && i < size;
    KORVEX_CHECK_MSG(at_line("initialize", __LINE__), has_next, "no ",
                     forward ? "forward" : "backward", " step from date ", i, " of a grid of ", size,
                     " dates");
    from_ = time_grid_->date(i);
    to_ = time_grid_->date(forward ? i + 1 : i - 1);
}

std::shared_ptr<pde_scheme> pde_scheme::create_scheme(
    const std::shared_ptr<const time_grid>& grid,
    const std::vector<std::shared_ptr<const space_grid>>& space_grids,
    const std::vector<std::shared_ptr<const pde_model_coefficients>>& coefficients,
    const std::vector<std::size_t>& stencil_sizes, const std::vector<bool>& dimension_flags,
    pde_scheme_type type, bool scale_results, const matrix<double>& correlation)
{
    if (static_cast<std::uint32_t>(type) < 4)
        return std::make_shared<pde_scheme_alternating_direction_implicit>(
            grid, space_grids, coefficients, stencil_sizes, dimension_flags, type, scale_results, correlation);
    if (type == crank_nicolson || type == two_stage_l_stable || type == implicit_euler) {
        KORVEX_CHECK_MSG(at_line("create_scheme", __LINE__),
                         !space_grids.empty() && !coefficients.empty() && !stencil_sizes.empty(),
                         "a one-dimensional scheme needs a space grid, coefficients and a stencil size");
        return std::make_shared<pde_scheme_one_dimension>(grid, space_grids[0], coefficients[0],
                                                          stencil_sizes[0], type, scale_results);
    }
    throw Error(type_location, "");
}

}  // namespace korvex
