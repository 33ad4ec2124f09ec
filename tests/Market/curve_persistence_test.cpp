#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Market/common/currency.h"
#include "Market/common/discount_definition.h"
#include "Market/curve_fixtures.h"
#include "Serialization/serialization_impl.h"
#include "serialization/access.h"
#include "serialization/serialization_registry.h"
#include "serialization/test_support.h"

namespace korvex {
namespace {

using namespace korvex::testing;
using json = nlohmann::ordered_json;

const char* const flat_text = R"({
  "Class": "korvex::discount_curve_flat",
  "rates": 0.05,
  "valuation_date": 45292.0,
  "convention": {
    "Class": "korvex::day_count_convention",
    "type": 0,
    "calendar": {
      "Class": "empty"
    }
  }
})";

const char* const piecewise_text = R"({
  "Class": "korvex::discount_curve_piecewise_constant",
  "rates_term_structure": {
    "Class": "korvex::term_structure<std::vector<double, std::allocator<double> > >",
    "x": [
      45474.0,
      45658.0,
      46023.0
    ],
    "y": [
      0.02,
      0.03,
      0.04
    ],
    "type": 1
  },
  "valuation_date": 45292.0,
  "convention": {
    "Class": "korvex::day_count_convention",
    "type": 3,
    "calendar": {
      "Class": "korvex::calendar",
      "use_weekends": false,
      "dates": [
        45306.0,
        45658.0
      ]
    }
  }
})";

std::shared_ptr<const day_count_convention> act_act_with_holidays()
{
    return std::make_shared<const day_count_convention>(
        act_act_isda, std::make_shared<const calendar>(
                          false, std::vector<datetime>{datetime(45658.0), datetime(45306.0)}));
}

// Every query of the two curves at the probe dates, to compare curves bit for bit.
std::vector<double> queries(const discount_curve& curve)
{
    std::vector<double> results;
    for (const datetime& d1 : probe_dates())
        for (const datetime& d2 : probe_dates()) {
            results.push_back(curve.df(d1, d2));
            results.push_back(curve.log_df(d1, d2));
        }
    const std::vector<double> factors = curve.dfs(probe_dates());
    results.insert(results.end(), factors.begin(), factors.end());
    results.push_back(curve.valuation_date().as_float());
    return results;
}

// Bitwise comparison, so that NaN and signed zeros count too.
void expect_same_bits(const std::vector<double>& a, const std::vector<double>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        EXPECT_EQ(std::memcmp(&a[i], &b[i], sizeof(double)), 0) << i << ": " << a[i] << " " << b[i];
}

const char* const no_pillars_text = R"({
  "Class": "korvex::discount_curve_piecewise_constant",
  "rates_term_structure": {
    "Class": "korvex::term_structure<std::vector<double, std::allocator<double> > >",
    "x": null,
    "y": null,
    "type": 1
  },
  "valuation_date": 45292.5,
  "convention": {
    "Class": "korvex::day_count_convention",
    "type": 1,
    "calendar": {
      "Class": "empty"
    }
  }
})";

TEST(CurveRecords, EmptyVectorsAreNullAndIntegersHaveNoFraction)
{
    const auto curve = std::make_shared<const discount_curve_piecewise_constant>(
        datetime(45292.5), std::vector<datetime>{}, std::vector<double>{},
        std::make_shared<const day_count_convention>(act_360));
    EXPECT_EQ(discount_curve_piecewise_constant::json_to_string(curve), no_pillars_text);
    const json record = json::parse(no_pillars_text);
    EXPECT_TRUE(record["rates_term_structure"]["type"].is_number_integer());
    EXPECT_TRUE(record["convention"]["type"].is_number_integer());
    EXPECT_TRUE(record["valuation_date"].is_number_float());
}

TEST(CurveRecords, JsonTextMemberByMember)
{
    EXPECT_EQ(discount_curve_flat::json_to_string(flat_curve()), flat_text);
    const auto piecewise = std::make_shared<const discount_curve_piecewise_constant>(
        jan_2024, pillar_dates(), pillar_rates(), act_act_with_holidays());
    EXPECT_EQ(discount_curve_piecewise_constant::json_to_string(piecewise), piecewise_text);
    EXPECT_EQ(discount_curve_flat::json_to_string(nullptr), "{\n  \"Class\": \"empty\"\n}");
}

