#include <gtest/gtest.h>

#include <vector>

#include "core/error.h"
#include "util/datetime_helper.h"

namespace korvex {
namespace {

const std::vector<datetime> pillars{datetime(10.0), datetime(20.0), datetime(30.0)};

struct find_case
{
    double date;
    std::size_t first_not_before;
    std::size_t last_not_after;
};

class FindIndex : public ::testing::TestWithParam<find_case>
{
};

// Before, on, between and after the pillars.
TEST_P(FindIndex, FollowsTheContract)
{
    const find_case c = GetParam();
    EXPECT_EQ(datetime_helper::find_index(datetime(c.date), pillars, true), c.first_not_before);
    EXPECT_EQ(datetime_helper::find_index(datetime(c.date), pillars, false), c.last_not_after);
}

INSTANTIATE_TEST_SUITE_P(Dates, FindIndex,
                         ::testing::Values(find_case{5, 0, 0}, find_case{10, 0, 0},
                                           find_case{15, 1, 0}, find_case{20, 1, 1},
                                           find_case{29.5, 2, 1}, find_case{30, 2, 2},
                                           find_case{35, 2, 2}));

TEST(FindIndexEdges, StaysWithinBoundsForEveryInput)
{
    EXPECT_EQ(datetime_helper::find_index(datetime(1.0), {}, true), 0u);
    EXPECT_EQ(datetime_helper::find_index(datetime(1.0), {}, false), 0u);
    const std::vector<datetime> one{datetime(5.0)};
    for (const double d : {0.0, 5.0, 9.0})
        for (const bool flag : {true, false})
            EXPECT_EQ(datetime_helper::find_index(datetime(d), one, flag), 0u);
    for (const bool flag : {true, false})
        EXPECT_LT(datetime_helper::find_index(datetime(), pillars, flag), pillars.size());
}

TEST(IndexSubsetDates, GivesOnePositionPerSubsetDateInOrder)
{
    std::vector<std::size_t> positions{99};
    datetime_helper::index_subset_dates({datetime(30.0), datetime(10.0), datetime(30.0)}, pillars,
                                        positions);
    EXPECT_EQ(positions, (std::vector<std::size_t>{2, 0, 2}));
    datetime_helper::index_subset_dates({}, pillars, positions);
    EXPECT_TRUE(positions.empty());
}

TEST(IndexSubsetDates, RefusesDatesThatAreNotThereAndKeepsTheOutput)
{
    std::vector<std::size_t> positions{7};
    try {
        datetime_helper::index_subset_dates({datetime(10.0), datetime(12.0)}, pillars, positions);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "date 1900-01-11 is not among the dates");
        EXPECT_EQ(e.location(), (SourceLocation{"index_subset_dates", "Foundation/util/datetime_helper", 31}));
    }
    EXPECT_EQ(positions, (std::vector<std::size_t>{7}));
}

}  // namespace
}  // namespace korvex
