#include "util/bachelier.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "math/normal_distribution.h"
#include "util/analytics_common.h"

// Notation: m = |F - K| > 0, s = sigma sqrt(T), x = -m / s <= 0. The time value of the
// out-of-the-money option is v(s) = s g(x), g(x) = n(x) + x N(x), with
//     v' = n(x),   v'' = n(x) x^2 / s,   v''' = n(x) x^2 (x^2 - 3) / s^2,
// and the inversion solves ln v(s) = ln v* for s. With u = -x = m / s and r = v* / m the
// equation reads psi(u) = g(-u) / u = r, psi falling from +inf to 0; the initial guess is a
// polynomial approximation of its inverse u(r).

namespace korvex {

namespace {

constexpr const char* source_file = "Foundation/util/bachelier";
constexpr SourceLocation here(const char* function, int line) { return {function, source_file, line}; }

constexpr double eps = std::numeric_limits<double>::epsilon();
constexpr double sqrt_two_pi = 2.50662827463100050242;

// g(x) / n(x) for x <= 0: 1 + x N(x)/n(x), and below -10 the asymptotic series
// sum_k>=1 (-1)^(k+1) (2k-1)!! / x^(2k), whose terms fall below eps of the sum before they
// would grow again.
double otm_value_over_density(double x)
{
    if (x >= -10.0)
        return 1.0 + x * normal_distribution::cdf_over_density(x);
    const double w = 1.0 / (x * x);
    double term = w, sum = w;
    for (int k = 2; k < 64; ++k) {
        term *= -(2.0 * k - 1.0) * w;
        sum += term;
        if (std::fabs(term) <= 0.125 * eps * sum)
            break;
    }
    return sum;
}

// ln(1 + d): the series to d^5 where it is exact to double precision, log1p elsewhere.
double log_one_plus(double d)
{
    if (std::fabs(d) > 1e-3)
        return std::log1p(d);
    return d * (1.0 - d * (0.5 - d * (1.0 / 3.0 - d * (0.25 - d * 0.2))));
}

template <int N>
double horner(const double (&c)[N], double t)
{
    double sum = c[N - 1];
    for (int i = N - 2; i >= 0; --i)
        sum = sum * t + c[i];
    return sum;
}

// u(r) within a few 1e-7 relatively: Chebyshev interpolants of the exact inverse, written
// as polynomials in t in [-1, 1], computed with 40-digit arithmetic by
// scripts/generate_bachelier_guess.py.
//  - r >= 0.2: u = xi U(q) with xi = 1 / (r + 1/2), q = xi^2 in [0, 1/0.7^2] (u is an odd
//    function of xi, about xi / sqrt(2 pi) near the money);
//  - r < 0.2: u as a function of y = sqrt(-ln r) on four pieces up to y = 27.3, beyond the
//    smallest positive double.
constexpr double near_q_end = 2.0408163265306123;
constexpr double near_money[] = {0.437233630885583,     0.04553263044818183,   0.008924166598340253,
                                 0.002104374726681363,  0.0005477909652947536, 0.0001770969089302254,
                                 5.097487028304048e-05};

struct far_piece
{
    double y_end;
    double coefficients[9];
};

constexpr double far_y_start = 1.2686362411795196;  // sqrt(-ln 0.2)
constexpr far_piece far_pieces[] = {
    {2.2,
     {1.1809160007124013, 0.5601504989003412, 0.07376936957774945, -0.013868919843447758, -0.0008216672759323523,
      0.000996058297406101, -0.00012739581968696962, -5.305622995121752e-05, 1.828845504903165e-05}},
    {4.0,
     {3.163324011410017, 1.3974968500306986, 0.010219191446746306, -0.014855282920938897, 0.00703689863264594,
      -0.0024568340008502563, 0.000624889310979061, -1.1263061174977465e-05, -5.2165910654903976e-05}},
    {10.0,
     {9.101743813572769, 4.456721643055967, -0.06307747909917293, 0.017673896365924962, -0.004078089255771327,
      0.0009401147033263755, 0.0001737893962016717, -0.0011939351784493177, 0.0007031012255953172}},
    {27.3,
     {25.966467492525968, 12.370564620377428, -0.05197061909241293, 0.020526647714089755, -0.00824888057503293,
      0.003135083084542216, -0.0012828321011794442, 0.0008095252162303673, -0.0003226318172953475}},
};

// The guess of s for the time value v at the distance m = |F - K|: m / u(v / m), written
// near the money as (v + m/2) / U(q), which also holds where v / m overflows.
double guess_deviation(double v, double m)
{
    const double r = v / m;
    if (r >= 0.2) {
        const double xi = 1.0 / (r + 0.5), q = xi * xi;
        return (v + 0.5 * m) / horner(near_money, (2.0 * q - near_q_end) / near_q_end);
    }
    const double y = std::sqrt(-std::log(r));
    double start = far_y_start;
    for (const far_piece& piece : far_pieces) {
        if (y <= piece.y_end || &piece == &far_pieces[3])
            return m / horner(piece.coefficients, (2.0 * y - start - piece.y_end) / (piece.y_end - start));
        start = piece.y_end;
    }
    return 0.0;  // not reached
}

// s with s g(-m / s) = v, for m > 0 and v > 0. Householder steps of order four on
// ln v(s) - ln v; from the guess one step leaves an error near (1e-6)^4, so the steps stop
// once a step is below 1e-5 s (the next would be below eps s), or below 2 eps s.
double implied_deviation(double v, double m)
{
    double s = guess_deviation(v, m);
    for (int n = 0; n < 8; ++n) {
        const double x = -m / s;
        const double density = normal_distribution::density_function(x);
        const double value = s * density * otm_value_over_density(x);
        if (!(value > 0.0))
            break;  // the guess is as good as double precision allows
        const double p = density / value, c2 = x * x / s, c3 = c2 * (c2 - 3.0 / s);
        const double newton = -log_one_plus((value - v) / v) / p;
        const double halley = c2 - p, third = c3 - 3.0 * c2 * p + 2.0 * p * p;
        const double ds = std::max(-0.5 * s, newton * (1.0 + 0.5 * halley * newton) /
                                                 (1.0 + newton * (halley + third * newton / 6.0)));
        s += ds;
        if (std::fabs(ds) <= 1e-5 * s)
            break;
    }
    return s;
}

void check_inputs(const char* function, int line, double strike, double forward, double expiry, double sign)
{
    details::require(std::isfinite(strike), here(function, line), "The strike must be finite", strike);
    details::require(std::isfinite(forward), here(function, line), "The forward must be finite", forward);
    details::require(std::isfinite(forward - strike), here(function, line),
                     "The forward and the strike must differ by a finite amount", forward - strike);
    details::require(details::is_non_negative_finite(expiry), here(function, line),
                     "The expiry must be non-negative and finite", expiry);
    details::require(details::is_option_sign(sign), here(function, line),
                     "The sign must be +1 (a call) or -1 (a put)", sign);
}

}  // namespace

double bachelier::price(double strike, double forward, double expiry, double volatility, double annuity,
                        double sign)
{
    check_inputs("price", __LINE__, strike, forward, expiry, sign);
    details::require(details::is_non_negative_finite(volatility), here("price", __LINE__),
                     "The volatility must be non-negative and finite", volatility);
    details::require(std::isfinite(annuity), here("price", __LINE__), "The annuity must be finite", annuity);
    const double intrinsic = std::max(sign * (forward - strike), 0.0);
    const double s = volatility * std::sqrt(expiry);
    if (s == 0.0)
        return annuity * intrinsic;
    const double x = -std::fabs(forward - strike) / s;
    return annuity * (intrinsic + s * normal_distribution::density_function(x) * otm_value_over_density(x));
}

double bachelier::implied_volatility(double strike, double forward, double expiry, double price, double annuity,
                                     double sign)
{
    check_inputs("implied_volatility", __LINE__, strike, forward, expiry, sign);
    details::require(details::is_positive_finite(annuity), here("implied_volatility", __LINE__),
                     "The annuity must be positive and finite", annuity);
    details::require(std::isfinite(price), here("implied_volatility", __LINE__), "The price must be finite", price);
    details::require(expiry > 0.0, here("implied_volatility", __LINE__),
                     "The expiry must be positive for an implied volatility", expiry);

    const double intrinsic = std::max(sign * (forward - strike), 0.0);
    const double time_value = price / annuity - intrinsic;
    if (time_value < -4.0 * eps * intrinsic)
        details::check_fail(here("implied_volatility", __LINE__),
                            details::concat("The price ", details::exact_number(price),
                                            " is below the intrinsic value ",
                                            details::exact_number(annuity * intrinsic),
                                            " of the option; it has no implied volatility"));
    if (time_value <= 0.0)
        return 0.0;
    const double m = std::fabs(forward - strike);
    const double s = m == 0.0 ? sqrt_two_pi * time_value : implied_deviation(time_value, m);
    return s / std::sqrt(expiry);
}

}  // namespace korvex
