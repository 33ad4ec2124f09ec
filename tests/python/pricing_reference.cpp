// Prices options with the C++ library directly, for the Python tests to compare with the
// bindings bit for bit. Each input line holds
//   valuation spot rate carry volatility accuracy type strike expiry exercise
//   [direction kind level rebate payment]
// (dates as serial numbers, enumerations as their integer values, a barrier where the five
// last fields are given); each output line the price, delta, gamma, theta and vega in
// hexadecimal floating point, or "error <what()>".
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Pricing/black_scholes/price_black_scholes.h"
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

black_scholes_result price_line(std::istringstream& in)
{
    double valuation, spot, rate, carry, volatility, accuracy;
    in >> valuation >> spot >> rate >> carry >> volatility >> accuracy;
    const datetime today(valuation);
    const auto act_365 = std::make_shared<const day_count_convention>(act_365_fixed);
    const black_scholes_market market(pricing::market(std::make_shared<const equity_spot>(today, spot),
                                                      std::make_shared<const discount_curve_flat>(today, rate, act_365),
                                                      std::make_shared<const discount_curve_flat>(today, carry, act_365)),
                                      volatility);
    vanilla_option option;
    option.type = enum_of<option_type>(in);
    double expiry = 0.0;
    in >> option.strike >> expiry;
    option.expiry = datetime(expiry);
    option.exercise = enum_of<exercise_type>(in);
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
            const black_scholes_result r = price_line(in);
            std::printf("%a %a %a %a %a\n", r.price, r.delta, r.gamma, r.theta, r.vega);
        } catch (const std::exception& e) {
            std::printf("error %s\n", e.what());
        }
    }
    return 0;
}