template <class Curve>
class CurveFiles : public ::testing::Test
{
protected:
    std::shared_ptr<const Curve> make() const
    {
        if constexpr (std::is_same_v<Curve, discount_curve_flat>)
            return std::make_shared<const Curve>(jan_2024, 0.0123456789, act_act_with_holidays());
        else
            return std::make_shared<const Curve>(jan_2024, pillar_dates(),
                                                 std::vector<double>{0.011, -0.002, 1.0 / 3.0},
                                                 act_act_with_holidays());
    }

    temporary_folder folder;
};

using CurveTypes = ::testing::Types<discount_curve_flat, discount_curve_piecewise_constant>;
TYPED_TEST_SUITE(CurveFiles, CurveTypes);

TYPED_TEST(CurveFiles, RoundTripsQueryToIdenticalBits)
{
    const auto original = this->make();
    const std::string json_path = this->folder.file("curve.json");
    const std::string binary_path = this->folder.file("curve.bin");
    TypeParam::write_to_json(json_path, original);
    TypeParam::write_to_binary(binary_path, original);
    const auto from_json = TypeParam::read_from_json(json_path);
    const auto from_binary = TypeParam::read_from_binary(binary_path);
    expect_same_bits(queries(*from_json), queries(*original));
    expect_same_bits(queries(*from_binary), queries(*original));
    EXPECT_EQ(TypeParam::json_to_string(from_json), TypeParam::json_to_string(original));
    EXPECT_EQ(TypeParam::json_to_string(from_binary), TypeParam::json_to_string(original));
    EXPECT_EQ(json::parse(file_text(json_path))["root"].dump(2), TypeParam::json_to_string(original));
}

TYPED_TEST(CurveFiles, NullMarkerGivesTheDefaultObject)
{
    const std::string json_path = this->folder.file("curve.json");
    const std::string binary_path = this->folder.file("curve.bin");
    TypeParam::write_to_json(json_path, nullptr);
    TypeParam::write_to_binary(binary_path, nullptr);
    EXPECT_EQ(file_text(json_path), "{\n  \"root\": {\n    \"Class\": \"empty\"\n  }\n}\n");
    for (const auto& read : {TypeParam::read_from_json(json_path), TypeParam::read_from_binary(binary_path)}) {
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->valuation_date().as_float(), INFINITY);
        EXPECT_EQ(read->convention(), nullptr);
        EXPECT_EQ(error_of([&] { read->df(jan_2024, jun_2025); }).message(), "convention_ is null");
    }
}

// What a reader returns writes and reads back. Each cycle turns one more level of null
// nested records into default objects (the convention read from the null marker has no
// calendar; its record's null calendar comes back as a default calendar), so the text is
// stable from the second cycle on.
TYPED_TEST(CurveFiles, ObjectFromTheNullMarkerWritesAndReadsBack)
{
    const std::string marker_path = this->folder.file("marker.json");
    TypeParam::write_to_json(marker_path, nullptr);
    auto curve = TypeParam::read_from_json(marker_path);
    std::vector<std::string> texts;
    for (int cycle = 0; cycle < 4; ++cycle) {
        const std::string json_path = this->folder.file("cycle.json");
        const std::string binary_path = this->folder.file("cycle.bin");
        TypeParam::write_to_json(json_path, curve);
        TypeParam::write_to_binary(binary_path, curve);
        texts.push_back(TypeParam::json_to_string(curve));
        EXPECT_EQ(TypeParam::json_to_string(TypeParam::read_from_binary(binary_path)),
                  TypeParam::json_to_string(TypeParam::read_from_json(json_path)));
        curve = TypeParam::read_from_json(json_path);
    }
    EXPECT_EQ(texts[3], texts[2]);
    const json record = json::parse(texts[2]);
    EXPECT_EQ(record["valuation_date"], "Infinity");
    if constexpr (std::is_same_v<TypeParam, discount_curve_flat>) {
        EXPECT_EQ(record["rates"], "NaN");
    }
}

