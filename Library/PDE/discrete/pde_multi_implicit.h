#pragma once

#include <memory>
#include <vector>

#include "PDE/discrete/pde_multi_discrete.h"
#include "PDE/pde_export.h"
#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/vector.h"

namespace korvex {

// The implicit half of an alternating-direction step: for every dimension d of a
// `pde_multi_discrete`, the factorised system identity_weight * I + theta * B_d, applied
// as an inverse one dimension after the other. `prepare` re-forms and re-factorises the
// systems from the operator's current bands (after each `update`); the factors are owned
// and allocated once.
class KORVEX_PDE_API pde_multi_implicit
{
public:
    pde_multi_implicit(std::shared_ptr<const pde_multi_discrete> discrete, double theta,
                       double identity_weight = 1.0);

    void prepare();

    // x <- (I + theta B_d)^-1 x for d = 0 ... D-1, in place.
    void solve_dimensions(vector<double>& x) const;

    double theta() const noexcept { return theta_; }

private:
    std::shared_ptr<const pde_multi_discrete> discrete_;
    std::vector<matrix<double>> factors_;
    double theta_;
    double identity_weight_;
};

}  // namespace korvex
