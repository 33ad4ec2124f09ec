// Prices options with the C++ library directly, for the Python tests to compare with the
// bindings bit for bit. Each input line holds
//   valuation spot rate carry volatility accuracy type strike expiry exercise
//   [direction kind level rebate payment]
// (dates as serial numbers, enumerations as their integer values, a barrier where the five
// last fields are given); each output line the price, delta, gamma, theta and vega in
// hexadecimal floating point, or "error <what()>". A line that starts with "heston" holds
//   heston valuation spot rate carry v0 kappa eta sigma rho spot_points variance_points
//   time_steps type strike expiry exercise
// and gives the Heston price, delta, gamma and theta.
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Pricing/black_scholes/price_black_scholes.h"
#include "Pricing/heston/price_heston.h"
#include "util/day_count_convention.h"

using namespace korvex;
using namespace korvex::pricing;

namespace {

template <class Enum>
Enum enum_of(std::istream& in)
{
    int code = 0;
    in >> code;
    return static_cast<Enum>(code);
}

pricing::market market_of(double valuation, double spot, double rate, double carry)
{
    const datetime today(valuation);
    const auto act_365 = std::make_shared<const day_count_convention>(act_365_fixed);
    return pricing::market(std::make_shared<const equity_spot>(today, spot),
                           std::make_shared<const discount_curve_flat>(today, rate, act_365),
                           std::make_shared<const discount_curve_flat>(today, carry, act_365));
}

vanilla_option vanilla_of(std::istream& in)
{
    vanilla_option option;
    option.type = enum_of<option_type>(in);
    double expiry = 0.0;
    in >> option.strike >> expiry;
    option.expiry = datetime(expiry);
    option.exercise = enum_of<exercise_type>(in);
    return option;
}

heston_result price_heston_line(std::istringstream& in)
{
    double valuation, spot, rate, carry, v0, kappa, eta, sigma, rho;
    in >> valuation >> spot >> rate >> carry >> v0 >> kappa >> eta >> sigma >> rho;
    heston_settings settings;
    in >> settings.spot_points >> settings.variance_points >> settings.time_steps;
    const vanilla_option option = vanilla_of(in);
    return price_heston(option, market_of(valuation, spot, rate, carry), heston_parameters(v0, kappa, eta, sigma, rho),
                        settings);
}

black_scholes_result price_line(std::istringstream& in)
{
    double valuation, spot, rate, carry, volatility, accuracy;
    in >> valuation >> spot >> rate >> carry >> volatility >> accuracy;
    const black_scholes_market market(market_of(valuation, spot, rate, carry), volatility);
    const vanilla_option option = vanilla_of(in);
    black_scholes_settings settings;
    settings.accuracy = accuracy;
    barrier_option barrier;
    barrier.option = option;
    barrier.direction = enum_of<barrier_direction>(in);
    if (!in)
        return price_black_scholes(option, market, settings);
    barrier.kind = enum_of<barrier_kind>(in);
    in >> barrier.level >> barrier.rebate;
    barrier.payment = enum_of<rebate_payment>(in);
    return price_black_scholes(barrier, market, settings);
}

}  // namespace

int main()
{
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream in(line);
        try {
            if (line.starts_with("heston")) {
                in.ignore(6);
                const heston_result r = price_heston_line(in);
                std::printf("%a %a %a %a\n", r.price, r.delta, r.gamma, r.theta);
                continue;
            }
            const black_scholes_result r = price_line(in);
            std::printf("%a %a %a %a %a\n", r.price, r.delta, r.gamma, r.theta, r.vega);
        } catch (const std::exception& e) {
            std::printf("error %s\n", e.what());
        }
    }
    return 0;
}
