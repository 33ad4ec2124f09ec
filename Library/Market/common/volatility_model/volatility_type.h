#pragma once

namespace korvex {

// The kind of implied volatility volatility_model::implied_volatility returns. Other values
// of the underlying int are refused there with Error.
enum volatility_type : int
{
    normal = 0,     // Bachelier's model, bachelier::implied_volatility
    lognormal = 1,  // Black's model, black_scholes::implied_volatility
};

}  // namespace korvex
