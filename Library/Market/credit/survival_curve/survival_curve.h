#pragma once

#include <span>

#include "Market/common/market_data.h"
#include "Market/market_export.h"
#include "Vectorization/expressions/vector.h"
#include "util/datetime.h"

namespace korvex {

// A credit curve: the probability that a name survives from one date to another.
class KORVEX_MARKET_API survival_curve : public market_data
{
public:
    ~survival_curve() override;

    // Fills every element of out with log_survival_probability(d1, d2); the length of out
    // is unchanged.
    virtual void log_survival_probability(vector<double>& out, const datetime& d1, const datetime& d2) const;
    // Logarithm of the probability of surviving from d1 to d2.
    virtual double log_survival_probability(const datetime& d1, const datetime& d2) const = 0;
    // Fills every element of out with survival_probability(valuation date, d); the length
    // is unchanged.
    virtual void survival_probability(vector<double>& out, const datetime& d) const;
    // Probability of surviving from d1 to d2.
    virtual double survival_probability(const datetime& d1, const datetime& d2) const = 0;
    // survival_probability(valuation date, dates[i]) into probabilities[i] for every date,
    // equal to it date by date; `probabilities` must be as long as `dates` (Error
    // otherwise). Curves with pillars sum over them once for all the dates.
    virtual void survival_probabilities(std::span<const datetime> dates, std::span<double> probabilities) const;

protected:
    survival_curve() = default;
    explicit survival_curve(const datetime& valuation_date);
};

}  // namespace korvex
