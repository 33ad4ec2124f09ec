#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/fx/fx_spot/fx_spot.h"
#include "serialization/test_support.h"

namespace korvex {
namespace {

using korvex::testing::error_of;
using korvex::testing::temporary_folder;
using json = nlohmann::ordered_json;

// The two spot classes differ only in their name and source file.
template <class Spot>
class Spots : public ::testing::Test
{
protected:
    static const char* source_file()
    {
        return std::is_same_v<Spot, equity_spot> ? "Library/Market/equity/equity_spot/equity_spot"
                                                 : "Library/Market/fx/fx_spot/fx_spot";
    }

    const datetime valuation{2024, 1, 2};
    temporary_folder folder;
};

using SpotTypes = ::testing::Types<equity_spot, fx_spot>;
TYPED_TEST_SUITE(Spots, SpotTypes);

TYPED_TEST(Spots, SpotIsBroadcastOverTheOutput)
{
    const TypeParam spot(this->valuation, 100.0);
    EXPECT_EQ(spot.spot(), 100.0);
    EXPECT_EQ(spot.valuation_date(), this->valuation);
    vector<double> out(5);
    spot.spot(out);
    ASSERT_EQ(out.size(), 5u);
    for (const double v : out)
        EXPECT_EQ(v, 100.0);
    vector<double> empty;
    spot.spot(empty);
    EXPECT_EQ(empty.size(), 0u);
    // Nothing is checked.
    EXPECT_EQ(TypeParam(this->valuation, -3.5).spot(), -3.5);
    EXPECT_TRUE(std::isnan(TypeParam(this->valuation, std::nan("")).spot()));
}

TYPED_TEST(Spots, ForwardIsNotImplementedAndLeavesTheOutput)
{
    const TypeParam spot(this->valuation, 100.0);
    vector<double> out(3);
    out = 7.0;
    for (const auto& [d1, d2] : {std::pair{datetime(45000.0), datetime(46000.0)},
                                 std::pair{datetime(46000.0), datetime(45000.0)}}) {
        try {
            spot.forward(out, d1, d2);
            ADD_FAILURE() << "forward returned";
        } catch (const NotImplementedError& e) {
            EXPECT_EQ(e.message(), "not implemented");
            EXPECT_EQ(e.location(), (SourceLocation{"forward", this->source_file(), 42}));
        }
    }
    for (const double v : out)
        EXPECT_EQ(v, 7.0);
}

TYPED_TEST(Spots, RecordAndRoundTrips)
{
    const auto spot = std::make_shared<const TypeParam>(this->valuation, 1.0 / 3.0);
    const std::string tag = std::is_same_v<TypeParam, equity_spot> ? "korvex::equity_spot" : "korvex::fx_spot";
    EXPECT_EQ(TypeParam::json_to_string(spot),
              "{\n  \"Class\": \"" + tag + "\",\n  \"spot\": 0.3333333333333333,\n  \"valuation_date\": 45293.0\n}");
    TypeParam::write_to_json(this->folder.file("spot.json"), spot);
    TypeParam::write_to_binary(this->folder.file("spot.bin"), spot);
    for (const auto& read : {TypeParam::read_from_json(this->folder.file("spot.json")),
                             TypeParam::read_from_binary(this->folder.file("spot.bin"))}) {
        EXPECT_EQ(read->spot(), 1.0 / 3.0);
        EXPECT_EQ(read->valuation_date(), this->valuation);
    }
}

TYPED_TEST(Spots, NullMarkerGivesANanSpotThatRoundTrips)
{
    TypeParam::write_to_json(this->folder.file("null.json"), nullptr);
    const auto empty = TypeParam::read_from_json(this->folder.file("null.json"));
    EXPECT_TRUE(std::isnan(empty->spot()));
    EXPECT_EQ(empty->valuation_date().as_float(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(json::parse(TypeParam::json_to_string(empty))["spot"], "NaN");
    TypeParam::write_to_json(this->folder.file("nan.json"), empty);
    TypeParam::write_to_binary(this->folder.file("nan.bin"), empty);
    for (const auto& read : {TypeParam::read_from_json(this->folder.file("nan.json")),
                             TypeParam::read_from_binary(this->folder.file("nan.bin"))}) {
        EXPECT_TRUE(std::isnan(read->spot()));
        EXPECT_EQ(read->valuation_date().as_float(), std::numeric_limits<double>::infinity());
    }
}

}  // namespace
}  // namespace korvex
