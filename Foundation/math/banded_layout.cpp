#include "math/banded_layout.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/check_fail.h"

namespace korvex::details {
namespace {

bool product_fits(std::size_t a, std::size_t b) noexcept
{
    return a == 0 || b <= std::numeric_limits<std::size_t>::max() / a;
}

void check_vector(const SourceLocation& location, const vector<double>& values,
                  std::size_t nodes)
{
    KORVEX_CHECK_MSG(location, values.size() == nodes, "vector has ", values.size(),
                     " values for ", nodes, " nodes");
    KORVEX_CHECK_MSG(location, nodes == 0 || values.data() != nullptr,
                     "vector holds no host block");
}

}  // namespace

banded_layout banded_layout::of_bands(const SourceLocation& location,
                                      const matrix<double>& bands, std::size_t band_count,
                                      std::size_t outer, std::size_t n, std::size_t inner)
{
    KORVEX_CHECK_MSG(location, product_fits(outer, n) && product_fits(outer * n, inner),
                     "block of ", outer, " x ", n, " x ", inner, " nodes is too large");
    const banded_layout layout{outer, n, inner};
    KORVEX_CHECK_MSG(location, bands.rows() == band_count, "bands has ", bands.rows(),
                     " rows instead of ", band_count);
    KORVEX_CHECK_MSG(location, bands.columns() >= layout.size(), "bands has ",
                     bands.columns(), " columns for ", layout.size(), " nodes");
    KORVEX_CHECK_MSG(location, layout.size() == 0 || bands.data() != nullptr,
                     "bands holds no host block");
    return layout;
}

banded_layout banded_layout::of_system(const SourceLocation& location,
                                       const matrix<double>& bands, std::size_t band_count,
                                       const vector<double>& first,
                                       const vector<double>& second, std::size_t outer,
                                       std::size_t n, std::size_t inner)
{
    const banded_layout layout = of_bands(location, bands, band_count, outer, n, inner);
    check_vector(location, first, layout.size());
    check_vector(location, second, layout.size());
    return layout;
}

bool banded_layout::overlap(const vector<double>& a, const vector<double>& b) noexcept
{
    const auto begin_a = reinterpret_cast<std::uintptr_t>(a.data());
    const auto begin_b = reinterpret_cast<std::uintptr_t>(b.data());
    return begin_a < begin_b + b.size() * sizeof(double) &&
           begin_b < begin_a + a.size() * sizeof(double);
}

void banded_layout::check_pivots(const SourceLocation& location,
                                 const double* inverse_pivots) const
{
    for (std::size_t p = 0; p < size(); ++p) {
        const double inverse = inverse_pivots[p];
        if (std::isfinite(inverse) && inverse != 0.0)
            continue;
        check_fail(location, concat("zero or non-finite pivot at node ", (p / inner) % n,
                                    " of line (", p / line_block(), ", ", p % inner, ")"));
    }
}

}  // namespace korvex::details
