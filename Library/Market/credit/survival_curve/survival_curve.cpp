#include "Market/credit/survival_curve/survival_curve.h"

namespace korvex {

survival_curve::survival_curve(const datetime& valuation_date) : market_data(valuation_date) {}

survival_curve::~survival_curve() = default;

void survival_curve::log_survival_probability(vector<double>& out, const datetime& d1, const datetime& d2) const
{
    out = log_survival_probability(d1, d2);
}

void survival_curve::survival_probability(vector<double>& out, const datetime& d) const
{
    out = survival_probability(valuation_date_, d);
}

}  // namespace korvex
