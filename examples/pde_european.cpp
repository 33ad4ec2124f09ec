// Prices a European call and put (S = K = 100, sigma = 0.2, r = 0.05, q = 0.02, T = 1 year)
// with each one-dimensional PDE scheme, and compares with the Black-Scholes closed form.

#include <cmath>
#include <cstdio>

#include "black_scholes_pde.h"

int main()
{
    using namespace korvex;
    using namespace korvex::black_scholes_pde;

    struct run
    {
        const char* name;
        pde_scheme_type type;
        layout axis;
        std::size_t stencil;
    };
    const run runs[] = {
        {"crank_nicolson (Rannacher start)", crank_nicolson, layout::uniform, 3},
        {"two_stage_l_stable", two_stage_l_stable, layout::uniform, 3},
        {"implicit_euler", implicit_euler, layout::uniform, 3},
        {"crank_nicolson, concentrated, 5 bands", crank_nicolson, layout::concentrated, 5},
        {"two_stage_l_stable, concentrated, 5 bands", two_stage_l_stable, layout::concentrated, 5},
    };

    std::printf("European options, S = K = 100, sigma = 0.2, r = 0.05, q = 0.02, T = 1; 401 x 400 grid\n");
    std::printf("%-44s %-5s %12s %12s %10s\n", "scheme", "type", "PDE", "closed form", "error");
    for (const run& r : runs) {
        for (bool call : {true, false}) {
            european_option option;
            option.call = call;
            settings s;
            s.type = r.type;
            s.axis = r.axis;
            s.stencil = r.stencil;
            s.space_points = 401;
            s.time_steps = 400;
            const double price = pde_price(option, s);
            const double exact = closed_form(option);
            std::printf("%-44s %-5s %12.6f %12.6f %10.2e\n", r.name, call ? "call" : "put", price, exact,
                        price - exact);
        }
    }
    return 0;
}
