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
        if (d_ == 0.0)
            apply_pair<false>(out.data(), in.data(), pair.first, pair.second, number, rho);
        else
            apply_pair<true>(out.data(), in.data(), pair.first, pair.second, number, rho);
    }
}

template <bool WithProduct>
void pde_multi_explicit::apply_pair(double* out, const double* in, std::size_t i, std::size_t j,
                                    std::size_t pair, double rho) const
{
    const double* g = discrete_->cross_coefficients(pair).data();
    const std::size_t si = discrete_->layout(i).inner;
    const std::size_t sj = discrete_->layout(j).inner;
    const double along = rho * c_ * (d_ + 1.0);    // u[+i+j] + u[-i-j]
    const double across = rho * c_ * (d_ - 1.0);   // u[-i+j] + u[+i-j]
    const double product = rho * 2.0 * c_ * d_;    // 2 u - the four neighbours
    discrete_->for_each_cross_point(i, j, [&](std::size_t p) {
        double term = along * (in[p + si + sj] + in[p - si - sj]) + across * (in[p - si + sj] + in[p + si - sj]);
        if constexpr (WithProduct)
            term += product * (2.0 * in[p] - in[p + si] - in[p - si] - in[p + sj] - in[p - sj]);
        out[p] += g[p] * term;
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