TYPED_TEST(CurveFiles, NestedNullMarkersStillGiveObjects)
{
    json record = json::parse(TypeParam::json_to_string(this->make()));
    record["convention"] = json::parse(R"({"Class": "empty"})");
    if constexpr (std::is_same_v<TypeParam, discount_curve_piecewise_constant>)
        record["rates_term_structure"]["Class"] = "another class";
    const std::string path = this->folder.file("curve.json");
    write_file_text(path, json{{"root", record}}.dump());
    const auto read = TypeParam::read_from_json(path);
    ASSERT_NE(read->convention(), nullptr);
    EXPECT_EQ(read->convention()->type(), act_365_fixed);
    EXPECT_EQ(read->convention()->holiday_calendar(), nullptr);
    EXPECT_NO_THROW(read->df(jan_2024, jun_2025));
}

TEST(CurveRecords, NullConventionComesBackAsAFreshDefaultConventionFromBothFormats)
{
    temporary_folder folder;
    const auto curve = std::make_shared<const discount_curve_flat>(jan_2024, 0.05, nullptr);
    EXPECT_EQ(json::parse(discount_curve_flat::json_to_string(curve))["convention"].dump(),
              R"({"Class":"empty"})");
    discount_curve_flat::write_to_json(folder.file("a.json"), curve);
    discount_curve_flat::write_to_binary(folder.file("a.bin"), curve);
    for (const auto& read : {discount_curve_flat::read_from_json(folder.file("a.json")),
                             discount_curve_flat::read_from_binary(folder.file("a.bin"))}) {
        ASSERT_NE(read->convention(), nullptr);
        EXPECT_EQ(read->convention()->type(), act_365_fixed);
        EXPECT_EQ(read->convention()->holiday_calendar(), nullptr);
        EXPECT_EQ(read->log_df(jan_2024, jun_2025), (517.0 / 365.0) * -0.05);
    }
}

TEST(CurveRecords, NullCalendarRecordInstallsAFreshDefaultCalendar)
{
    temporary_folder folder;
    json record = json::parse(discount_curve_flat::json_to_string(flat_curve()));
    record["convention"]["type"] = 4;
    record["convention"]["calendar"] = json::parse(R"({"Class": "empty"})");
    write_file_text(folder.file("a.json"), json{{"root", record}}.dump());
    const auto read = discount_curve_flat::read_from_json(folder.file("a.json"));
    ASSERT_NE(read->convention()->holiday_calendar(), nullptr);
    EXPECT_TRUE(read->convention()->holiday_calendar()->use_weekends());
    EXPECT_TRUE(read->convention()->holiday_calendar()->holidays().empty());
    // 2024-01-01 (a Monday) to 2024-01-15: ten business days over 252.
    EXPECT_EQ(read->log_df(jan_2024, datetime(45306.0)), (10.0 / 252.0) * -0.05);
}

TEST(CurveRecords, AnyClassTextOtherThanTheMarkerIsReadAsTheExpectedClass)
{
    temporary_folder folder;
    json record = json::parse(discount_curve_flat::json_to_string(flat_curve()));
    record["Class"] = "korvex::discount_curve_piecewise_constant";
    write_file_text(folder.file("a.json"), json{{"root", record}}.dump());
    EXPECT_EQ(discount_curve_flat::read_from_json(folder.file("a.json"))->rate(), 0.05);
}

TEST(CurveRecords, PiecewiseCurveFromAnEmptyTermStructureRecord)
{
    temporary_folder folder;
    json record = json::parse(discount_curve_piecewise_constant::json_to_string(piecewise_curve()));
    record["rates_term_structure"] = json::parse(R"({"Class": "empty"})");
    write_file_text(folder.file("a.json"), json{{"root", record}}.dump());
    const auto read = discount_curve_piecewise_constant::read_from_json(folder.file("a.json"));
    ASSERT_NE(read->rates_term_structure(), nullptr);
    EXPECT_TRUE(read->rates_term_structure()->x().empty());
    EXPECT_EQ(read->rates_term_structure()->type(), 0);
    EXPECT_EQ(error_of([&] { read->df(jan_2024, jun_2025); }).message(),
              "The term structure has no pillars");
}

