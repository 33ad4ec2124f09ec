#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Market/common/volatility_model/volatility_model_sabr.h"
#include "Market/volatility_fixtures.h"
#include "Serialization/serialization_impl.h"
#include "core/error.h"
#include "math/failure_expectation.h"
#include "serialization/test_support.h"

namespace korvex {
namespace {

using namespace korvex::testing;
using json = nlohmann::ordered_json;
using surface_pointer = std::shared_ptr<const surface_term_structure>;

constexpr const char* data_file = "Library/Market/ir/volatility_surface/volatility_data/ir_volatility_data_sabr";
constexpr const char* surface_file = "Library/Market/ir/volatility_surface/ir_volatility_surface";

struct missing_surface
{
    const char* name;
    bool alpha, beta, rho, nu, shift;
    int line;
    const char* message;
};

std::ostream& operator<<(std::ostream& out, const missing_surface& c) { return out << c.name; }

class MissingSurfaces : public ::testing::TestWithParam<missing_surface>
{
};

TEST_P(MissingSurfaces, AreReportedInTheOrderAlphaBetaNuRhoShift)
{
    const missing_surface c = GetParam();
    const auto pick = [](bool present) { return present ? flat_surface(0.1) : surface_pointer(); };
    expect_failure(
        [&] { ir_volatility_data_sabr(pick(c.alpha), pick(c.beta), pick(c.rho), pick(c.nu), pick(c.shift), false); },
        {"validate", data_file, c.line}, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, MissingSurfaces,
    ::testing::Values(missing_surface{"all", false, false, false, false, false, 60, "alpha is null"},
                      missing_surface{"beta", true, false, true, true, true, 61, "beta_ is null"},
                      missing_surface{"nu_and_rho", true, true, false, false, true, 62, "nu_ is null"},
                      missing_surface{"rho", true, true, false, true, true, 63, "rho_ is null"},
                      missing_surface{"shift", true, true, true, true, false, 64, "shift_ is null"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(IrVolatilityDataSabr, ModelReadsEachSurfaceAndPassesNuBeforeRho)
{
    const ir_volatility_data_sabr data(flat_surface(0.3), flat_surface(0.5), flat_surface(-0.2), flat_surface(0.4),
                                       flat_surface(0.01), true);
    const auto model =
        std::dynamic_pointer_cast<const volatility_model_sabr>(data.model(datetime(45500.0), datetime(47000.0)));
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->alpha(), 0.3);
    EXPECT_EQ(model->beta(), 0.5);
    EXPECT_EQ(model->nu(), 0.4);
    EXPECT_EQ(model->rho(), -0.2);
    EXPECT_EQ(model->shift(), 0.01);
    EXPECT_TRUE(model->is_skew_dampening());
}

TEST(IrVolatilityDataSabr, ModelInterpolatesAtThePairOfDatesAndIsNewEveryTime)
{
    const auto data = sabr_data();
    const datetime expiry(45566.0), end(47119.0);  // halfway between the two expiries
    const auto first = std::dynamic_pointer_cast<const volatility_model_sabr>(data->model(expiry, end));
    const auto second = std::dynamic_pointer_cast<const volatility_model_sabr>(data->model(expiry, end));
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());
    EXPECT_DOUBLE_EQ(first->alpha(), 0.02);
    EXPECT_DOUBLE_EQ(first->nu(), 0.4);
    EXPECT_DOUBLE_EQ(first->rho(), -0.275);
    EXPECT_EQ(first->alpha(), second->alpha());
    EXPECT_EQ(first->rho(), second->rho());
}

TEST(IrVolatilityDataSabr, ModelFailsWhereASurfaceGivesAnInvalidParameter)
{
    const ir_volatility_data_sabr data(flat_surface(0.0), flat_surface(0.5), flat_surface(-0.2), flat_surface(0.4),
                                       flat_surface(0.01), false);
    expect_failure([&] { (void)data.model(datetime(45500.0), datetime(47000.0)); },
                   {"volatility_model_sabr", "Library/Market/common/volatility_model/volatility_model_sabr", 18},
                   "Expected alpha_ > 0.0 to be true, but got false.  alpha_ must be positive: 0 not allowed");
}

TEST(IrVolatilitySurface, RefusesMissingDataAndSharesItsData)
{
    expect_failure([] { ir_volatility_surface(datetime(45292.0), nullptr); }, {"validate", surface_file, 46},
                   "data_ is null");
    const auto data = sabr_data();
    const ir_volatility_surface surface(datetime(45292.0), data);
    const long before = data.use_count();
    const auto copy = surface.data();
    EXPECT_EQ(copy.get(), data.get());
    EXPECT_EQ(data.use_count(), before + 1);
    EXPECT_EQ(surface.valuation_date(), datetime(45292.0));
}

const char* const alpha_record = R"({
  "Class": "korvex::surface_term_structure",
  "x": [
    45474.0,
    45658.0
  ],
  "y": [
    46023.0,
    47119.0,
    48945.0
  ],
  "z": {
    "class": "korvex.matrix",
    "rows": 2,
    "columns": 3,
    "data": [
      [
        0.02,
        0.018
      ],
      [
        0.021,
        0.019
      ],
      [
        0.022,
        0.0205
      ]
    ]
  }
})";

std::vector<std::string> member_names(const json& record)
{
    std::vector<std::string> names;
    for (const auto& member : record.items())
        names.push_back(member.key());
    return names;
}

TEST(IrVolatilitySurfaceRecords, ListMembersInOrderWithTheMatrixColumnByColumn)
{
    const json surface = json::parse(ir_volatility_surface::json_to_string(volatility_surface()));
    EXPECT_EQ(member_names(surface), (std::vector<std::string>{"Class", "valuation_date", "data"}));
    EXPECT_EQ(surface["Class"], "korvex::ir_volatility_surface");
    EXPECT_EQ(surface["valuation_date"], 45292.0);
    EXPECT_EQ(member_names(surface["data"]),
              (std::vector<std::string>{"Class", "alpha", "beta", "nu", "rho", "shift", "is_skew_dampening"}));
    EXPECT_EQ(surface["data"]["Class"], "korvex::ir_volatility_data_sabr");
    EXPECT_EQ(surface["data"]["is_skew_dampening"], true);
    EXPECT_EQ(surface["data"]["alpha"].dump(2), alpha_record);
    EXPECT_EQ(surface["data"]["nu"]["z"]["data"][0][1], 0.45);
    EXPECT_EQ(surface["data"]["rho"]["z"]["data"][2][1], -0.1);
}

// Every model parameter of the data at a few pairs of dates, to compare data bit for bit.
std::vector<double> parameters(const ir_volatility_data& data)
{
    std::vector<double> values;
    for (double d1 : {45000.0, 45474.0, 45566.5, 46000.0})
        for (double d2 : {45000.0, 46023.0, 47500.25, 49000.0}) {
            const auto model =
                std::dynamic_pointer_cast<const volatility_model_sabr>(data.model(datetime(d1), datetime(d2)));
            values.insert(values.end(), {model->alpha(), model->beta(), model->nu(), model->rho(), model->shift(),
                                         model->is_skew_dampening() ? 1.0 : 0.0});
        }
    return values;
}

TEST(IrVolatilitySurfaceRecords, SurfaceAndDataRoundTripThroughBothFormats)
{
    const temporary_folder folder;
    const auto surface = volatility_surface();
    const std::vector<double> expected = parameters(*surface->data());
    ir_volatility_surface::write_to_json(folder.file("surface.json"), surface);
    ir_volatility_surface::write_to_binary(folder.file("surface.bin"), surface);
    for (const auto& read : {ir_volatility_surface::read_from_json(folder.file("surface.json")),
                             ir_volatility_surface::read_from_binary(folder.file("surface.bin"))}) {
        EXPECT_EQ(read->valuation_date(), surface->valuation_date());
        EXPECT_EQ(parameters(*read->data()), expected);
        EXPECT_EQ(ir_volatility_surface::json_to_string(read), ir_volatility_surface::json_to_string(surface));
    }
    ir_volatility_data_sabr::write_to_json(folder.file("data.json"), sabr_data());
    ir_volatility_data_sabr::write_to_binary(folder.file("data.bin"), sabr_data());
    EXPECT_EQ(parameters(*ir_volatility_data_sabr::read_from_json(folder.file("data.json"))), expected);
    EXPECT_EQ(parameters(*ir_volatility_data_sabr::read_from_binary(folder.file("data.bin"))), expected);
}

// The binary surface file holds the data's tag twice: once for the dispatch and once at
// the start of its own record.
TEST(IrVolatilitySurfaceRecords, BinaryDataIsPrecededByItsTagTwice)
{
    multi_process_stream stream;
    details::save(stream, volatility_surface());
    std::string tag, valuation_tag, dispatch_tag, record_tag;
    double valuation = 0.0;
    stream >> tag >> valuation >> dispatch_tag >> record_tag;
    EXPECT_EQ(tag, "korvex::ir_volatility_surface");
    EXPECT_EQ(valuation, 45292.0);
    EXPECT_EQ(dispatch_tag, "korvex::ir_volatility_data_sabr");
    EXPECT_EQ(record_tag, dispatch_tag);
}

TEST(IrVolatilitySurfaceRecords, DataThatNoRegistryKnowsIsRefused)
{
    const temporary_folder folder;
    for (const char* tag : {"empty", "korvex::no_such_data"}) {
        json document = json::parse(ir_volatility_surface::json_to_string(volatility_surface()));
        document["data"] = json{{"Class", tag}};
        write_file_text(folder.file("surface.json"), json{{"root", document}}.dump());
        expect_failure([&] { (void)ir_volatility_surface::read_from_json(folder.file("surface.json")); },
                       {"validate", surface_file, 46}, "data_ is null");
    }
}

TEST(IrVolatilitySurfaceRecords, AnEmptyParameterSurfaceReadsAsAnEmptySurface)
{
    json record = json::parse(ir_volatility_data_sabr::json_to_string(sabr_data()));
    record["beta"] = json{{"Class", "empty"}};
    const temporary_folder folder;
    write_file_text(folder.file("data.json"), json{{"root", record}}.dump());
    const auto data = ir_volatility_data_sabr::read_from_json(folder.file("data.json"));
    ASSERT_NE(data->beta(), nullptr);
    EXPECT_TRUE(data->beta()->x().empty());
    const Error error = error_of([&] { (void)data->model(datetime(45500.0), datetime(47000.0)); });
    EXPECT_EQ(error.message(), "The surface has no values");
}

TEST(IrVolatilitySurfaceRecords, WritersRefuseWhatTheReadersWouldRefuse)
{
    // A null marker reads back as data without surfaces and as an empty parameter surface;
    // neither may be written, since the file could not be read again.
    const temporary_folder folder;
    ir_volatility_data_sabr::write_to_json(folder.file("null.json"), nullptr);
    const auto empty = ir_volatility_data_sabr::read_from_json(folder.file("null.json"));
    expect_failure([&] { ir_volatility_data_sabr::write_to_binary(folder.file("empty.bin"), empty); },
                   {"validate", data_file, 60}, "alpha is null");
    json record = json::parse(ir_volatility_data_sabr::json_to_string(sabr_data()));
    record["shift"] = json{{"Class", "empty"}};
    write_file_text(folder.file("data.json"), json{{"root", record}}.dump());
    const auto data = ir_volatility_data_sabr::read_from_json(folder.file("data.json"));
    const Error error = error_of([&] { ir_volatility_data_sabr::write_to_json(folder.file("empty.json"), data); });
    EXPECT_EQ(error.message(), "The surface axis x has no dates");
    EXPECT_EQ(folder.entries().size(), 2u);  // null.json and data.json only
}

struct bad_matrix
{
    const char* name;
    const char* member;  // of the alpha surface's "z"
    json value;
    const char* message;
};

std::ostream& operator<<(std::ostream& out, const bad_matrix& c) { return out << c.name; }

class BadMatrixRecords : public ::testing::TestWithParam<bad_matrix>
{
};

TEST_P(BadMatrixRecords, AreRefusedBeforeAnythingIsAllocated)
{
    const bad_matrix c = GetParam();
    json record = json::parse(ir_volatility_data_sabr::json_to_string(sabr_data()));
    record["alpha"]["z"][c.member] = c.value;
    const temporary_folder folder;
    write_file_text(folder.file("data.json"), json{{"root", record}}.dump());
    const Error error = error_of([&] { (void)ir_volatility_data_sabr::read_from_json(folder.file("data.json")); });
    EXPECT_EQ(error.message(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, BadMatrixRecords,
    ::testing::Values(
        bad_matrix{"huge_rows", "rows", json(1ULL << 60),
                   "The matrix record has 1152921504606846976 rows but its column 0 holds 2 values"},
        bad_matrix{"more_columns", "columns", json(4), "The matrix record has 4 columns but holds 3 arrays of values"},
        bad_matrix{"missing_data", "data", json(), "The matrix record has 3 columns but holds 0 arrays of values"},
        bad_matrix{"transposed", "rows", json(3), "The matrix record has 3 rows but its column 0 holds 2 values"},
        bad_matrix{"negative_rows", "rows", json(-2), "The number -2 does not fit in unsigned long"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(IrVolatilitySurfaceRecords, BinaryMatrixWhoseShapeDisagreesWithItsValuesIsRefused)
{
    const temporary_folder folder;
    ir_volatility_data_sabr::write_to_binary(folder.file("data.bin"), sabr_data());
    // Walk the record to the rows count of the alpha surface: data tag, surface tag, x, y.
    std::vector<std::uint8_t> bytes;
    serialization::access::read_binary(folder.file("data.bin"), bytes);
    multi_process_stream probe;
    probe.SetRawData(bytes);
    std::string data_tag, surface_tag;
    std::vector<datetime> x, y;
    probe >> data_tag >> surface_tag;
    details::load(probe, x);
    details::load(probe, y);
    const unsigned long long huge = 1ULL << 62;
    std::memcpy(bytes.data() + probe.read_position() + 1, &huge, sizeof huge);  // after the type byte
    ASSERT_NO_THROW(serialization::access::write_binary(folder.file("data.bin"), bytes));
    const Error error = error_of([&] { (void)ir_volatility_data_sabr::read_from_binary(folder.file("data.bin")); });
    EXPECT_EQ(error.message(), "The matrix record has 4611686018427387904 rows and 3 columns but holds 6 values");
    EXPECT_EQ(error.location(),
              (SourceLocation{"load_matrix",
                              "Library/Market/ir/volatility_surface/volatility_data/surface_term_structure_record", 71}));
}

}  // namespace
}  // namespace korvex
