#include "PDE/boundary/pde_boundary_config.h"

#include <algorithm>
#include <compare>

#include "core/check_fail.h"

namespace korvex {

namespace {
constexpr const char* source = "Library/PDE/boundary/pde_boundary_config";
constexpr const char* not_floating = "boundary value exist onley for flaoting";
constexpr SourceLocation up_boundary_location{"up_boundary", source, 50};
constexpr SourceLocation down_boundary_location{"down_boundary", source, 69};
}  // namespace

double pde_boundary_config::up_boundary() const
{
    if (!up_floating_)
        details::check_fail(up_boundary_location, not_floating);
    return up_value_;
}

double pde_boundary_config::down_boundary() const
{
    if (!down_floating_)
        details::check_fail(down_boundary_location, not_floating);
    return down_value_;
}

bool pde_boundary_config::operator<(const pde_boundary_config& other) const noexcept
{
    if (!(up_type_ < other.up_type_ || up_floating_ < other.up_floating_))
        return false;
    if (!(up_value_ < other.up_value_))
        return false;
    if (!(down_type_ < other.down_type_ || down_floating_ < other.down_floating_))
        return false;
    return down_value_ < other.down_value_;
}

bool pde_boundary_config_order::operator()(const pde_boundary_config& a,
                                           const pde_boundary_config& b) const noexcept
{
    const std::strong_ordering fields[] = {
        a.up_type_ <=> b.up_type_,
        a.up_floating_ <=> b.up_floating_,
        std::strong_order(a.up_value_, b.up_value_),
        a.down_type_ <=> b.down_type_,
        a.down_floating_ <=> b.down_floating_,
        std::strong_order(a.down_value_, b.down_value_),
    };
    for (const std::strong_ordering field : fields)
        if (field != 0)
            return field < 0;
    return false;
}

bool pde_boundary_config_order::operator()(const std::vector<pde_boundary_config>& a,
                                           const std::vector<pde_boundary_config>& b) const noexcept
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), *this);
}

}  // namespace korvex
