#pragma once

// Day count conventions of every type, with and without a holiday calendar, for the seed
// corpora of the curve targets.

#include <memory>
#include <vector>

#include "util/calendar.h"
#include "util/day_count_convention.h"

namespace korvex::fuzzing {

inline std::vector<std::shared_ptr<const day_count_convention>> sample_conventions()
{
    const auto holidays = std::make_shared<const calendar>(
        false, std::vector<datetime>{datetime(45306.0), datetime(45658.0)});
    return {std::make_shared<const day_count_convention>(act_365_fixed),
            std::make_shared<const day_count_convention>(act_360),
            std::make_shared<const day_count_convention>(thirty_360),
            std::make_shared<const day_count_convention>(act_act_isda, holidays),
            std::make_shared<const day_count_convention>(business_252, holidays),
            nullptr};
}

}  // namespace korvex::fuzzing
