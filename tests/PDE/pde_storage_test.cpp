#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "PDE/storage/pde_storage.h"
#include "core/error.h"

namespace korvex {
namespace {

using bc = pde_boundary_config;

bool all_zero(const tensor<double>& t)
{
    for (std::size_t i = 0; i < t.size(); ++i)
        if (t[i] != 0.0)
            return false;
    return true;
}

TEST(pde_storage, one_layer_one_result)
{
    const pde_storage s(1, 1, {101});
    EXPECT_EQ(s.number_of_results(), 1u);
    EXPECT_EQ(s.result().size(), 101u);
    EXPECT_EQ(s.scratch().size(), 101u);
    EXPECT_TRUE(all_zero(s.result()));
    EXPECT_TRUE(all_zero(s.scratch()));
    ASSERT_EQ(s.groups().size(), 1u);
    EXPECT_EQ(s.groups().begin()->first.size(), 1u);
    EXPECT_EQ(s.groups().begin()->second, (std::set<std::size_t>{0}));
}

TEST(pde_storage, three_layers_two_results)
{
    const pde_storage s(3, 2, {2, 50});
    EXPECT_EQ(s.result().size(), 100u);
    EXPECT_TRUE(all_zero(s.result()));
    ASSERT_EQ(s.groups().size(), 1u);
    EXPECT_EQ(s.groups().begin()->first.size(), 2u);
    EXPECT_EQ(s.groups().begin()->second, (std::set<std::size_t>{0, 1, 2}));
    EXPECT_EQ(s.boundary_configs().size(), 3u);
}

TEST(pde_storage, no_layers_no_groups)
{
    const pde_storage s(0, 1, {10});
    EXPECT_TRUE(s.groups().empty());
    EXPECT_EQ(s.result().size(), 10u);
}

TEST(pde_storage, layers_with_their_own_configurations_form_one_group_each)
{
    // These two configurations are equivalent under the dominance test, yet distinct.
    const bc held(bc::fixed_value, false, 1.0, bc::fixed_value, false, 1.0);
    const bc other(bc::no_diffusion, false, 1.0, bc::no_diffusion, false, 2.0);
    const pde_storage s(3, {3, 20}, {{held}, {other}, {held}});
    ASSERT_EQ(s.groups().size(), 2u);
    auto group = s.groups().begin();
    EXPECT_EQ(group->second, (std::set<std::size_t>{0, 2}));
    EXPECT_EQ(group->first[0].up_type(), bc::fixed_value);
    ++group;
    EXPECT_EQ(group->second, (std::set<std::size_t>{1}));
}

TEST(pde_storage, needs_one_configuration_per_result_row)
{
    try {
        pde_storage(2, {2, 10}, {{bc()}});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location(), (SourceLocation{"pde_storage", "Library/PDE/storage/pde_storage", 39}));
        EXPECT_EQ(e.message(), "Expected boundary_configs.size() == number_of_results_ to be true, but got "
                               "false.  1 layer configurations for 2 results");
    }
}

TEST(pde_storage, refuses_counts_that_do_not_fit)
{
    const char* file = "Library/PDE/storage/pde_storage";
    try {
        pde_storage(1, 0, {10});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location(), (SourceLocation{"check_results", file, 47}));
    }
    try {
        pde_storage(1, 3, {10});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(),
                  "Expected number_of_results_ > 0 && result_.size() % number_of_results_ == 0 to be "
                  "true, but got false.  cannot hold 3 results in 10 values");
    }
    try {
        pde_storage(1, {10}, std::vector<std::vector<bc>>(1));
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location(), (SourceLocation{"add_layers", file, 55}));
    }
}

}  // namespace
}  // namespace korvex