TEST(CurveRecords, TermStructureOfDifferentLengthsIsReadButNotQueried)
{
    temporary_folder folder;
    json record = json::parse(discount_curve_piecewise_constant::json_to_string(piecewise_curve()));
    record["rates_term_structure"]["y"] = json::parse("[0.01]");
    write_file_text(folder.file("a.json"), json{{"root", record}}.dump());
    const auto read = discount_curve_piecewise_constant::read_from_json(folder.file("a.json"));
    const Error e = error_of([&] { read->df(jan_2024, jun_2025); });
    EXPECT_EQ(e.message(), "The term structure has 3 pillar dates but 1 values");
    EXPECT_EQ(e.location(),
              (SourceLocation{"check_queryable", "Library/Util/term_structure/term_structure", 119}));
}

struct json_failure
{
    const char* document;
    const char* what;
};

class CurveJsonFailures : public ::testing::TestWithParam<json_failure>
{
};

TEST_P(CurveJsonFailures, JsonLibraryErrorsPassThroughUnchanged)
{
    temporary_folder folder;
    write_file_text(folder.file("a.json"), GetParam().document);
    try {
        discount_curve_piecewise_constant::read_from_json(folder.file("a.json"));
        ADD_FAILURE() << "read succeeded";
    } catch (const nlohmann::ordered_json::exception& e) {
        EXPECT_STREQ(e.what(), GetParam().what);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, CurveJsonFailures,
    ::testing::Values(
        json_failure{R"({"root": {"valuation_date": 1.0}})",
                     "[json.exception.type_error.302] type must be string, but is null"},
        json_failure{R"({"root": {"Class": "x", "rates_term_structure": {"Class": "t", "x": [1.0], "y": [0.1], "type": 1}}})",
                     "[json.exception.type_error.302] type must be number, but is null"},
        json_failure{R"({"root": {"Class": "x", "rates_term_structure": {"Class": "t", "x": {"a": 1}}}})",
                     "[json.exception.type_error.305] cannot use operator[] with a numeric argument with object"},
        json_failure{R"({"root": 5})",
                     "[json.exception.type_error.305] cannot use operator[] with a string argument with number"},
        json_failure{R"({"root": {"Class": "x", "rates_term_structure": {"Class": "t", "x": ["a"]}}})",
                     "[json.exception.type_error.302] type must be number, but is string"},
        json_failure{R"({"root": {"Class": "x", "rates_term_structure": {"Class": "t", "x": [], "y": [], "type": 1}, "valuation_date": 1.0, "convention": {"Class": "c", "type": 0, "calendar": {"Class": "k", "use_weekends": 1}}}})",
                     "[json.exception.type_error.302] type must be boolean, but is number"}));

TEST(CurveRecords, DocumentWithoutRootIsRefused)
{
    temporary_folder folder;
    write_file_text(folder.file("a.json"), R"({"Root": {"Class": "empty"}})");
    const Error e = error_of([&] { discount_curve_flat::read_from_json(folder.file("a.json")); });
    EXPECT_EQ(e.message(), "The JSON document of \"" + folder.file("a.json") + "\" has no \"root\" member");
}

TEST(CurveRecords, DocumentThatIsNotAnObjectFailsWithTheJsonLibraryError)
{
    temporary_folder folder;
    for (const auto& [document, type] : {std::pair{"[1, 2]", "array"}, std::pair{"3", "number"}}) {
        write_file_text(folder.file("a.json"), document);
        try {
            discount_curve_flat::read_from_json(folder.file("a.json"));
            ADD_FAILURE() << document;
        } catch (const nlohmann::json::type_error& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("[json.exception.type_error.305] cannot use operator[] with a string argument with ") +
                          type);
        }
    }
}

