// Prices European calls under the Heston model (K = S = 100, v0 = eta) on the four test cases
// of in 't Hout and Foulon with the alternating-direction schemes, and compares with the
// semi-closed form; then reads values and Greeks off the grid away from the money.

#include <cstdio>
#include <vector>

#include "heston_model.h"

int main()
{
    using namespace korvex;
    using namespace korvex::heston;

    struct test_case
    {
        const char* name;
        model parameters;  // kappa, eta, sigma, rho, r_d, r_f
        double years;
    };
    const test_case cases[] = {
        {"A", {1.5, 0.04, 0.3, -0.9, 0.025, 0.0}, 1.0},
        {"B", {3.0, 0.12, 0.04, 0.6, 0.01, 0.04}, 1.0},
        {"C", {0.6067, 0.0707, 0.2928, -0.7571, 0.03, 0.0}, 3.0},
        {"D", {2.5, 0.06, 0.5, -0.1, 0.0507, 0.0469}, 0.25},
    };
    struct scheme_run
    {
        const char* name;
        pde_scheme_type type;
        std::size_t time_steps;
    };
    const scheme_run schemes[] = {
        {"hundsdorfer_verwer", adi_hundsdorfer_verwer, 50},
        {"modified_craig_sneyd", adi_modified_craig_sneyd, 50},
        {"craig_sneyd", adi_craig_sneyd, 100},
        {"douglas", adi_douglas, 200},
    };

    struct grid
    {
        std::size_t spot_points;
        std::size_t variance_points;
        std::size_t spot_stencil;
    };
    const grid grids[] = {{200, 100, 3}, {100, 50, 5}};

    for (const grid& g : grids) {
        std::printf("Heston European calls, K = S = 100, v0 = eta; spot x variance grid %zu x %zu, "
                    "%zu-point spot stencils\n",
                    g.spot_points, g.variance_points, g.spot_stencil);
        std::printf("%-5s %-22s %6s %14s %14s %10s\n", "case", "scheme", "steps", "ADI", "semi-closed", "error");
        for (const test_case& c : cases) {
            call_option option;
            option.variance = c.parameters.eta;
            option.years = c.years;
            const double exact = semi_closed_form(c.parameters, option);
            for (const scheme_run& run : schemes) {
                settings s;
                s.type = run.type;
                s.spot_points = g.spot_points;
                s.variance_points = g.variance_points;
                s.spot_stencil = g.spot_stencil;
                s.time_steps = run.time_steps;
                const double price = adi_price(c.parameters, option, s);
                std::printf("%-5s %-22s %6zu %14.8f %14.8f %10.2e\n", c.name, run.name, run.time_steps, price, exact,
                            price - exact);
            }
        }
        std::printf("\n");
    }

    // Away from the money: value, delta and gamma read off one solve (surface_settings) by
    // cubic interpolation, beside the semi-closed form differentiated over 0.05.
    const settings surface = surface_settings();
    std::printf("Read off the grid (modified Craig-Sneyd, %zu x %zu points, %zu/%zu-point stencils, %zu steps)\n",
                surface.spot_points, surface.variance_points, surface.spot_stencil, surface.variance_stencil,
                surface.time_steps);
    std::printf("%-5s %6s %7s %12s %12s %10s %10s %10s\n", "case", "S", "v", "value", "semi-closed", "error",
                "delta err", "gamma err");
    for (const test_case& c : cases) {
        call_option option;
        option.variance = c.parameters.eta;
        option.years = c.years;
        const heston::grid g = grid_of(c.parameters, option, surface);
        const std::vector<double> values = solve(c.parameters, option, g, surface);
        for (const double spot : {70.0, 100.0, 130.0}) {
            const double variance = 0.5 * c.parameters.eta;
            const auto exact = [&](double at) {
                call_option q = option;
                q.spot = at;
                q.variance = variance;
                return semi_closed_form(c.parameters, q);
            };
            const double h = 0.05;
            const double centre = exact(spot), up = exact(spot + h), down = exact(spot - h);
            const greeks r = read_off(g, values, spot, variance);
            std::printf("%-5s %6.1f %7.4f %12.8f %12.8f %10.2e %10.2e %10.2e\n", c.name, spot, variance, r.value, centre,
                        r.value - centre, r.delta - (up - down) / (2.0 * h), r.gamma - (up - 2.0 * centre + down) / (h * h));
        }
    }
    return 0;
}
