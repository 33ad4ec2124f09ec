#include "Market/ir/discount_curve/discount_curve.h"

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

std::vector<double> discount_curve::dfs(const std::vector<datetime>& dates) const
{
    std::vector<double> factors;
    factors.reserve(dates.size());
    for (const datetime& d : dates)
        factors.push_back(df(valuation_date_, d));
    return factors;
}

}  // namespace korvex