TEST(CurveRecords, UnknownDayCountTypeIsRefused)
{
    temporary_folder folder;
    json record = json::parse(discount_curve_flat::json_to_string(flat_curve()));
    record["convention"]["type"] = 99;
    write_file_text(folder.file("a.json"), json{{"root", record}}.dump());
    EXPECT_EQ(error_of([&] { discount_curve_flat::read_from_json(folder.file("a.json")); }).message(),
              "unknown day count convention type 99");
}

TEST(CurveRecords, IntegersThatWouldWrapAreRefused)
{
    // 4294967297 wraps to 1 (ACT/360) in a 32-bit int.
    temporary_folder folder;
    json record = json::parse(discount_curve_piecewise_constant::json_to_string(piecewise_curve()));
    record["convention"]["type"] = 4294967297u;
    write_file_text(folder.file("a.json"), json{{"root", record}}.dump());
    EXPECT_EQ(error_of([&] { discount_curve_piecewise_constant::read_from_json(folder.file("a.json")); })
                  .message(),
              "The number 4294967297 does not fit in int");
    record = json::parse(discount_curve_piecewise_constant::json_to_string(piecewise_curve()));
    record["rates_term_structure"]["type"] = -1e300;
    write_file_text(folder.file("a.json"), json{{"root", record}}.dump());
    EXPECT_EQ(error_of([&] { discount_curve_piecewise_constant::read_from_json(folder.file("a.json")); })
                  .message(),
              "The number -1e+300 does not fit in int");
}

class CurveBinaryFiles : public ::testing::Test
{
protected:
    // The record stream of the piecewise curve, without the file header.
    std::vector<std::uint8_t> payload() const
    {
        const std::string path = folder.file("source.bin");
        discount_curve_piecewise_constant::write_to_binary(path, piecewise_curve());
        std::vector<std::uint8_t> bytes;
        serialization::access::read_binary(path, bytes);
        return bytes;
    }

    temporary_folder folder;
};

TEST_F(CurveBinaryFiles, EveryTruncatedFileIsRefused)
{
    const std::string source = folder.file("curve.bin");
    discount_curve_piecewise_constant::write_to_binary(source, piecewise_curve());
    const std::vector<std::uint8_t> whole = file_bytes(source);
    const std::string path = folder.file("cut.bin");
    for (std::size_t size = 0; size < whole.size(); ++size) {
        write_file_bytes(path, {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)});
        const Error e = error_of([&] { discount_curve_piecewise_constant::read_from_binary(path); });
        EXPECT_NE(e.message().find(path), std::string::npos) << size;
    }
}

TEST_F(CurveBinaryFiles, EveryTruncatedRecordIsRefusedEvenUnderAValidHeader)
{
    const std::vector<std::uint8_t> whole = payload();
    const std::string path = folder.file("cut.bin");
    for (std::size_t size = 0; size < whole.size(); ++size) {
        serialization::access::write_binary(path, {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)});
        EXPECT_NO_FATAL_FAILURE(error_of([&] { discount_curve_piecewise_constant::read_from_binary(path); }))
            << size;
    }
}

TEST_F(CurveBinaryFiles, FlippedBytesUnderAValidHeaderNeverCrash)
{
    const std::vector<std::uint8_t> whole = payload();
    const std::string path = folder.file("flipped.bin");
    for (std::size_t i = 0; i < whole.size(); ++i)
        for (const std::uint8_t mask : {0x01, 0x80, 0xFF}) {
            std::vector<std::uint8_t> damaged = whole;
            damaged[i] ^= mask;
            serialization::access::write_binary(path, damaged);
            try {
                const auto curve = discount_curve_piecewise_constant::read_from_binary(path);
                try {
                    curve->df(jan_2024, jun_2025);
                } catch (const Error&) {
                }
            } catch (const Error&) {
            }
        }
}

TEST_F(CurveBinaryFiles, OneFlippedByteInTheFileIsRefused)
{
    const std::string path = folder.file("curve.bin");
    discount_curve_piecewise_constant::write_to_binary(path, piecewise_curve());
    std::vector<std::uint8_t> bytes = file_bytes(path);
    bytes[bytes.size() / 2] ^= 0x04;
    write_file_bytes(path, bytes);
    EXPECT_EQ(error_of([&] { discount_curve_piecewise_constant::read_from_binary(path); }).message(),
              "\"" + path + "\" is corrupted: its checksum does not match its content");
}

