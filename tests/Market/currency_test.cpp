#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <string>

#include "Market/common/currency.h"
#include "Market/common/discount_definition.h"
#include "serialization/test_support.h"

namespace korvex {
namespace {

using korvex::testing::error_of;
using korvex::testing::file_text;
using korvex::testing::temporary_folder;
using korvex::testing::write_file_text;

// The two key records differ only in their class, member name, accessor and message.
struct currency_traits
{
    using type = currency;
    static constexpr const char* tag = "korvex::currency";
    static constexpr const char* member = "ccy";
    static constexpr const char* message = "invalide currency!";
    static constexpr const char* file = "Library/Market/common/currency";
    static const key& code(const currency& c) { return c.ccy(); }
};

struct discount_definition_traits
{
    using type = discount_definition;
    static constexpr const char* tag = "korvex::discount_definition";
    static constexpr const char* member = "id";
    static constexpr const char* message = "invalide key!";
    static constexpr const char* file = "Library/Market/common/discount_definition";
    static const key& code(const discount_definition& d) { return d.id(); }
};

template <class Traits>
class KeyRecord : public ::testing::Test
{
protected:
    std::string record_text(const std::string& code) const
    {
        return std::string("{\n  \"Class\": \"") + Traits::tag + "\",\n  \"" + Traits::member +
               "\": \"" + code + "\"\n}";
    }

    temporary_folder folder;
};

using KeyRecordTypes = ::testing::Types<currency_traits, discount_definition_traits>;
TYPED_TEST_SUITE(KeyRecord, KeyRecordTypes);

TYPED_TEST(KeyRecord, KeepsItsCode)
{
    using T = typename TypeParam::type;
    const key usd("USD");
    const T copied(usd);
    const T moved(key("EUR"));
    EXPECT_EQ(copied.to_string(), "USD");
    EXPECT_EQ(TypeParam::code(copied), usd);
    EXPECT_EQ(moved.to_string(), "EUR");
}

TYPED_TEST(KeyRecord, EmptyCodeIsRefused)
{
    using T = typename TypeParam::type;
    for (const Error& e : {error_of([] { T{key("")}; }), error_of([] {
                               const key empty;
                               T{empty};
                           })}) {
        EXPECT_EQ(e.message(), TypeParam::message);
        EXPECT_EQ(e.location(), (SourceLocation{"validate", TypeParam::file, 50}));
    }
}

TYPED_TEST(KeyRecord, JsonTextAndNullMarker)
{
    using T = typename TypeParam::type;
    EXPECT_EQ(T::json_to_string(std::make_shared<const T>(key("USD"))), this->record_text("USD"));
    EXPECT_EQ(T::json_to_string(nullptr), "{\n  \"Class\": \"empty\"\n}");
    // Non-ASCII text is printed as UTF-8, not escaped.
    EXPECT_EQ(T::json_to_string(std::make_shared<const T>(key("\xe2\x82\xac"))),
              this->record_text("\xe2\x82\xac"));
    EXPECT_THROW(T::json_to_string(std::make_shared<const T>(key("\xff"))),
                 nlohmann::ordered_json::type_error);
}

TYPED_TEST(KeyRecord, FileRoundTrips)
{
    using T = typename TypeParam::type;
    const auto original = std::make_shared<const T>(key("JPY \xe2\x82\xac"));
    const std::string json_path = this->folder.file("a.json");
    const std::string binary_path = this->folder.file("a.bin");
    T::write_to_json(json_path, original);
    T::write_to_binary(binary_path, original);
    // Ordered JSON objects compare member order too.
    EXPECT_EQ(nlohmann::ordered_json::parse(file_text(json_path)),
              nlohmann::ordered_json::parse("{\"root\": " + this->record_text(original->to_string()) + "}"));
    EXPECT_EQ(T::read_from_json(json_path)->to_string(), original->to_string());
    EXPECT_EQ(T::read_from_binary(binary_path)->to_string(), original->to_string());
}

TYPED_TEST(KeyRecord, NullMarkerReadsAsEmptyCodeWithoutValidation)
{
    using T = typename TypeParam::type;
    const std::string json_path = this->folder.file("a.json");
    const std::string binary_path = this->folder.file("a.bin");
    T::write_to_json(json_path, nullptr);
    T::write_to_binary(binary_path, nullptr);
    EXPECT_EQ(file_text(json_path), "{\n  \"root\": {\n    \"Class\": \"empty\"\n  }\n}\n");
    for (const auto& read : {T::read_from_json(json_path), T::read_from_binary(binary_path)}) {
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->to_string(), "");
    }
}

TYPED_TEST(KeyRecord, WritersRefuseTheEmptyCodeAsTheReadersDo)
{
    using T = typename TypeParam::type;
    const std::string marker_path = this->folder.file("marker.json");
    T::write_to_json(marker_path, nullptr);
    const auto empty = T::read_from_json(marker_path);
    const std::string json_path = this->folder.file("a.json");
    const std::string binary_path = this->folder.file("a.bin");
    write_file_text(json_path, "kept");
    for (const Error& e : {error_of([&] { T::write_to_json(json_path, empty); }),
                           error_of([&] { T::write_to_binary(binary_path, empty); }),
                           error_of([&] { T::json_to_string(empty); })}) {
        EXPECT_EQ(e.message(), TypeParam::message);
        EXPECT_EQ(e.location(), (SourceLocation{"validate", TypeParam::file, 50}));
    }
    EXPECT_EQ(file_text(json_path), "kept");
    EXPECT_FALSE(std::filesystem::exists(binary_path));
    EXPECT_EQ(this->folder.entries().size(), 2u);
}

TYPED_TEST(KeyRecord, StoredEmptyCodeFailsWhateverTheClassSays)
{
    using T = typename TypeParam::type;
    const std::string path = this->folder.file("a.json");
    write_file_text(path, std::string("{\"root\": {\"Class\": \"anything\", \"") + TypeParam::member +
                              "\": \"\"}}");
    EXPECT_EQ(error_of([&] { T::read_from_json(path); }).message(), TypeParam::message);

    write_file_text(path, "{\"root\": {\"Class\": \"anything\", \"other\": \"USD\"}}");
    try {
        T::read_from_json(path);
        ADD_FAILURE() << "a record without its member was read";
    } catch (const nlohmann::ordered_json::type_error& e) {
        EXPECT_STREQ(e.what(), "[json.exception.type_error.302] type must be string, but is null");
    }

    write_file_text(path, "{\"root\": {\"Class\": \"anything\", \"" + std::string(TypeParam::member) +
                              "\": \"GBP\"}}");
    EXPECT_EQ(T::read_from_json(path)->to_string(), "GBP");
}

}  // namespace
}  // namespace korvex
