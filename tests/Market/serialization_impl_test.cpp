#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <typeinfo>
#include <variant>
#include <vector>

#include "Market/common/config_data.h"
#include "Market/curve_fixtures.h"
#include "Serialization/serialization_impl.h"
#include "serialization/test_support.h"

namespace korvex {
namespace {

using namespace korvex::testing;
using json = nlohmann::ordered_json;
using data_variant = std::variant<std::shared_ptr<const market_data>, std::shared_ptr<const config_data>,
                                  std::shared_ptr<const discount_curve>>;

constexpr const char* variant_file = "Library\\Serialization/serialization_impl";

// Takes a polymorphic record out of a value or stream and back in, through the registries.
template <class Archive>
std::shared_ptr<const market_data> through_registry(const std::shared_ptr<const market_data>& curve)
{
    Archive archive;
    details::save_polymorphic(archive, curve);
    std::shared_ptr<const market_data> back;
    details::load_polymorphic(archive, back);
    return back;
}

TEST(PolymorphicRecords, CurvesHeldAsBasePointersRoundTripThroughTheRegistries)
{
    const std::shared_ptr<const market_data> curves[] = {flat_curve(), piecewise_curve()};
    for (const auto& curve : curves) {
        for (const auto& back :
             {through_registry<json>(curve), through_registry<multi_process_stream>(curve)}) {
            ASSERT_NE(back, nullptr);
            EXPECT_NE(back, curve);
            EXPECT_EQ(typeid(*back), typeid(*curve));
            const auto& original = dynamic_cast<const discount_curve&>(*curve);
            const auto& read = dynamic_cast<const discount_curve&>(*back);
            EXPECT_EQ(read.df(jan_2024, jun_2025), original.df(jan_2024, jun_2025));
        }
    }
}

TEST(PolymorphicRecords, BinaryRecordRepeatsTheTag)
{
    multi_process_stream stream;
    details::save_polymorphic(stream, std::shared_ptr<const market_data>(flat_curve()));
    std::string first;
    std::string second;
    double rate = 0.0;
    stream >> first >> second >> rate;
    EXPECT_EQ(first, "korvex::discount_curve_flat");
    EXPECT_EQ(second, first);
    EXPECT_EQ(rate, 0.05);
}

TEST(PolymorphicRecords, UnregisteredTagsAndTheNullMarkerLeaveThePointer)
{
    json record = json::parse(R"({"Class": "empty"})");
    std::shared_ptr<const market_data> target;
    details::load_polymorphic(record, target);
    EXPECT_EQ(target, nullptr);

    multi_process_stream stream;
    stream << std::string("korvex::not_registered") << 1.0;
    details::load_polymorphic(stream, target);
    EXPECT_EQ(target, nullptr);
    EXPECT_EQ(stream.bytes_left(), 9u);  // nothing after the tag was read
}

TEST(PolymorphicRecords, NullPointerCannotBeWritten)
{
    json record;
    multi_process_stream stream;
    EXPECT_THROW(details::save_polymorphic(record, std::shared_ptr<const market_data>()), std::bad_typeid);
    EXPECT_THROW(details::save_polymorphic(stream, std::shared_ptr<const market_data>()), std::bad_typeid);
}

TEST(PolymorphicRecords, RecordOfAnotherBaseIsRefused)
{
    json record = json::parse(discount_curve_flat::json_to_string(flat_curve()));
    std::shared_ptr<const config_data> target;
    const Error e = error_of([&] { details::load_polymorphic(record, target); });
    EXPECT_EQ(e.message(), "A korvex::discount_curve_flat record cannot be read where a "
                           "korvex::config_data is expected");
    EXPECT_EQ(target, nullptr);
}

TEST(VariantRecords, JsonFormAndRoundTrip)
{
    const data_variant value = std::shared_ptr<const market_data>(flat_curve());
    json record;
    details::save(record, value);
    EXPECT_EQ(record.begin().key(), "Index");
    EXPECT_EQ(record["Index"], 0u);
    EXPECT_TRUE(record["Index"].is_number_unsigned());
    EXPECT_EQ(record["Value"].dump(2), discount_curve_flat::json_to_string(flat_curve()));

    data_variant back = std::shared_ptr<const discount_curve>();
    details::load(record, back);
    ASSERT_EQ(back.index(), 0u);
    EXPECT_EQ(typeid(*std::get<0>(back)), typeid(discount_curve_flat));
}

TEST(VariantRecords, BinaryFormIsIndexTagTagFields)
{
    const data_variant value = std::shared_ptr<const discount_curve>(piecewise_curve());
    multi_process_stream stream;
    details::save(stream, value);
    unsigned int index = 0;
    std::string tag;
    std::string again;
    stream >> index >> tag >> again;
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(tag, "korvex::discount_curve_piecewise_constant");
    EXPECT_EQ(again, tag);

    multi_process_stream copy;
    copy.SetRawData(stream.GetRawData());
    data_variant back;
    const Error e = error_of([&] { details::load(copy, back); });
    EXPECT_EQ(e.message(), "A korvex::discount_curve_piecewise_constant record cannot be read where "
                           "a korvex::discount_curve is expected");
}

TEST(VariantRecords, IndexOutOfRangeIsRefused)
{
    json record = json::parse(R"({"Index": 3, "Value": {"Class": "empty"}})");
    data_variant value;
    Error e = error_of([&] { details::load(record, value); });
    EXPECT_EQ(e.message(), "Variant index out of range");
    EXPECT_EQ(e.location(), (SourceLocation{"load", variant_file, 286}));

    multi_process_stream stream;
    stream << 7u << std::string("empty");
    e = error_of([&] { details::load(stream, value); });
    EXPECT_EQ(e.message(), "Variant index out of range");
}

TEST(VariantRecords, IndexesBeyondThirtyTwoBitsOrNegativeAreOutOfRange)
{
    for (const char* index : {"4294967296", "4294967299", "1e20", "-1", "-1e20"}) {
        json record = json::parse(std::string(R"({"Index": )") + index + R"(, "Value": {"Class": "empty"}})");
        data_variant value;
        const Error e = error_of([&] { details::load(record, value); });
        EXPECT_EQ(e.message(), "Variant index out of range") << index;
        EXPECT_EQ(e.location(), (SourceLocation{"load", variant_file, 286})) << index;
    }
    json record = json::parse(R"({"Value": {"Class": "empty"}})");
    data_variant value;
    try {
        details::load(record, value);
        ADD_FAILURE() << "a variant without its index was read";
    } catch (const json::type_error& e) {
        EXPECT_STREQ(e.what(), "[json.exception.type_error.302] type must be number, but is null");
    }
}

TEST(VariantRecords, NullMarkerResetsToANullAlternative)
{
    json record = json::parse(R"({"Index": 1, "Value": {"Class": "empty"}})");
    data_variant value = std::shared_ptr<const market_data>(flat_curve());
    details::load(record, value);
    ASSERT_EQ(value.index(), 1u);
    EXPECT_EQ(std::get<1>(value), nullptr);
}

struct integer_case
{
    const char* number;
    bool fits_int;
    int as_int;
    bool fits_unsigned;
    unsigned int as_unsigned;
};

void PrintTo(const integer_case& c, std::ostream* out) { *out << c.number; }

class IntegerRecords : public ::testing::TestWithParam<integer_case>
{
};

// Integers out of range are refused rather than wrapped (or converted with undefined
// behaviour, for floating-point numbers); fractions are truncated toward zero.
TEST_P(IntegerRecords, NumbersOutOfRangeAreRefused)
{
    const integer_case c = GetParam();
    json number = json::parse(c.number);
    int as_int = 0;
    unsigned int as_unsigned = 0;
    const std::string text = number.dump();
    if (c.fits_int) {
        details::load(number, as_int);
        EXPECT_EQ(as_int, c.as_int);
    } else {
        const Error e = error_of([&] { details::load(number, as_int); });
        EXPECT_EQ(e.message(), "The number " + text + " does not fit in int");
        EXPECT_EQ(e.location(), (SourceLocation{"integer_from", "Library/Serialization/serialization_impl", 236}));
    }
    if (c.fits_unsigned) {
        details::load(number, as_unsigned);
        EXPECT_EQ(as_unsigned, c.as_unsigned);
    } else {
        EXPECT_EQ(error_of([&] { details::load(number, as_unsigned); }).message(),
                  "The number " + text + " does not fit in unsigned int");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, IntegerRecords,
    ::testing::Values(integer_case{"0", true, 0, true, 0u},
                      integer_case{"2147483647", true, 2147483647, true, 2147483647u},
                      integer_case{"-2147483648", true, -2147483647 - 1, false, 0u},
                      integer_case{"2147483648", false, 0, true, 2147483648u},
                      integer_case{"-2147483649", false, 0, false, 0u},
                      integer_case{"4294967295", false, 0, true, 4294967295u},
                      integer_case{"4294967296", false, 0, false, 0u},
                      integer_case{"18446744073709551615", false, 0, false, 0u},
                      integer_case{"-1", true, -1, false, 0u},
                      integer_case{"1.9", true, 1, true, 1u},
                      integer_case{"-0.5", true, 0, true, 0u},
                      integer_case{"-1.0", true, -1, false, 0u},
                      integer_case{"2147483647.5", true, 2147483647, true, 2147483647u},
                      integer_case{"2147483648.0", false, 0, true, 2147483648u},
                      integer_case{"1e20", false, 0, false, 0u},
                      integer_case{"-1e20", false, 0, false, 0u}));

TEST(IntegerRecordsOfOtherTypes, FailWithTheJsonLibraryTypeError)
{
    for (const char* text : {"\"1\"", "null", "[1]"}) {
        json value = json::parse(text);
        int number = 0;
        try {
            details::load(value, number);
            ADD_FAILURE() << text << " was read as an int";
        } catch (const json::type_error& e) {
            EXPECT_EQ(std::string(e.what()), std::string("[json.exception.type_error.302] type must be number, but is ") +
                                                 value.type_name());
        }
    }
}

TEST(VectorRecords, EmptyIsNullAndNullIsEmpty)
{
    json record;
    details::save(record["dates"], std::vector<datetime>{});
    EXPECT_TRUE(record["dates"].is_null());
    std::vector<double> values{1.0, 2.0};
    details::load(record["dates"], values);
    EXPECT_TRUE(values.empty());

    details::save(record["values"], std::vector<double>{0.5, -1.25});
    EXPECT_EQ(record["values"].dump(), "[0.5,-1.25]");
    std::vector<datetime> dates;
    details::load(record["values"], dates);
    ASSERT_EQ(dates.size(), 2u);
    EXPECT_EQ(dates[1].as_float(), -1.25);
}

TEST(NonFiniteRecords, AreWrittenAsTextAndReadBackWhereADoubleIsRead)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    json record;
    details::save(record["rate"], -nan);
    details::save(record["date"], datetime(inf));
    details::save(record["values"], std::vector<double>{-inf, 1.5, nan});
    details::save(record["dates"], std::vector<datetime>{datetime(-inf), datetime(0.25)});
    EXPECT_EQ(record.dump(), R"({"rate":"NaN","date":"Infinity","values":["-Infinity",1.5,"NaN"],)"
                             R"("dates":["-Infinity",0.25]})");

    double rate = 0.0;
    datetime date;
    std::vector<double> values;
    std::vector<datetime> dates;
    details::load(record["rate"], rate);
    details::load(record["date"], date);
    details::load(record["values"], values);
    details::load(record["dates"], dates);
    EXPECT_TRUE(std::isnan(rate));
    EXPECT_FALSE(std::signbit(rate));
    EXPECT_EQ(date.as_float(), inf);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], -inf);
    EXPECT_EQ(values[1], 1.5);
    EXPECT_TRUE(std::isnan(values[2]));
    ASSERT_EQ(dates.size(), 2u);
    EXPECT_EQ(dates[0].as_float(), -inf);
    EXPECT_EQ(dates[1].as_float(), 0.25);
}