TEST_F(CurveBinaryFiles, HugeCountIsRefusedBeforeAllocating)
{
    // A payload whose term structure announces 4294967295 pillar dates.
    multi_process_stream stream;
    stream << std::string("korvex::discount_curve_piecewise_constant") << std::string("t")
           << 4294967295u << 1.0;
    const std::string path = folder.file("huge.bin");
    serialization::access::write_binary(path, stream.GetRawData());
    const Error e = error_of([&] { discount_curve_piecewise_constant::read_from_binary(path); });
    EXPECT_EQ(e.message().rfind("A vector of 4294967295 elements at offset ", 0), 0u) << e.message();
    EXPECT_EQ(e.location(), (SourceLocation{"load", "Library/Serialization/serialization_impl", 381}));
}

TEST_F(CurveBinaryFiles, BytesAfterTheRecordAreRefused)
{
    std::vector<std::uint8_t> bytes = payload();
    multi_process_stream more;
    more << 1.0;
    bytes.insert(bytes.end(), more.GetRawData().begin(), more.GetRawData().end());
    const std::string path = folder.file("longer.bin");
    serialization::access::write_binary(path, bytes);
    const Error e = error_of([&] { discount_curve_piecewise_constant::read_from_binary(path); });
    EXPECT_EQ(e.message(), "\"" + path + "\" holds 9 bytes after its record");
    EXPECT_EQ(e.location(), (SourceLocation{"read_from_binary", "Library/Serialization/serialization_impl", 704}));
}

TEST_F(CurveBinaryFiles, OtherFilesAreRefusedWithTheirPath)
{
    const std::string path = folder.file("other.bin");
    write_file_text(path, "");
    EXPECT_EQ(error_of([&] { discount_curve_flat::read_from_binary(path); }).message(),
              "\"" + path + "\" is empty, not a korvex binary file");
    write_file_text(path, "\x7f" "ELF\x02\x01\x01");
    EXPECT_EQ(error_of([&] { discount_curve_flat::read_from_binary(path); }).message(),
              "\"" + path + "\" is not a korvex binary file");
    const std::string missing = folder.file("missing.bin");
    EXPECT_EQ(error_of([&] { discount_curve_flat::read_from_binary(missing); }).message(),
              "cannot open \"" + missing + "\": No such file or directory");
    EXPECT_EQ(error_of([&] { discount_curve_flat::read_from_json(missing); }).message(),
              "cannot open \"" + missing + "\": No such file or directory");
}

TEST(CurveRegistration, BothCurvesAreInBothRegistriesUnderTheirDemangledTags)
{
    const std::string tags[] = {demangle(typeid(discount_curve_flat).name()),
                                demangle(typeid(discount_curve_piecewise_constant).name())};
    EXPECT_EQ(tags[0], "korvex::discount_curve_flat");
    EXPECT_EQ(tags[1], "korvex::discount_curve_piecewise_constant");
    for (const std::string& tag : tags) {
        EXPECT_TRUE(JsonSerializationRegistry().contains(tag)) << tag;
        EXPECT_TRUE(BinarySerializationRegistry().contains(tag)) << tag;
    }
}

TEST(CurveRegistration, NestedAndBaseClassesAreNotRegistered)
{
    for (const std::string& tag :
         {demangle(typeid(currency).name()), demangle(typeid(discount_definition).name()),
          demangle(typeid(day_count_convention).name()), demangle(typeid(calendar).name()),
          demangle(typeid(term_structure<std::vector<double>>).name()),
          demangle(typeid(discount_curve).name()), demangle(typeid(market_data).name()),
          std::string("empty")}) {
        EXPECT_FALSE(JsonSerializationRegistry().contains(tag)) << tag;
        EXPECT_FALSE(BinarySerializationRegistry().contains(tag)) << tag;
    }
}

