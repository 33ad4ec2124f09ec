#pragma once

#include <cstddef>
#include <vector>

#include "util/datetime.h"
#include "util/util_export.h"

namespace korvex {

struct KORVEX_UTIL_API datetime_helper
{
    // Position of d among ascending dates, always within 0 ... n-1 (0 for an empty list):
    //  - first_not_before true: the first date not before d; n-1 when d is after them all;
    //  - first_not_before false: the last date not after d; 0 when d is before them all.
    static std::size_t find_index(const datetime& d, const std::vector<datetime>& dates,
                                  bool first_not_before);

    // For every date of `subset`, in order, its position in the ascending `dates`.
    // A subset date that is not in `dates` is refused with Error.
    static void index_subset_dates(const std::vector<datetime>& subset,
                                   const std::vector<datetime>& dates,
                                   std::vector<std::size_t>& positions);
};

}  // namespace korvex
