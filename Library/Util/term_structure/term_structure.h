#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "core/check_fail.h"
#include "core/multi_process_stream.h"
#include "util/datetime.h"
#include "util/datetime_helper.h"

namespace korvex {

namespace details {
struct serialization_access;
}

// Values attached to ascending pillar dates, with a rule that maps any date to a value:
//  - type 0: the value of the last pillar not after the date (the first pillar's value
//    before the first pillar);
//  - type 1: the value of the first pillar not before the date (the last pillar's value
//    after the last pillar);
//  - any other type: the first value, whatever the date.
// Between two pillars the structure is therefore constant: type 0 holds y[k] on
// (x[k], x[k+1]), type 1 holds y[k+1].
//
// The pillar dates are expected ascending; this is not checked. Queries refuse, with
// Error, a structure without pillars or whose dates and values differ in number (only a
// structure read from a file can be so).
template <class Values>
class term_structure
{
public:
    using value_type = typename Values::value_type;

    term_structure(const std::vector<datetime>& x, const Values& y, std::int32_t type)
        : x_(x), y_(y), type_(type)
    {
        if (x_.size() != y_.size())
            details::check_fail(same_size_location, " The term structure should have the same size");
    }

    const std::vector<datetime>& x() const noexcept { return x_; }
    const Values& y() const noexcept { return y_; }
    std::int32_t type() const noexcept { return type_; }

    // The value at date t.
    value_type value_at(const datetime& t) const
    {
        check_queryable();
        return y_[index_at(t)];
    }

    // The sum over the sub-intervals of [d1, d2] of fraction(a, b) × the value held on
    // (a, b). With i1 the first pillar not before d1 and i2 the last pillar not after d2:
    //  - when no pillar separates the dates (i1 > i2): fraction(d1, d2) × value_at(d1);
    //  - otherwise, accumulated in this order with fused multiply-adds from 0:
    //    fraction(d1, x[i1]) × value_at(d1), then for each inner interval
    //    fraction(x[k], x[k+1]) × the value held inside it, then fraction(x[i2], d2) ×
    //    value_at(d2).
    // Every sub-interval takes the value the structure holds on it, so the sum is
    // continuous in both dates and additive over adjacent spans. With d2 before d1 the
    // result is minus the sum from d2 to d1.
    //
    // `fraction(a, b)` is the year fraction. `inner_fractions`, when given, holds
    // fraction(x[k], x[k+1]) for every k (see inner_fractions()), sparing repeated
    // calls on the pillar grid.
    template <class Fraction>
    double integral(const datetime& d1, const datetime& d2, const Fraction& fraction,
                    const double* inner_fractions = nullptr) const
    {
        check_queryable();
        if (d2 < d1)
            return -integral(d2, d1, fraction, inner_fractions);
        const std::size_t i1 = datetime_helper::find_index(d1, x_, true);
        const std::size_t i2 = datetime_helper::find_index(d2, x_, false);
        const double start_value = y_[start_index(d1, i1)];
        if (i1 > i2)
            return fraction(d1, d2) * start_value;
        double sum = std::fma(fraction(d1, x_[i1]), start_value, 0.0);
        sum = inner_sum(i1, i2, sum, fraction, inner_fractions);
        return std::fma(fraction(x_[i2], d2), y_[end_index(d2, i2)], sum);
    }

    // fraction(x[k], x[k+1]) for k = 0 ... n-2, for integral().
    template <class Fraction>
    std::vector<double> inner_fractions(const Fraction& fraction) const
    {
        std::vector<double> fractions;
        for (std::size_t k = 0; k + 1 < x_.size(); ++k)
            fractions.push_back(fraction(x_[k], x_[k + 1]));
        return fractions;
    }

private:
    friend struct details::serialization_access;

    static constexpr const char* source_file = "Library/Util/term_structure/term_structure";
    static constexpr SourceLocation same_size_location{"term_structure", source_file, 29};

    static constexpr SourceLocation at_line(const char* function, int line)
    {
        return {function, source_file, line};
    }

    // Empty, type 0: the state a reader starts from.
    term_structure() = default;

    void check_queryable() const
    {
        if (x_.empty())
            details::check_fail(at_line("check_queryable", __LINE__), "The term structure has no pillars");
        if (x_.size() != y_.size())
            details::check_fail(at_line("check_queryable", __LINE__),
                                details::concat("The term structure has ", x_.size(),
                                                " pillar dates but ", y_.size(), " values"));
    }

    std::size_t index_at(const datetime& t) const
    {
        switch (type_) {
        case 0: return datetime_helper::find_index(t, x_, false);
        case 1: return datetime_helper::find_index(t, x_, true);
        default: return 0;
        }
    }

