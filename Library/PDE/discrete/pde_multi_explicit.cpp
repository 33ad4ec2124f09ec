#include "PDE/discrete/pde_multi_explicit.h"

#include <cmath>
#include <utility>

#include "core/check_fail.h"
#include "math/pentadiagonal_operations.h"
#include "math/tridiagonal_operations.h"

namespace korvex {

namespace {

constexpr const char* source = "Library/PDE/discrete/pde_multi_explicit";

constexpr SourceLocation at_line(const char* function, int line)
{
    return {function, source, line};
}

}  // namespace

pde_multi_explicit::pde_multi_explicit(std::shared_ptr<const pde_multi_discrete> discrete, double a,
                                       double b, double c, double d, const matrix<double>& correlation)
    : discrete_(std::move(discrete)), a_(a), b_(b), c_(c), d_(d), correlation_(correlation)
{
    KORVEX_CHECK_MSG(at_line("pde_multi_explicit", __LINE__), discrete_ != nullptr, "no operator");
    const std::size_t dims = discrete_->dimensions();
    const bool shape_fits = correlation_.size() == 0 ||
                            (correlation_.rows() == dims && correlation_.columns() == dims);
    KORVEX_CHECK_MSG(at_line("pde_multi_explicit", __LINE__), shape_fits,
                     "the correlation matrix must be empty or ", dims, " x ", dims, ", not ",
                     correlation_.rows(), " x ", correlation_.columns());
    if (correlation_.size() == 0)
        return;
    for (const auto& [pair, number] : discrete_->mixed_pairs()) {
        const double rho = correlation_(pair.first, pair.second);
        KORVEX_CHECK_MSG(at_line("pde_multi_explicit", __LINE__), rho >= -1.0 && rho <= 1.0,
                         "correlation (", pair.first, ", ", pair.second, ") = ", rho,
                         " is not in [-1, 1]");
    }
    if (!discrete_->mixed_pairs().empty())
        derivative_ = vector<double>(discrete_->size());
}

pde_multi_explicit::pde_multi_explicit(std::shared_ptr<const pde_multi_discrete> discrete, double a,
                                       std::int32_t b, double c, double d,
                                       const matrix<double>& correlation)
    : pde_multi_explicit(std::move(discrete), a, static_cast<double>(b), c, d, correlation)
{
}

void pde_multi_explicit::apply_operator(vector<double>& out, const vector<double>& in) const
{
    for (std::size_t d = 0; d < discrete_->dimensions(); ++d) {
        const details::banded_layout& l = discrete_->layout(d);
        if (discrete_->stencil_size(d) == 3)
            tridiagonal_operations::multiply(out, in, discrete_->bands(d), l.outer, l.n, l.inner, b_, false);
        else
            pentadiagonal_operations::multiply(out, in, discrete_->bands(d), l.outer, l.n, l.inner, b_, false);
    }
}

namespace {

// out += scale * B in along dimension d, B of the dimension's stencil size.
void multiply_along(const pde_multi_discrete& discrete, std::size_t d, vector<double>& out, const vector<double>& in,
                    const matrix<double>& bands, double scale)
{
    const details::banded_layout& l = discrete.layout(d);
    if (discrete.stencil_size(d) == 3)
        tridiagonal_operations::multiply(out, in, bands, l.outer, l.n, l.inner, scale, false);
    else
        pentadiagonal_operations::multiply(out, in, bands, l.outer, l.n, l.inner, scale, false);
}

}  // namespace

void pde_multi_explicit::apply_mixed(vector<double>& out, const vector<double>& in) const
{
    if (correlation_.size() == 0)
        return;
    const std::size_t n = discrete_->size();
    KORVEX_CHECK_MSG(at_line("apply_mixed", __LINE__), out.size() == n && in.size() == n, "grid functions of ",
                     out.size(), " and ", in.size(), " values for an operator of ", n);
    for (const auto& [pair, number] : discrete_->mixed_pairs()) {
        const double rho = correlation_(pair.first, pair.second);
        if (rho == 0.0)
            continue;
        // g D_i D_j u: D_j u into the work vector, then diag(g) D_i of it.
        derivative_ = 0.0;
        multiply_along(*discrete_, pair.second, derivative_, in, discrete_->derivative_bands(pair.second), 1.0);
        multiply_along(*discrete_, pair.first, out, derivative_, discrete_->cross_bands(number), rho * c_);
        if (d_ != 0.0)
            apply_product(out.data(), in.data(), pair.first, pair.second, number, rho);
    }
}

void pde_multi_explicit::apply_product(double* out, const double* in, std::size_t i, std::size_t j,
                                       std::size_t pair, double rho) const
{
    const double* g = discrete_->cross_coefficients(pair).data();
    const double* span_i = discrete_->inverse_spans(i).data();
    const double* span_j = discrete_->inverse_spans(j).data();
    const std::size_t si = discrete_->layout(i).inner;
    const std::size_t sj = discrete_->layout(j).inner;
    const double weight = rho * c_ * d_;
    discrete_->for_each_cross_point(i, j, [&](std::size_t p, std::size_t k, std::size_t l) {
        const double corners = in[p + si + sj] + in[p - si - sj] + in[p - si + sj] + in[p + si - sj];
        const double neighbours = in[p + si] + in[p - si] + in[p + sj] + in[p - sj];
        out[p] += weight * g[p] * span_i[k] * span_j[l] * (corners + 4.0 * in[p] - 2.0 * neighbours);
    });
}

void pde_multi_explicit::apply_reaction(vector<double>& out, double s, const vector<double>& in) const
{
    for (std::size_t d = 0; d < discrete_->dimensions(); ++d) {
        const tensor<double>& reaction = discrete_->coefficients(d).reaction();
        if (reaction.size() != 0)
            out += s * reaction * in;
    }
}

}  // namespace korvex
