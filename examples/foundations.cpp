// The foundations at work: dates, calendars and day counts, aligned tensors and an
// element-wise expression.
#include <iomanip>
#include <iostream>
#include <memory>

#include "util/calendar.h"
#include "util/datetime.h"
#include "util/day_count_convention.h"
#include "Vectorization/expressions/tensor.h"

int main()
{
    using namespace korvex;

    const datetime start(2024, 1, 2);
    const datetime end(2025, 1, 2);
    std::cout << "Dates: " << start.to_string() << " (serial " << start.as_float() << ") to "
              << end.to_string() << " (serial " << end.as_float() << ")\n";

    auto target = std::make_shared<const calendar>(
        true, std::vector<datetime>{datetime(2024, 12, 25), datetime(2024, 12, 26)});
    std::cout << std::setprecision(10);
    const char* names[] = {"ACT/365F", "ACT/360", "30/360", "ACT/ACT ISDA", "BUS/252"};
    for (int type = act_365_fixed; type <= business_252; ++type) {
        const day_count_convention convention(static_cast<day_count_convention_type>(type), target);
        std::cout << "  " << std::setw(14) << std::left << names[type]
                  << convention.fraction(start, end) << "\n";
    }

    tensor<double> prices({2, 5});
    for (std::size_t i = 0; i < 2; ++i)
        for (std::size_t j = 0; j < 5; ++j)
            prices(i, j) = 100.0 + 10.0 * static_cast<double>(i) + static_cast<double>(j);
    tensor<double> grown(prices.shape());
    grown = 0.0;
    grown += 1.05 * prices - 0.5;  // evaluated element by element in one pass
    std::cout << "Tensor " << prices.shape()[0] << "x" << prices.shape()[1]
              << ": grown(1, 4) = 1.05 * " << prices(1, 4) << " - 0.5 = " << grown(1, 4) << "\n";
    return 0;
}
