#pragma once

#include <memory>

#include "Market/ir/volatility_surface/volatility_data/ir_volatility_data.h"
#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "util/surface_term_structure.h"

namespace korvex {

// SABR parameters over pairs of dates: alpha, beta, rho, nu and the shift each read off
// its own surface_term_structure at (d1, d2), and one skew dampening flag.
//
// model(d1, d2) builds a new volatility_model_sabr(alpha, beta, nu, rho, shift, flag) from
// the five values (note nu before rho there), so a point with alpha not above 0, beta
// outside [0, 1], nu below 0 or rho * rho not below 1 fails with that model's Error.
//
// The constructor, initialize() and the readers refuse with Error a missing surface,
// checked in the order alpha, beta, nu, rho, shift; so do the writers, which therefore
// refuse the surface-less data that a reader makes of a null marker.
class KORVEX_MARKET_API ir_volatility_data_sabr : public ir_volatility_data
{
public:
    using surface = std::shared_ptr<const surface_term_structure>;

    ir_volatility_data_sabr(const surface& alpha, const surface& beta, const surface& rho, const surface& nu,
                            const surface& shift, bool is_skew_dampening);

    std::shared_ptr<const volatility_model> model(datetime d1, datetime d2) const override;

    const surface& alpha() const noexcept { return alpha_; }
    const surface& beta() const noexcept { return beta_; }
    const surface& rho() const noexcept { return rho_; }
    const surface& nu() const noexcept { return nu_; }
    const surface& shift() const noexcept { return shift_; }
    bool is_skew_dampening() const noexcept { return is_skew_dampening_; }

    // Record: "Class", "alpha", "beta", "nu", "rho", "shift" (each a surface record, see
    // details::surface_term_structure_record), "is_skew_dampening".
    KORVEX_PERSISTABLE(ir_volatility_data_sabr);

private:
    ir_volatility_data_sabr() = default;
    void initialize() const;
    void validate() const;

    surface alpha_;
    surface beta_;
    surface rho_;
    surface nu_;
    surface shift_;
    bool is_skew_dampening_ = false;
};

}  // namespace korvex
