#include "PDE/discrete/pde_multi_discrete.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "PDE/discrete/pde_band_rows.h"
#include "core/check_fail.h"
#include "math/finite_difference.h"

namespace korvex {

namespace {

constexpr const char* source = "Library/PDE/discrete/pde_multi_discrete";

constexpr SourceLocation at_line(const char* function, int line)
{
    return {function, source, line};
}

using rows = details::pde_band_rows;

// B = -(a D2 + b D1): no identity, unit weights, no reaction.
constexpr rows::weights operator_weights{0.0, 1.0, 1.0};

// A five-band end row whose convection reaches this magnitude is left zero.
constexpr double convection_limit = 1000000.0;

// The coordinate of node k of an axis with the window's end nodes at the window's values.
double coordinate(const std::vector<double>& x, const pde_boundary_window::dimension& window,
                  std::size_t k)
{
    if (k == window.lower.index)
        return window.lower.value;
    if (k == window.upper.index)
        return window.upper.value;
    return x[k];
}

bool is_held(pde_boundary_config::boundary_conditions_type type)
{
    return type != pde_boundary_config::no_diffusion;
}

}  // namespace

pde_multi_discrete::pde_multi_discrete(
    const std::vector<std::shared_ptr<const space_grid>>& space_grids,
    const std::vector<std::shared_ptr<const pde_model_coefficients>>& coefficients,
    const std::vector<std::size_t>& stencil_sizes, const std::vector<bool>& dimension_flags)
    : grids_(space_grids),
      coefficients_(coefficients),
      stencil_sizes_(stencil_sizes),
      dimension_flags_(dimension_flags)
{
    const std::size_t dims = grids_.size();
    KORVEX_CHECK_MSG(at_line("pde_multi_discrete", __LINE__), dims > 0, "no space grid");
    const bool lengths_agree = coefficients_.size() == dims && stencil_sizes_.size() == dims &&
                               dimension_flags_.size() == dims;
    KORVEX_CHECK_MSG(at_line("pde_multi_discrete", __LINE__), lengths_agree, dims, " space grids with ",
                     coefficients_.size(), " coefficient sets, ", stencil_sizes_.size(),
                     " stencil sizes and ", dimension_flags_.size(), " dimension flags");
    size_ = 1;
    for (std::size_t d = 0; d < dims; ++d) {
        KORVEX_CHECK_MSG(at_line("pde_multi_discrete", __LINE__),
                         grids_[d] != nullptr && coefficients_[d] != nullptr, "dimension ", d,
                         " has no grid or no coefficients");
        const std::size_t n = grids_[d]->size();
        const std::size_t stencil = stencil_sizes_[d];
        KORVEX_CHECK_MSG(at_line("pde_multi_discrete", __LINE__), stencil == 3 || stencil == 5,
                         "dimension ", d, " has a stencil of ", stencil, " points");
        KORVEX_CHECK_MSG(at_line("pde_multi_discrete", __LINE__), n >= stencil, "dimension ", d,
                         " has ", n, " points, too few for a stencil of ", stencil);
        KORVEX_CHECK_MSG(at_line("pde_multi_discrete", __LINE__),
                         size_ <= std::numeric_limits<std::size_t>::max() / n,
                         "the grid has more points than a size_t counts");
        size_ *= n;
    }

    for (std::size_t d = 0; d < dims; ++d) {
        const std::size_t n = grids_[d]->size();
        std::size_t inner = 1;
        for (std::size_t e = d + 1; e < dims; ++e)
            inner *= grids_[e]->size();
        layouts_.push_back({size_ / (n * inner), n, inner});
        bands_.emplace_back(stencil_sizes_[d], size_);
        second_derivative_weights_.emplace_back(stencil_sizes_[d] * n);
        first_derivative_weights_.emplace_back(stencil_sizes_[d] * n);
        finite_difference::nonuniform_derivation(grids_[d]->axis().data(), n,
                                                 first_derivative_weights_[d].data(),
                                                 second_derivative_weights_[d].data(),
                                                 dimension_flags_[d], stencil_sizes_[d]);
        inverse_spans_.emplace_back(n);
        window_first_weights_.emplace_back(stencil_sizes_[d] * n);
        if (dims > 1)
            derivative_bands_.emplace_back(stencil_sizes_[d], size_);
    }
    for (std::size_t i = 0; i < dims; ++i) {
        for (std::size_t j = i + 1; j < dims; ++j) {
            mixed_pairs_.emplace(std::pair{i, j}, cross_.size());
            cross_.emplace_back(size_);
            cross_bands_.emplace_back(stencil_sizes_[i], size_);
        }
    }
    active_.resize(dims);
    inside_.resize(dims);
}

bool pde_multi_discrete::update(const std::vector<pde_boundary_config>& configs,
                                std::span<const pde_boundary_window::dimension> windows)
{
    const std::size_t dims = dimensions();
    KORVEX_CHECK_MSG(at_line("update", __LINE__), configs.size() >= dims && windows.size() == dims,
                     configs.size(), " configurations and ", windows.size(), " windows for ", dims,
                     " dimensions");
    for (std::size_t d = 0; d < dims; ++d) {
        // The end rows need 2 nodes with 3 bands, 4 with 5 bands.
        const std::size_t lo = windows[d].lower.index, hi = windows[d].upper.index;
        const bool fits = lo < hi && hi < layouts_[d].n && hi - lo >= stencil_sizes_[d] - 2;
        KORVEX_CHECK_MSG(at_line("update", __LINE__), fits, "a window from node ", lo, " to node ", hi,
                         " in dimension ", d, " of ", layouts_[d].n, " nodes and ", stencil_sizes_[d], " bands");
    }
    if (same_as_last_update(configs, windows))
        return false;
    for (std::size_t d = 0; d < dims; ++d)
        assemble(d, configs[d], windows[d]);
    hold_across_dimensions();
    if (!mixed_pairs_.empty()) {
        for (std::size_t d = 0; d < dims; ++d)
            assemble_derivative(d);
    }
    for (const auto& [pair, number] : mixed_pairs_)
        update_cross(pair.first, pair.second, number, windows);
    remember_update(configs, windows);
    return true;
}

bool pde_multi_discrete::same_as_last_update(const std::vector<pde_boundary_config>& configs,
                                             std::span<const pde_boundary_window::dimension> windows) const
{
    if (last_windows_.empty())
        return false;
    const pde_boundary_config_order less;
    const auto same_end = [](const pde_boundary_window::end& a, const pde_boundary_window::end& b) {
        return a.index == b.index && a.value == b.value && a.clipped == b.clipped;
    };
    for (std::size_t d = 0; d < dimensions(); ++d) {
        if (less(configs[d], last_configs_[d]) || less(last_configs_[d], configs[d]) ||
            !same_end(windows[d].lower, last_windows_[d].lower) || !same_end(windows[d].upper, last_windows_[d].upper))
            return false;
    }
    const double* last = last_coefficients_.data();
    for (std::size_t d = 0; d < dimensions(); ++d) {
        for (const tensor<double>* values : {&coefficients_[d]->diffusion(), &coefficients_[d]->convection()}) {
            // Bitwise: a value that compares equal but is stored otherwise (-0.0) just
            // re-assembles.
            if (std::memcmp(values->data(), last, size_ * sizeof(double)) != 0)
                return false;
            last += size_;
        }
    }
    return true;
}

void pde_multi_discrete::remember_update(const std::vector<pde_boundary_config>& configs,
                                         std::span<const pde_boundary_window::dimension> windows)
{
    last_configs_.assign(configs.begin(), configs.begin() + static_cast<std::ptrdiff_t>(dimensions()));
    last_windows_.assign(windows.begin(), windows.end());
    last_coefficients_.resize(2 * dimensions() * size_);
    double* last = last_coefficients_.data();
    for (std::size_t d = 0; d < dimensions(); ++d) {
        for (const tensor<double>* values : {&coefficients_[d]->diffusion(), &coefficients_[d]->convection()})
            last = std::copy(values->data(), values->data() + size_, last);
    }
}

void pde_multi_discrete::assemble(std::size_t d, const pde_boundary_config& config,
                                  const pde_boundary_window::dimension& window)
{
    const std::size_t lo = window.lower.index;
    const std::size_t hi = window.upper.index;
    const std::size_t n = layouts_[d].n;
    active_[d] = {lo + (is_held(config.down_type()) ? 1 : 0), hi - (is_held(config.up_type()) ? 1 : 0)};
    inside_[d] = {lo + 1, hi - 1};

    double* bands = bands_[d].data();
    const std::size_t stencil = stencil_sizes_[d];
    for (std::size_t k = 0; k < lo; ++k)
        rows::hold(bands, size_, stencil, layouts_[d], k, 0.0);
    for (std::size_t k = hi + 1; k < n; ++k)
        rows::hold(bands, size_, stencil, layouts_[d], k, 0.0);
    window_first_weights_[d] = first_derivative_weights_[d];
    if (hi - lo >= 2) {
        const pde_model_coefficients& c = *coefficients_[d];
        const auto fill = stencil == 3 ? rows::fill<3, true> : rows::fill<5, true>;
        fill(bands, size_, layouts_[d], lo + 1, hi - 1, c.diffusion().data(), c.convection().data(),
             nullptr, second_derivative_weights_[d].data(), first_derivative_weights_[d].data(),
             operator_weights);
        assemble_next_to_ends(d, window);
    }
    assemble_ends(d, config, window);
}

void pde_multi_discrete::write_row(std::size_t d, std::size_t k, const double* second,
                                   const double* first)
{
    const pde_model_coefficients& c = *coefficients_[d];
    const auto fill = stencil_sizes_[d] == 3 ? rows::fill<3, false> : rows::fill<5, false>;
    fill(bands_[d].data(), size_, layouts_[d], k, k, c.diffusion().data(), c.convection().data(),
         nullptr, second, first, operator_weights);
    std::copy(first, first + stencil_sizes_[d], window_first_weights_[d].data() + k * stencil_sizes_[d]);
}

// D_d: the window's first-derivative weights at the nodes strictly inside it, zero rows
// elsewhere.
void pde_multi_discrete::assemble_derivative(std::size_t d)
{
    matrix<double>& bands = derivative_bands_[d];
    bands = 0.0;
    const std::size_t stencil = stencil_sizes_[d];
    const double* weights = window_first_weights_[d].data();
    for (std::size_t k = inside_[d].first; k <= inside_[d].last; ++k) {
        rows::for_each_position(layouts_[d], k, [&](std::size_t p) {
            for (std::size_t b = 0; b < stencil; ++b)
                bands.data()[b * size_ + p] = weights[k * stencil + b];
        });
    }
}

void pde_multi_discrete::assemble_next_to_ends(std::size_t d,
                                               const pde_boundary_window::dimension& window)
{
    const std::vector<double>& x = grids_[d]->axis();
    const std::size_t lo = window.lower.index;
    const std::size_t hi = window.upper.index;
    const std::size_t last = x.size() - 1;
    const bool lower_off = x[lo] != window.lower.value;
    const bool upper_off = x[hi] != window.upper.value;
    const auto at = [&](std::size_t k) { return coordinate(x, window, k); };

    if (stencil_sizes_[d] == 3) {
        // Slots 1..3 of the five-slot helper are the three bands.
        const auto three_point_row = [&](std::size_t k) {
            const double points[3] = {at(k - 1), x[k], at(k + 1)};
            double d1[5] = {}, d2[5] = {};
            finite_difference::nonuniform_three_points_derivative_mid(points, 1, d1, d2,
                                                                      dimension_flags_[d]);
            write_row(d, k, d2 + 1, d1 + 1);
        };
        if (lower_off)
            three_point_row(lo + 1);
        if (upper_off)
            three_point_row(hi - 1);
        return;
    }

    // Five bands: the rows next to the ends take the one-sided four-point stencil when the
    // end is inside the axis or between nodes (on the axis ends the axis weights are that
    // stencil already); the centred rows two nodes in use an end's coordinate.
    const auto row = [&](std::size_t k, const double* points, std::size_t index, bool four_points) {
        double d1[5] = {}, d2[5] = {};
        if (four_points)
            finite_difference::nonuniform_five_points_derivative_1(points, index, d1, d2);
        else
            finite_difference::nonuniform_five_points_derivative_mid(points, 2, d1, d2, false);
        write_row(d, k, d2, d1);
    };
    if (lo > 0 || lower_off) {
        const double points[4] = {at(lo), x[lo + 1], at(lo + 2), at(lo + 3)};
        row(lo + 1, points, 1, true);
    }
    if (hi < last || upper_off) {
        const double points[4] = {at(hi - 3), at(hi - 2), x[hi - 1], at(hi)};
        row(hi - 1, points, 2, true);
    }
    if (hi - lo >= 4 && lower_off) {
        const double points[5] = {at(lo), x[lo + 1], x[lo + 2], x[lo + 3], at(lo + 4)};
        row(lo + 2, points, 2, false);
    }
    if (hi - lo >= 4 && upper_off) {
        const double points[5] = {at(hi - 4), x[hi - 3], x[hi - 2], x[hi - 1], at(hi)};
        row(hi - 2, points, 2, false);
    }
}

void pde_multi_discrete::assemble_ends(std::size_t d, const pde_boundary_config& config,
                                       const pde_boundary_window::dimension& window)
{
    const std::vector<double>& x = grids_[d]->axis();
    const std::size_t lo = window.lower.index;
    const std::size_t hi = window.upper.index;
    const auto at = [&](std::size_t k) { return coordinate(x, window, k); };
    double* bands = bands_[d].data();
    const double* b = coefficients_[d]->convection().data();
    const details::banded_layout& layout = layouts_[d];
    const bool five = stencil_sizes_[d] == 5;

    if (is_held(config.down_type())) {
        rows::hold(bands, size_, stencil_sizes_[d], layout, lo, 0.0);
    } else if (!five) {
        rows::convection_row_3(bands, size_, layout, lo, true, at(lo + 1) - at(lo), b, nullptr,
                               operator_weights);
    } else {
        double w[5] = {};
        const double points[3] = {at(lo), at(lo + 1), at(lo + 2)};
        finite_difference::nonuniform_five_points_derivative_0(points, 0, w, nullptr);
        rows::convection_row_5(bands, size_, layout, lo, w, 2, 4, b, nullptr, operator_weights,
                               convection_limit);
    }

    if (is_held(config.up_type())) {
        rows::hold(bands, size_, stencil_sizes_[d], layout, hi, 0.0);
    } else if (!five) {
        rows::convection_row_3(bands, size_, layout, hi, false, at(hi) - at(hi - 1), b, nullptr,
                               operator_weights);
    } else {
        double w[5] = {};
        const double points[3] = {at(hi - 2), at(hi - 1), at(hi)};
        finite_difference::nonuniform_five_points_derivative_0(points, 2, w, nullptr);
        rows::convection_row_5(bands, size_, layout, hi, w, 0, 2, b, nullptr, operator_weights,
                               convection_limit);
    }
}

// A point held along dimension d has zero rows in the bands of every other dimension too.
void pde_multi_discrete::hold_across_dimensions()
{
    for (std::size_t d = 0; d < dimensions(); ++d) {
        const auto hold_everywhere = [&](std::size_t k) {
            for (std::size_t e = 0; e < dimensions(); ++e) {
                if (e == d)
                    continue;
                double* bands = bands_[e].data();
                const std::size_t stencil = stencil_sizes_[e];
                rows::for_each_position(layouts_[d], k, [&](std::size_t p) {
                    for (std::size_t j = 0; j < stencil; ++j)
                        bands[j * size_ + p] = 0.0;
                });
            }
        };
        for (std::size_t k = 0; k < active_[d].first; ++k)
            hold_everywhere(k);
        for (std::size_t k = active_[d].last + 1; k < layouts_[d].n; ++k)
            hold_everywhere(k);
    }
}

void pde_multi_discrete::update_cross(std::size_t i, std::size_t j, std::size_t pair,
                                      std::span<const pde_boundary_window::dimension> windows)
{
    for (const std::size_t d : {i, j}) {
        const std::vector<double>& x = grids_[d]->axis();
        for (std::size_t k = inside_[d].first; k <= inside_[d].last; ++k)
            inverse_spans_[d][k] = 1.0 / (coordinate(x, windows[d], k + 1) - coordinate(x, windows[d], k - 1));
    }
    const double* a_i = coefficients_[i]->diffusion().data();
    const double* a_j = coefficients_[j]->diffusion().data();
    double* g = cross_[pair].data();
    walk_pair(i, j, [&](std::size_t p, std::size_t, std::size_t) { g[p] = 2.0 * std::sqrt(a_i[p] * a_j[p]); });
    // diag(g) D_i at the same points, zero rows elsewhere.
    matrix<double>& bands = cross_bands_[pair];
    bands = 0.0;
    double* x = bands.data();
    const std::size_t stencil = stencil_sizes_[i];
    const double* weights = window_first_weights_[i].data();
    walk_pair(i, j, [&](std::size_t p, std::size_t k, std::size_t) {
        for (std::size_t a = 0; a < stencil; ++a)
            x[a * size_ + p] = g[p] * weights[k * stencil + a];
    });
}

void pde_multi_discrete::clear_held(vector<double>& increment) const noexcept
{
    for (std::size_t d = 0; d < dimensions(); ++d) {
        const auto clear = [&](std::size_t k) {
            rows::for_each_position(layouts_[d], k, [&](std::size_t p) { increment[p] = 0.0; });
        };
        for (std::size_t k = 0; k < active_[d].first; ++k)
            clear(k);
        for (std::size_t k = active_[d].last + 1; k < layouts_[d].n; ++k)
            clear(k);
    }
}

}  // namespace korvex
