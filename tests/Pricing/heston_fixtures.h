#pragma once

#include <memory>

#include "Pricing/heston/price_heston.h"
#include "Pricing/pricing_fixtures.h"

namespace korvex::pricing::testing {

// The test cases of in 't Hout and Foulon (2010), spot 100, v0 = eta, flat curves; D runs
// 91 days (QuantLib's dates are whole days).
struct heston_case
{
    const char* name;
    double kappa;
    double eta;
    double sigma;
    double rho;
    double rate;
    double carry;
    double days;

    heston_parameters parameters() const { return heston_parameters(eta, kappa, eta, sigma, rho); }
    market flat_market() const
    {
        return market(std::make_shared<const equity_spot>(today, 100.0), flat_curve(rate), flat_curve(carry));
    }
};

inline constexpr heston_case case_a{"A", 1.5, 0.04, 0.3, -0.9, 0.025, 0.0, 365.0};
inline constexpr heston_case case_b{"B", 3.0, 0.12, 0.04, 0.6, 0.01, 0.04, 365.0};
inline constexpr heston_case case_c{"C", 0.6067, 0.0707, 0.2928, -0.7571, 0.03, 0.0, 1095.0};
inline constexpr heston_case case_d{"D", 2.5, 0.06, 0.5, -0.1, 0.0507, 0.0469, 91.0};
inline constexpr heston_case heston_cases[] = {case_a, case_b, case_c, case_d};

inline heston_settings heston_grid_of(std::size_t spot_points, std::size_t variance_points, std::size_t time_steps)
{
    heston_settings s;
    s.spot_points = spot_points;
    s.variance_points = variance_points;
    s.time_steps = time_steps;
    return s;
}

}  // namespace korvex::pricing::testing
