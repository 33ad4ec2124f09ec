#include "PDE/scheme/pde_scheme_alternating_direction_implicit.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "Vectorization/expressions/expressions_evaluator.h"
#include "core/check_fail.h"
#include "core/error.h"
#include "math/root_finding_algorithms.h"

namespace korvex {

namespace {

constexpr const char* source = "Library/PDE/scheme/pde_scheme_alternating_direction_implicit";
constexpr SourceLocation type_location{"initialize", source, 231};
constexpr SourceLocation step_type_location{"solve", source, 188};

constexpr SourceLocation at_line(const char* function, int line)
{
    return {function, source, line};
}

// theta of the Hundsdorfer-Verwer scheme: D x / 2 with x the root of
// 2 x ((D - x) / (D - 1))^(D - 1) = 1 on [0, 1/2]; 1/2 on one axis.
double hundsdorfer_verwer_theta(std::size_t dimensions)
{
    if (dimensions == 1)
        return 0.5;
    const double d = static_cast<double>(dimensions);
    const auto f = [d](double x) { return 2.0 * x * std::pow((d - x) / (d - 1.0), d - 1.0) - 1.0; };
    double root = 0.5;
    constexpr double tolerance = 2.220446049250313e-16;
    root_finding_algorithms::brent(f, 0.0, 0.5, root, tolerance, tolerance, 50);
    return d * root * 0.5;
}

double modified_craig_sneyd_theta(std::size_t dimensions)
{
    if (dimensions == 1)
        return 0.25;
    if (dimensions == 2)
        return 0.3333333333333333;
    const double d = static_cast<double>(dimensions);
    return std::max(0.25, d * 0.5 / (std::pow(d / (d - 1.0), d - 1.0) + 1.0));
}

std::vector<std::size_t> grid_sizes(const pde_multi_discrete& discrete)
{
    std::vector<std::size_t> sizes;
    for (std::size_t d = 0; d < discrete.dimensions(); ++d)
        sizes.push_back(discrete.layout(d).n);
    return sizes;
}

// "12 x 9".
std::string shape_text(const std::vector<std::size_t>& sizes)
{
    std::string text;
    for (const std::size_t n : sizes)
        text += (text.empty() ? "" : " x ") + std::to_string(n);
    return text;
}

}  // namespace

pde_scheme_alternating_direction_implicit::pde_scheme_alternating_direction_implicit(
    const std::shared_ptr<const time_grid>& grid,
    const std::vector<std::shared_ptr<const space_grid>>& space_grids,
    const std::vector<std::shared_ptr<const pde_model_coefficients>>& coefficients,
    const std::vector<std::size_t>& stencil_sizes, const std::vector<bool>& dimension_flags,
    pde_scheme_type type, bool scale_results, const matrix<double>& correlation)
    : pde_scheme(grid, coefficients, type, scale_results)
{
    discrete_ = std::make_shared<pde_multi_discrete>(space_grids, coefficients_, stencil_sizes, dimension_flags);
    initialize(correlation);
}

void pde_scheme_alternating_direction_implicit::initialize(const matrix<double>& correlation)
{
    const std::size_t dims = discrete_->dimensions();
    // Every stage applies the same cross operator, without the second-difference product
    // (see the header).
    constexpr double product = 0.0;
    explicit_ = std::make_shared<pde_multi_explicit>(discrete_, 0.0, -1.0, 1.0, product, correlation);
    double theta = 0.5;
    switch (type_) {
    case adi_hundsdorfer_verwer:
        theta = hundsdorfer_verwer_theta(dims);
        corrector_ = std::make_shared<pde_multi_explicit>(discrete_, 1.0, -0.5, 0.5, product, correlation);
        break;
    case adi_douglas: break;
    case adi_craig_sneyd:
        corrector_ = std::make_shared<pde_multi_explicit>(discrete_, 0.0, 0.0, 0.5, product, correlation);
        break;
    case adi_modified_craig_sneyd:
        theta = modified_craig_sneyd_theta(dims);
        corrector_ = std::make_shared<pde_multi_explicit>(discrete_, 1.0, theta - 0.5, 0.5, product, correlation);
        break;
    default: throw Error(type_location, "");
    }
    implicit_ = std::make_shared<pde_multi_implicit>(discrete_, theta);
    increment_ = vector<double>(discrete_->size());
    if (type_ != adi_douglas)
        correction_ = vector<double>(discrete_->size());
}

void pde_scheme_alternating_direction_implicit::check_step(const pde_storage& storage)
{
    const std::size_t n = discrete_->size();
    for (std::size_t d = 0; d < discrete_->dimensions(); ++d)
        KORVEX_CHECK_MSG(at_line("check_step", __LINE__), has_coefficients(coefficients_[d].get(), n, true),
                         "the model coefficients of dimension ", d, " must hold ", n, " values each");
    plan_.find_windows(storage, discrete_->grids(), discrete_->stencil_sizes(), at_line("check_step", __LINE__));
    if (storage.groups().empty())
        return;
    // Every row has the length of row 0; the expression layer's size check refuses another
    // length before any row changes.
    const std::size_t row_length = storage.result().size() / storage.number_of_results();
    details::check_expression_size(details::view_leaf<double>{{}, storage.result().data(), row_length}, n,
                                   details::run_assign_location);
    // Rows of the right length may still hold their axes in another shape (9 x 12 values
    // for grids of 12 x 9): the storage's last dimensions must be the grids' sizes.
    const std::vector<std::size_t>& dims = storage.dims();
    const std::size_t axes = discrete_->dimensions();
    bool same_shape = dims.size() >= axes;
    for (std::size_t d = 0; same_shape && d < axes; ++d)
        same_shape = dims[dims.size() - axes + d] == discrete_->layout(d).n;
    KORVEX_CHECK_MSG(at_line("check_step", __LINE__), same_shape, "a storage of shape ", shape_text(dims),
                     " for grids of ", shape_text(grid_sizes(*discrete_)));
}

void pde_scheme_alternating_direction_implicit::diffuse(pde_storage& storage,
                                                        const std::vector<pde_boundary_coefficients>&,
                                                        double step_factor)
{
    check_step(storage);
    matrix<double> rows = storage.result().as_matrix(storage.number_of_results());
    std::size_t g = 0;
    for (const auto& [configs, layers] : storage.groups()) {
        if (discrete_->update(configs, plan_.windows(g++)))
            implicit_->prepare();
        pde_step_plan::for_each_row(storage, layers, [&](std::size_t r) {
            vector<double> row = rows.row(r);
            solve(row);
            if (scale_results_)
                row = step_factor * row;
        });
    }
}

// Z = F(u), zero at the held points.
void pde_scheme_alternating_direction_implicit::explicit_increment(const vector<double>& u)
{
    increment_ = 0.0;
    explicit_->apply_operator(increment_, u);
    explicit_->apply_mixed(increment_, u);
    explicit_->apply_reaction(increment_, 1.0, u);
    discrete_->clear_held(increment_);
}

// W += the corrector's part of F(Z) (the split parts with its factor, the cross pass and
// half the reaction), zero at the held points.
void pde_scheme_alternating_direction_implicit::correct(const vector<double>& increment)
{
    if (type_ != adi_craig_sneyd)
        corrector_->apply_operator(correction_, increment);
    corrector_->apply_mixed(correction_, increment);
    corrector_->apply_reaction(correction_, 0.5, increment);
    discrete_->clear_held(correction_);
}

void pde_scheme_alternating_direction_implicit::solve(vector<double>& u)
{
    vector<double>& z = increment_;
    vector<double>& w = correction_;
    switch (type_) {
    case adi_douglas:
        explicit_increment(u);
        implicit_->solve_dimensions(z);
        explicit_->apply_reaction(u, 0.5, z);
        u += z;
        break;
    case adi_hundsdorfer_verwer:
        explicit_increment(u);
        w = z;
        implicit_->solve_dimensions(z);
        correct(z);
        w = w - z;
        implicit_->solve_dimensions(w);
        z += w;
        u += z;
        break;
    case adi_craig_sneyd:
    case adi_modified_craig_sneyd:
        explicit_increment(u);
        w = z;
        implicit_->solve_dimensions(z);
        correct(z);
        implicit_->solve_dimensions(w);
        u += w;
        break;
    default: throw Error(step_type_location, "");
    }
}

}  // namespace korvex
