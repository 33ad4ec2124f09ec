#pragma once

// Identifiers, spots and survival curves for the seed corpora of the identifier, spot,
// survival curve and data container targets.

#include <limits>
#include <memory>
#include <vector>

#include "Market/common/any_container.h"
#include "Market/credit/id/default_id.h"
#include "Market/credit/survival_curve/survival_curve_flat.h"
#include "Market/credit/survival_curve/survival_curve_piecewise_constant.h"
#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/fx/fx_spot/fx_spot.h"
#include "Market/fx/id/fx_spot_id.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"
#include "Market/ir/id/discount_id.h"
#include "curve_samples.h"

namespace korvex::fuzzing {

inline const datetime sample_valuation(45292.0);

inline std::vector<datetime> sample_pillars()
{
    return {datetime(45474.0), datetime(45658.0), datetime(46023.0)};
}

inline std::vector<std::shared_ptr<const default_id>> sample_default_ids()
{
    return {nullptr, std::make_shared<const default_id>("ACME", "EUR", "SNRFOR", "MM14", "2014"),
            std::make_shared<const default_id>("", "JPY \xe2\x82\xac", "", "", "")};
}

inline std::vector<std::shared_ptr<const discount_id>> sample_discount_ids()
{
    return {nullptr, std::make_shared<const discount_id>("OIS", "USD"),
            std::make_shared<const discount_id>("\xe2\x82\xacSTR", "EUR")};
}

inline std::vector<std::shared_ptr<const fx_spot_id>> sample_fx_spot_ids()
{
    return {nullptr, std::make_shared<const fx_spot_id>("USD", "EUR"), std::make_shared<const fx_spot_id>("EUR", "USD")};
}

inline std::vector<std::shared_ptr<const survival_curve_flat>> sample_survival_curves_flat()
{
    std::vector<std::shared_ptr<const survival_curve_flat>> curves{nullptr};
    double rate = 0.02;
    for (const auto& convention : sample_conventions()) {
        curves.push_back(std::make_shared<const survival_curve_flat>(sample_valuation, rate, convention));
        rate -= 0.0071;
    }
    return curves;
}

inline std::vector<std::shared_ptr<const survival_curve_piecewise_constant>> sample_survival_curves_piecewise()
{
    std::vector<std::shared_ptr<const survival_curve_piecewise_constant>> curves{nullptr};
    for (const auto& convention : sample_conventions())
        curves.push_back(std::make_shared<const survival_curve_piecewise_constant>(
            sample_valuation, sample_pillars(), std::vector<double>{0.01, 0.0, 1.0 / 7.0}, convention));
    curves.push_back(std::make_shared<const survival_curve_piecewise_constant>(
        sample_valuation, std::vector<datetime>{}, std::vector<double>{}, sample_conventions()[0]));
    return curves;
}

template <class Spot>
std::vector<std::shared_ptr<const Spot>> sample_spots()
{
    return {nullptr, std::make_shared<const Spot>(sample_valuation, 101.25),
            std::make_shared<const Spot>(datetime(45292.75), -0.5),
            std::make_shared<const Spot>(sample_valuation, std::numeric_limits<double>::quiet_NaN())};
}

// One identifier of each class, and one market object of each class.
inline std::vector<any_id> sample_any_ids()
{
    return {any_id(sample_discount_ids()[1]), any_id(sample_default_ids()[1]), any_id(sample_fx_spot_ids()[1]),
            any_id(sample_discount_ids()[2]), any_id(sample_default_ids()[2]), any_id(sample_fx_spot_ids()[2])};
}

inline std::vector<any_object> sample_any_objects()
{
    const auto convention = sample_conventions()[3];
    return {any_object(std::make_shared<const discount_curve_flat>(sample_valuation, 0.03, convention)),
            any_object(std::make_shared<const discount_curve_piecewise_constant>(
                sample_valuation, sample_pillars(), std::vector<double>{0.02, 0.025, 0.03}, convention)),
            any_object(sample_survival_curves_flat()[1]),
            any_object(sample_survival_curves_piecewise()[4]),
            any_object(sample_spots<equity_spot>()[1]),
            any_object(sample_spots<fx_spot>()[1])};
}

}  // namespace korvex::fuzzing
