#include "util/datetime_helper.h"

#include <algorithm>

#include "core/check_fail.h"

namespace korvex {

std::size_t datetime_helper::find_index(const datetime& d, const std::vector<datetime>& dates,
                                        bool first_not_before)
{
    if (dates.empty())
        return 0;
    const std::size_t last = dates.size() - 1;
    if (first_not_before) {
        const auto it = std::lower_bound(dates.begin(), dates.end(), d);
        return std::min<std::size_t>(static_cast<std::size_t>(it - dates.begin()), last);
    }
    const auto it = std::upper_bound(dates.begin(), dates.end(), d);
    return it == dates.begin() ? 0 : static_cast<std::size_t>(it - dates.begin()) - 1;
}

void datetime_helper::index_subset_dates(const std::vector<datetime>& subset,
                                         const std::vector<datetime>& dates,
                                         std::vector<std::size_t>& positions)
{
    std::vector<std::size_t> found(subset.size());
    for (std::size_t i = 0; i < subset.size(); ++i) {
        const auto it = std::lower_bound(dates.begin(), dates.end(), subset[i]);
        if (it == dates.end() || !(*it == subset[i]))
            details::check_fail({"index_subset_dates", "Foundation/util/datetime_helper", __LINE__},
                                details::concat("date ", subset[i].to_string(), " is not among the dates"));
        found[i] = static_cast<std::size_t>(it - dates.begin());
    }
    positions = std::move(found);
}

}  // namespace korvex
