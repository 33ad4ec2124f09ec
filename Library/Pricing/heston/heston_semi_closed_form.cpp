#include <algorithm>
#include <cmath>
#include <complex>

#include "Pricing/heston/heston_problem.h"
#include "Pricing/heston/price_heston.h"
#include "core/check_fail.h"

namespace korvex::pricing {

namespace {

constexpr const char* source = "Library/Pricing/heston/heston_semi_closed_form";

using complex = std::complex<double>;

// E[exp(i u ln(S_T / F))] in the "little Heston trap" form, F the forward to expiry.
complex log_moneyness_characteristic(const heston_parameters& m, double years, complex u)
{
    const complex i(0.0, 1.0);
    const double sigma2 = m.sigma() * m.sigma();
    const complex beta = m.kappa() - m.rho() * m.sigma() * i * u;
    const complex d = std::sqrt(beta * beta + sigma2 * (i * u + u * u));
    // beta - d = -sigma^2 (i u + u^2) / (beta + d), without the cancellation of a small
    // sigma (beta close to d); divided by sigma^2 here.
    const complex gap = -(i * u + u * u) / (beta + d);
    const complex g = sigma2 * gap / (beta + d);
    const complex decay = std::exp(-d * years);
    const complex c = m.kappa() * m.eta() * (gap * years - 2.0 / sigma2 * std::log((1.0 - g * decay) / (1.0 - g)));
    const complex v = gap * (1.0 - decay) / (1.0 - g * decay);
    return std::exp(c + v * m.v0());
}

// Adaptive Gauss-Kronrod (7 and 15 points) on [a, b] to an absolute tolerance, halved with
// every split. A piece also counts as done when the two rules agree to rounding, 50 machine
// epsilons of the integral of |f| over it (QUADPACK's roundoff test): without that floor an
// integrand whose rounding noise exceeds the tolerance splits to `depth` everywhere.
template <class F>
double gauss_kronrod(const F& f, double a, double b, double tolerance, int depth)
{
    static constexpr double nodes[8] = {0.991455371120812639206854697526329, 0.949107912342758524526189684047851,
                                        0.864864423359769072789712788640926, 0.741531185599394439863864773280788,
                                        0.586087235467691130294144845693013, 0.405845151377397166906606412076961,
                                        0.207784955007898467600689403773245, 0.0};
    static constexpr double kronrod[8] = {0.022935322010529224963732008058970, 0.063092092629978553290700663189204,
                                          0.104790010322250183839876322541518, 0.140653259715525918745189590510238,
                                          0.169004726639267902826583426598550, 0.190350578064785409913256402421014,
                                          0.204432940075298892414161999234649, 0.209482141084727828012999174891714};
    // The Gauss weights of the nodes 1, 3, 5 and 7.
    static constexpr double gauss[4] = {0.129484966168869693270611432679082, 0.279705391489276667901467771423780,
                                        0.381830050505118944950369775488975, 0.417959183673469387755102040816327};
    constexpr double rounding = 50.0 * 2.220446049250313e-16;
    const double centre = 0.5 * (a + b);
    const double half = 0.5 * (b - a);
    const double middle = f(centre);
    double k15 = kronrod[7] * middle;
    double g7 = gauss[3] * middle;
    double magnitude = kronrod[7] * std::fabs(middle);
    for (int j = 0; j < 7; ++j) {
        const double below = f(centre - half * nodes[j]);
        const double above = f(centre + half * nodes[j]);
        k15 += kronrod[j] * (below + above);
        magnitude += kronrod[j] * (std::fabs(below) + std::fabs(above));
        if (j % 2 == 1)
            g7 += gauss[j / 2] * (below + above);
    }
    k15 *= half;
    g7 *= half;
    const double gap = std::fabs(k15 - g7);
    if (gap <= std::max(tolerance, 1e-14) || gap <= rounding * half * magnitude || depth == 0)
        return k15;
    return gauss_kronrod(f, a, centre, 0.5 * tolerance, depth - 1) +
           gauss_kronrod(f, centre, b, 0.5 * tolerance, depth - 1);
}

// The undiscounted call in units of the forward, on log-moneyness k = ln(K / F):
// (1 - e^k) / 2 + (1 / pi) integral_0^inf Re[e^(-i u k) (phi(u - i) - e^k phi(u)) / (i u)] du.
double forward_call(const heston_parameters& m, double years, double log_moneyness)
{
    const complex i(0.0, 1.0);
    const double moneyness = std::exp(log_moneyness);
    const auto integrand = [&](double u) {
        const complex spot_measure = log_moneyness_characteristic(m, years, u - i);
        const complex money_measure = log_moneyness_characteristic(m, years, u);
        return std::real(std::exp(-i * u * log_moneyness) * (spot_measure - moneyness * money_measure) / (i * u));
    };
    const auto mapped = [&](double t) { return integrand(t / (1.0 - t)) / ((1.0 - t) * (1.0 - t)); };
    const double pi = 3.141592653589793;
    return 0.5 * (1.0 - moneyness) + gauss_kronrod(mapped, 0.0, 1.0, 1e-12, 40) / pi;
}

}  // namespace

double heston_semi_closed_form(const vanilla_option& option, const market& market, const heston_parameters& heston)
{
    const details::heston_problem p = details::heston_problem::of(option, market, heston);
    if (p.american)
        korvex::details::check_fail({"heston_semi_closed_form", source, __LINE__},
                                    "the semi-closed form prices European options only");
    const double forward = p.spot * p.carry_df / p.rate_df;
    const double call = p.rate_df * forward * forward_call(heston, p.years, std::log(p.strike / forward));
    return p.sign > 0.0 ? call : call - p.rate_df * (forward - p.strike);
}

}  // namespace korvex::pricing