template <class Curve>
class CurveRegistryEntries : public ::testing::Test
{
protected:
    const std::string tag = demangle(typeid(Curve).name());

    std::shared_ptr<const Curve> make() const
    {
        if constexpr (std::is_same_v<Curve, discount_curve_flat>)
            return flat_curve();
        else
            return piecewise_curve();
    }
};

TYPED_TEST_SUITE(CurveRegistryEntries, CurveTypes);

TYPED_TEST(CurveRegistryEntries, WriteTheRecordOrTheNullMarkerAndReadANewObject)
{
    const auto curve = this->make();
    const json_serialization_function json_entry = *JsonSerializationRegistry().find(this->tag);
    json record;
    json_entry(record, const_cast<TypeParam*>(curve.get()), false);
    EXPECT_EQ(record.dump(2), TypeParam::json_to_string(curve));
    json null_record;
    json_entry(null_record, nullptr, false);
    EXPECT_EQ(null_record.dump(), R"({"Class":"empty"})");
    std::shared_ptr<const market_data> from_json;
    json_entry(record, &from_json, true);
    ASSERT_NE(dynamic_cast<const TypeParam*>(from_json.get()), nullptr);

    const binary_serialization_function binary_entry = *BinarySerializationRegistry().find(this->tag);
    multi_process_stream stream;
    binary_entry(stream, const_cast<TypeParam*>(curve.get()), false);
    binary_entry(stream, nullptr, false);
    std::shared_ptr<const market_data> from_binary;
    binary_entry(stream, &from_binary, true);
    ASSERT_NE(dynamic_cast<const TypeParam*>(from_binary.get()), nullptr);
    // Both formats give the same object, which discounts as the original (a convention
    // without calendar comes back with a fresh default calendar).
    EXPECT_EQ(TypeParam::json_to_string(std::dynamic_pointer_cast<const TypeParam>(from_binary)),
              TypeParam::json_to_string(std::dynamic_pointer_cast<const TypeParam>(from_json)));
    const datetime d1(2024, 3, 1), d2(2027, 5, 17);
    EXPECT_EQ(std::dynamic_pointer_cast<const TypeParam>(from_json)->df(d1, d2), curve->df(d1, d2));
    std::string marker;
    stream >> marker;
    EXPECT_EQ(marker, "empty");
    EXPECT_EQ(stream.bytes_left(), 0u);
}

// Puts a replacement entry under a tag for the scope, then the original entry back.
class replaced_json_entry
{
public:
    replaced_json_entry(std::string tag, json_serialization_function replacement)
        : tag_(std::move(tag)), original_(*JsonSerializationRegistry().find(tag_))
    {
        JsonSerializationRegistry().add(tag_, std::move(replacement));
    }
    replaced_json_entry(const replaced_json_entry&) = delete;
    replaced_json_entry& operator=(const replaced_json_entry&) = delete;
    ~replaced_json_entry() { JsonSerializationRegistry().add(tag_, original_); }

private:
    std::string tag_;
    json_serialization_function original_;
};

TEST(CurveRegistration, TheSecondEntryUnderATagIsTheOneDispatched)
{
    const std::shared_ptr<const market_data> curve = flat_curve();
    int calls = 0;
    const json_serialization_function first = *JsonSerializationRegistry().find("korvex::discount_curve_flat");
    {
        const replaced_json_entry second("korvex::discount_curve_flat",
                                         [&](json& j, void* target, bool load_flag) {
                                             ++calls;
                                             first(j, target, load_flag);
                                         });
        json record;
        details::save_polymorphic(record, curve);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(record.dump(2), discount_curve_flat::json_to_string(flat_curve()));
    }
    json record;
    details::save_polymorphic(record, curve);
    EXPECT_EQ(calls, 1);
}

TEST(CurveRegistration, AnEmptyEntryRaisesBadFunctionCall)
{
    const replaced_json_entry empty("korvex::discount_curve_flat", nullptr);
    json record;
    EXPECT_THROW(details::save_polymorphic(record, std::shared_ptr<const market_data>(flat_curve())),
                 std::bad_function_call);
}

}  // namespace
}  // namespace korvex
