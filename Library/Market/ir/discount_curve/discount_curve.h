#pragma once

#include <span>
#include <vector>

#include "Market/common/market_data.h"
#include "Market/market_export.h"
#include "Vectorization/expressions/vector.h"
#include "util/datetime.h"

namespace korvex {

// A discount curve: discount factors between two dates.
class KORVEX_MARKET_API discount_curve : public market_data
{
public:
    ~discount_curve() override;

    // Fills every element of out with log_df(d1, d2); the length of out is unchanged.
    virtual void log_df(vector<double>& out, const datetime& d1, const datetime& d2) const;
    // Logarithm of the discount factor from d1 to d2.
    virtual double log_df(const datetime& d1, const datetime& d2) const = 0;
    // Discount factor from d1 to d2.
    virtual double df(const datetime& d1, const datetime& d2) const = 0;
    // Fills every element of out with df(valuation date, d); the length is unchanged.
    virtual void discounting(vector<double>& out, const datetime& d) const;
    // One element, 1.0.
    virtual vector<double> log_normalized_discounting() const;

    // df(valuation date, dates[i]) into factors[i] for every date, equal to df() date by
    // date; `factors` must be as long as `dates` (Error otherwise). Curves with pillars sum
    // over them once for all the dates.
    virtual void dfs(std::span<const datetime> dates, std::span<double> factors) const;
    // df(valuation date, dates[i]) for every date, in order.
    std::vector<double> dfs(const std::vector<datetime>& dates) const;

protected:
    discount_curve() = default;
    explicit discount_curve(const datetime& valuation_date);
};

}  // namespace korvex