    // index_at(d1), knowing i1 = find_index(d1, x, true). Unless d1 is on a pillar (which
    // may repeat), the last pillar not after d1 is i1 or its predecessor: no new search.
    std::size_t start_index(const datetime& d1, std::size_t i1) const
    {
        if (type_ == 1)
            return i1;
        if (type_ == 0 && d1 < x_[i1])
            return i1 == 0 ? 0 : i1 - 1;
        if (type_ == 0 && x_[i1] < d1)
            return i1;  // d1 is after every pillar
        return index_at(d1);
    }

    // index_at(d2), knowing i2 = find_index(d2, x, false); the mirror of start_index.
    std::size_t end_index(const datetime& d2, std::size_t i2) const
    {
        if (type_ == 0)
            return i2;
        if (type_ == 1 && x_[i2] < d2)
            return std::min(i2 + 1, x_.size() - 1);
        if (type_ == 1 && d2 < x_[i2])
            return i2;  // d2 is before every pillar
        return index_at(d2);
    }

    // Adds fraction(x[k], x[k+1]) × the value held on (x[k], x[k+1]) for k = i1 ... i2-1.
    template <class Fraction>
    double inner_sum(std::size_t i1, std::size_t i2, double sum, const Fraction& fraction,
                     const double* inner_fractions) const
    {
        const double* values = y_.data() + index_inside(0);
        const std::size_t stride = index_inside(1) - index_inside(0);
        if (inner_fractions != nullptr) {
            for (std::size_t k = i1; k < i2; ++k)
                sum = std::fma(inner_fractions[k], values[k * stride], sum);
            return sum;
        }
        for (std::size_t k = i1; k < i2; ++k)
            sum = std::fma(fraction(x_[k], x_[k + 1]), values[k * stride], sum);
        return sum;
    }

    // Position of the value held on the open interval (x[k], x[k+1]).
    std::size_t index_inside(std::size_t k) const
    {
        switch (type_) {
        case 0: return k;
        case 1: return k + 1;
        default: return 0;
        }
    }

    void save(nlohmann::ordered_json& record) const;
    void load(nlohmann::ordered_json& record);
    void save(multi_process_stream& record) const;
    void load(multi_process_stream& record);

    std::vector<datetime> x_;
    Values y_;
    std::int32_t type_ = 0;

public:
    // integral(d1, ends[i], fraction, inner_fractions) into out[i] for every i (`out` as
    // long as `ends`), equal to it bit for bit: the partial sums from d1 up to each pillar
    // are formed once, in integral()'s order, and each end adds its last term. The pillar
    // of an end is found from the previous end's by a few steps forward (ascending ends cost
    // no search), otherwise by bisection; pillars must be ascending, as the curves ensure.
    // Ends before d1 (and NaN) take integral() itself.
    template <class Fraction>
    void integrals(const datetime& d1, std::span<const datetime> ends, std::span<double> out,
                   const Fraction& fraction, const double* inner_fractions = nullptr) const
    {
        if (ends.empty())
            return;
        check_queryable();
        const std::size_t i1 = datetime_helper::find_index(d1, x_, true);
        const double start_value = y_[start_index(d1, i1)];
        const std::vector<double> sums = partial_sums(d1, i1, start_value, fraction, inner_fractions);
        std::size_t i2 = 0;
        for (std::size_t i = 0; i < ends.size(); ++i) {
            const datetime& d2 = ends[i];
            if (!(d1 <= d2)) {
                out[i] = integral(d1, d2, fraction, inner_fractions);
                continue;
            }
            i2 = last_pillar_not_after(d2, i2);
            out[i] = i1 > i2 ? fraction(d1, d2) * start_value
                             : std::fma(fraction(x_[i2], d2), y_[end_index(d2, i2)], sums[i2]);
        }
    }

private:
    // sums[k] for k >= i1: what integral(d1, d2) has summed before its last term when the
    // last pillar not after d2 is k (i1 being the first pillar not before d1).
    template <class Fraction>
    std::vector<double> partial_sums(const datetime& d1, std::size_t i1, double start_value,
                                     const Fraction& fraction, const double* inner_fractions) const
    {
        std::vector<double> sums(x_.size());
        sums[i1] = std::fma(fraction(d1, x_[i1]), start_value, 0.0);
        for (std::size_t k = i1; k + 1 < x_.size(); ++k)
            sums[k + 1] = inner_sum(k, k + 1, sums[k], fraction, inner_fractions);
        return sums;
    }

    // find_index(d, x, false), starting from the answer `from` for an earlier date.
    std::size_t last_pillar_not_after(const datetime& d, std::size_t from) const
    {
        constexpr std::size_t steps = 4;
        if (x_[from] <= d || from == 0) {
            std::size_t k = from;
            for (std::size_t n = 0; n < steps && k + 1 < x_.size() && x_[k + 1] <= d; ++n)
                ++k;
            if (k + 1 == x_.size() || d < x_[k + 1])
                return k;
        }
        return datetime_helper::find_index(d, x_, false);
    }
};

}  // namespace korvex
