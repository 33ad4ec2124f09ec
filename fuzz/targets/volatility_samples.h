#pragma once

// SABR volatility data for the seed corpora of the volatility targets: parameters that vary
// over both date axes, and one-point surfaces, with and without skew dampening.

#include <memory>
#include <vector>

#include "Market/ir/volatility_surface/volatility_data/ir_volatility_data_sabr.h"
#include "util/surface_term_structure.h"

namespace korvex::fuzzing {

inline std::shared_ptr<const surface_term_structure> sample_surface(const std::vector<double>& x,
                                                                    const std::vector<double>& y,
                                                                    const std::vector<double>& row_major)
{
    matrix<double> z(x.size(), y.size());
    for (std::size_t i = 0; i < z.size(); ++i)
        z[i] = row_major[i];
    return std::make_shared<const surface_term_structure>(std::vector<datetime>(x.begin(), x.end()),
                                                          std::vector<datetime>(y.begin(), y.end()), std::move(z));
}

inline std::vector<std::shared_ptr<const ir_volatility_data_sabr>> sample_sabr_data()
{
    const std::vector<double> expiries{45474.0, 45658.5}, tenors{46023.0, 47119.0, 48945.0};
    const auto grid = [&](const std::vector<double>& values) { return sample_surface(expiries, tenors, values); };
    const auto point = [](double value) { return sample_surface({45474.0}, {46023.0}, {value}); };
    return {std::make_shared<const ir_volatility_data_sabr>(
                grid({0.02, 0.021, 0.022, 0.018, 0.019, 0.0205}), grid({0.5, 0.5, 0.55, 0.45, 0.5, 0.6}),
                grid({-0.3, -0.25, -0.2, -0.35, -0.3, -0.1}), grid({0.4, 0.38, 0.35, 0.45, 0.42, 0.3}),
                grid({0.01, 0.01, 0.01, 0.015, 0.015, 0.015}), true),
            std::make_shared<const ir_volatility_data_sabr>(point(0.2), point(1.0), point(0.0), point(0.0),
                                                            point(0.0), false)};
}

}  // namespace korvex::fuzzing
