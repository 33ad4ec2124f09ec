#include "Market/credit/survival_curve/survival_curve.h"

#include "Market/common/piecewise_constant_integral.h"

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

void survival_curve::survival_probabilities(std::span<const datetime> dates, std::span<double> probabilities) const
{
    details::check_batch_sizes(dates.size(), probabilities.size(),
                               {"survival_probabilities", "Library/Market/credit/survival_curve/survival_curve", __LINE__});
    for (std::size_t i = 0; i < dates.size(); ++i)
        probabilities[i] = survival_probability(valuation_date_, dates[i]);
}

}  // namespace korvex