TEST(NonFiniteRecords, FiniteNumbersKeepTheirText)
{
    for (const double value : {0.0, -0.0, 1e308, -4.9406564584124654e-324, 0.1, 45292.0}) {
        json number;
        details::save(number, value);
        EXPECT_EQ(number.dump(), json(value).dump());
        double back = 1.0;
        details::load(number, back);
        EXPECT_EQ(std::memcmp(&back, &value, sizeof value), 0) << value;
    }
}

TEST(NonFiniteRecords, AnyOtherStringFailsWithTheJsonLibraryTypeError)
{
    for (const char* text : {"nan", "inf", "-inf", "+Infinity", "infinity", " NaN", "1.5", ""}) {
        json value = text;
        double number = 0.0;
        datetime date;
        for (const auto& read : {std::function<void()>([&] { details::load(value, number); }),
                                 std::function<void()>([&] { details::load(value, date); })}) {
            try {
                read();
                ADD_FAILURE() << '"' << text << "\" was read as a number";
            } catch (const json::type_error& e) {
                EXPECT_STREQ(e.what(), "[json.exception.type_error.302] type must be number, but is string");
            }
        }
    }
}

TEST(VectorRecords, CountsBeyondThirtyTwoBitsCannotBeWritten)
{
    EXPECT_EQ(details::stream_count(4294967295u), 4294967295u);
    const Error e = error_of([] { details::stream_count(std::size_t{4294967296u}); });
    EXPECT_EQ(e.message(), "A vector of 4294967296 elements is too long for a 32-bit count");
    EXPECT_EQ(e.location(), (SourceLocation{"stream_count", "Library/Serialization/serialization_impl", 353}));
}

TEST(VectorRecords, BinaryCountIsThirtyTwoBits)
{
    multi_process_stream stream;
    details::save(stream, std::vector<double>{1.0, 2.0, 3.0});
    unsigned int count = 0;
    stream >> count;
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(stream.bytes_left(), 27u);
}

}  // namespace
}  // namespace korvex
