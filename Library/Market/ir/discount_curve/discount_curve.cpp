#include "Market/ir/discount_curve/discount_curve.h"

#include "Market/common/piecewise_constant_integral.h"

namespace korvex {

discount_curve::discount_curve(const datetime& valuation_date) : market_data(valuation_date) {}

discount_curve::~discount_curve() = default;

void discount_curve::log_df(vector<double>& out, const datetime& d1, const datetime& d2) const
{
    out = log_df(d1, d2);
}

void discount_curve::discounting(vector<double>& out, const datetime& d) const
{
    out = df(valuation_date_, d);
}

vector<double> discount_curve::log_normalized_discounting() const
{
    return vector<double>{1.0};
}

void discount_curve::dfs(std::span<const datetime> dates, std::span<double> factors) const
{
    details::check_batch_sizes(dates.size(), factors.size(),
                               {"dfs", "Library/Market/ir/discount_curve/discount_curve", __LINE__});
    for (std::size_t i = 0; i < dates.size(); ++i)
        factors[i] = df(valuation_date_, dates[i]);
}

std::vector<double> discount_curve::dfs(const std::vector<datetime>& dates) const
{
    std::vector<double> factors(dates.size());
    dfs(dates, factors);
    return factors;
}

}  // namespace korvex
