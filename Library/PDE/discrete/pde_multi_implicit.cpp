#include "PDE/discrete/pde_multi_implicit.h"

#include <utility>

#include "core/check_fail.h"
#include "math/pentadiagonal_operations.h"
#include "math/tridiagonal_operations.h"

namespace korvex {

pde_multi_implicit::pde_multi_implicit(std::shared_ptr<const pde_multi_discrete> discrete, double theta,
                                       double identity_weight)
    : discrete_(std::move(discrete)), theta_(theta), identity_weight_(identity_weight)
{
    KORVEX_CHECK_MSG((SourceLocation{"pde_multi_implicit", "Library/PDE/discrete/pde_multi_implicit", __LINE__}),
                     discrete_ != nullptr, "no operator");
    for (std::size_t d = 0; d < discrete_->dimensions(); ++d)
        factors_.emplace_back(discrete_->bands(d).rows(), discrete_->bands(d).columns());
}

void pde_multi_implicit::prepare()
{
    for (std::size_t d = 0; d < discrete_->dimensions(); ++d) {
        matrix<double>& factor = factors_[d];
        factor = theta_ * discrete_->bands(d);
        const std::size_t centre = factor.rows() / 2;
        double* diagonal = factor.data() + centre * factor.columns();
        for (std::size_t p = 0; p < factor.columns(); ++p)
            diagonal[p] += identity_weight_;
        const details::banded_layout& l = discrete_->layout(d);
        if (factor.rows() == 3)
            tridiagonal_operations::decomposition(factor, l.outer, l.n, l.inner, false);
        else
            pentadiagonal_operations::decomposition(factor, l.outer, l.n, l.inner, false);
    }
}

void pde_multi_implicit::solve_dimensions(vector<double>& x) const
{
    for (std::size_t d = 0; d < discrete_->dimensions(); ++d) {
        const details::banded_layout& l = discrete_->layout(d);
        if (factors_[d].rows() == 3)
            tridiagonal_operations::solve_decomposed(x, factors_[d], x, l.outer, l.n, l.inner, false);
        else
            pentadiagonal_operations::solve_decomposed(x, factors_[d], x, l.outer, l.n, l.inner, false);
    }
}

}  // namespace korvex
