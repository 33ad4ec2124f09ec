#pragma once

#include <memory>
#include <vector>

#include "Market/common/any_container.h"
#include "Market/credit/id/default_id.h"
#include "Market/credit/survival_curve/survival_curve_flat.h"
#include "Market/credit/survival_curve/survival_curve_piecewise_constant.h"
#include "Market/curve_fixtures.h"
#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/fx/fx_spot/fx_spot.h"
#include "Market/fx/id/fx_spot_id.h"
#include "Market/common/volatility_model/volatility_model_sabr.h"
#include "Market/ir/id/discount_id.h"
#include "Market/volatility_fixtures.h"

namespace korvex::testing {

inline std::shared_ptr<const default_id> acme_id()
{
    return std::make_shared<const default_id>("ACME", "EUR", "SNRFOR", "MM14", "2014");
}

inline std::shared_ptr<const discount_id> ois_usd_id()
{
    return std::make_shared<const discount_id>("OIS", "USD");
}

inline std::shared_ptr<const fx_spot_id> usd_eur_id()
{
    return std::make_shared<const fx_spot_id>("USD", "EUR");
}

inline std::shared_ptr<const survival_curve_piecewise_constant> piecewise_survival_curve()
{
    return std::make_shared<const survival_curve_piecewise_constant>(
        jan_2024, pillar_dates(), std::vector<double>{0.01, 0.015, 0.025}, act_365());
}

// Every registered class: the three identifier classes as keys (sample_ids), the seven
// market object classes as values (sample_objects, in the same order), the volatility
// surface holding the SABR volatility data.
inline std::vector<any_id> sample_ids()
{
    return {any_id(ois_usd_id()),
            any_id(std::make_shared<const discount_id>("IBOR", "EUR")),
            any_id(acme_id()),
            any_id(std::make_shared<const default_id>("ACME", "EUR", "SUBLT2", "XR", "2003")),
            any_id(std::make_shared<const default_id>("ACME", "EUR", "EQUITY", "", "")),
            any_id(usd_eur_id()),
            any_id(std::make_shared<const fx_spot_id>("GBP", "USD")),
            any_id(std::make_shared<const discount_id>("SWAPTION", "USD"))};
}

inline std::vector<any_object> sample_objects()
{
    return {any_object(piecewise_curve()),
            any_object(flat_curve()),
            any_object(std::make_shared<const survival_curve_flat>(jan_2024, 0.0125, act_365())),
            any_object(piecewise_survival_curve()),
            any_object(std::make_shared<const equity_spot>(jan_2024, 101.25)),
            any_object(std::make_shared<const fx_spot>(jan_2024, 0.9137)),
            any_object(std::make_shared<const fx_spot>(jan_2024, 1.2671)),
            any_object(volatility_surface())};
}

inline any_container sample_market() { return any_container(sample_ids(), sample_objects()); }

// Every number a market object answers at the probe dates, to compare objects bit for bit.
inline std::vector<double> object_numbers(const any_object& object)
{
    const auto data = object.get<market_data>();
    std::vector<double> numbers{data->valuation_date().as_float()};
    const auto discount = std::dynamic_pointer_cast<const discount_curve>(data);
    const auto survival = std::dynamic_pointer_cast<const survival_curve>(data);
    for (const datetime& d1 : probe_dates())
        for (const datetime& d2 : probe_dates()) {
            if (discount)
                numbers.push_back(discount->log_df(d1, d2));
            if (survival)
                numbers.push_back(survival->log_survival_probability(d1, d2));
        }
    if (const auto equity = std::dynamic_pointer_cast<const equity_spot>(data))
        numbers.push_back(equity->spot());
    if (const auto rate = std::dynamic_pointer_cast<const fx_spot>(data))
        numbers.push_back(rate->spot());
    if (const auto surface = std::dynamic_pointer_cast<const ir_volatility_surface>(data))
        for (const datetime& d1 : probe_dates())
            for (const datetime& d2 : probe_dates()) {
                const auto model =
                    std::dynamic_pointer_cast<const volatility_model_sabr>(surface->data()->model(d1, d2));
                numbers.insert(numbers.end(), {model->alpha(), model->beta(), model->nu(), model->rho(),
                                               model->shift(), model->is_skew_dampening() ? 1.0 : 0.0});
            }
    return numbers;
}

}  // namespace korvex::testing
