#include "util/bachelier.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
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

// A far piece: the polynomial in t = (2y - start - end) / (end - start) = y scale - offset.
struct far_piece
{
    double start, end;
    double coefficients[9];

    constexpr double scale() const { return 2.0 / (end - start); }
    constexpr double offset() const { return (start + end) / (end - start); }
};

constexpr far_piece far_pieces[] = {
    {1.2686362411795196,  // sqrt(-ln 0.2)
     2.2,
     {1.1809160007124013, 0.5601504989003412, 0.07376936957774945, -0.013868919843447758, -0.0008216672759323523,
      0.000996058297406101, -0.00012739581968696962, -5.305622995121752e-05, 1.828845504903165e-05}},
    {2.2,
     4.0,
     {3.163324011410017, 1.3974968500306986, 0.010219191446746306, -0.014855282920938897, 0.00703689863264594,
      -0.0024568340008502563, 0.000624889310979061, -1.1263061174977465e-05, -5.2165910654903976e-05}},
    {4.0,
     10.0,
     {9.101743813572769, 4.456721643055967, -0.06307747909917293, 0.017673896365924962, -0.004078089255771327,
      0.0009401147033263755, 0.0001737893962016717, -0.0011939351784493177, 0.0007031012255953172}},
    {10.0,
     27.3,
     {25.966467492525968, 12.370564620377428, -0.05197061909241293, 0.020526647714089755, -0.00824888057503293,
      0.003135083084542216, -0.0012828321011794442, 0.0008095252162303673, -0.0003226318172953475}},
};

// The piece is chosen by index: clang 14 refuses an array element as a reference template
// argument.
template <std::size_t Index>
double far_polynomial(double y)
{
    constexpr const far_piece& piece = far_pieces[Index];
    constexpr double scale = piece.scale(), offset = piece.offset();
    return horner(piece.coefficients, y * scale - offset);
}

// u = m / s for the time value v at the distance m = |F - K|, given 1/m: u(v / m), written
// near the money as m U(q) / (v + m/2), which also holds where v / m overflows.
double guess_u(double v, double m, double inverse_m)
{
    const double r = v * inverse_m;
    if (r >= 0.2) {
        const double xi = 1.0 / (r + 0.5), q = xi * xi;
        return m * horner(near_money, q * (2.0 / near_q_end) - 1.0) / (v + 0.5 * m);
    }
    const double y = std::sqrt(-std::log(r));
    if (y <= far_pieces[1].start)
        return far_polynomial<0>(y);
    if (y <= far_pieces[2].start)
        return far_polynomial<1>(y);
    if (y <= far_pieces[3].start)
        return far_polynomial<2>(y);
    return far_polynomial<3>(y);
}

// s with s g(-m / s) = v, for m > 0 and v > 0. Householder steps of order four on
// ln v(s) - ln v; from the guess one step leaves an error near (1e-6)^4, so the steps stop
// once a step is below 1e-5 s (the next would be below eps s).
double implied_deviation(double v, double m)
{
    const double inverse_m = 1.0 / m;
    const double u = guess_u(v, m, inverse_m);
    double s = m / u;
    for (int n = 0; n < 8; ++n) {
        const double inverse_s = n == 0 ? u * inverse_m : 1.0 / s, x = n == 0 ? -u : -m * inverse_s;
        const double density = normal_distribution::density_function(x);
        const double ratio = otm_value_over_density(x);  // g / n, so that v'/v = 1 / (s ratio)
        const double value = s * density * ratio;
        if (!(value > 0.0))
            break;  // the guess is as good as double precision allows
        const double p = inverse_s / ratio, c2 = x * x * inverse_s, c3 = c2 * (c2 - 3.0 * inverse_s);
        const double newton = -log_one_plus((value - v) / v) * s * ratio;
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
    details::require_expiry_and_sign(expiry, sign, here(function, line));
}

}  // namespace

double bachelier::price(double strike, double forward, double expiry, double volatility, double annuity,
                        double sign)
{
    check_inputs("price", __LINE__, strike, forward, expiry, sign);
    details::require_volatility_and_annuity(volatility, annuity, here("price", __LINE__));
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
    // One test for the usual inputs; the checks name the first input that fails it.
    const bool usual = std::isfinite(forward - strike) && details::is_positive_finite(expiry) &&
                       details::is_option_sign(sign) && details::is_positive_finite(annuity) && std::isfinite(price);
    if (!usual) {
        check_inputs("implied_volatility", __LINE__, strike, forward, expiry, sign);
        details::require_price_and_annuity(price, annuity, expiry, here("implied_volatility", __LINE__));
    }
    const double intrinsic = std::max(sign * (forward - strike), 0.0);
    const double time_value = details::time_value(price, annuity, intrinsic, here("implied_volatility", __LINE__));
    if (time_value <= 0.0)
        return 0.0;
    const double m = std::fabs(forward - strike);
    const double s = m == 0.0 ? sqrt_two_pi * time_value : implied_deviation(time_value, m);
    return s / std::sqrt(expiry);
}

}  // namespace korvex
