#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <typeinfo>

#include "Market/market_fixtures.h"
#include "Serialization/serialization_impl.h"
#include "serialization/serialization_registry.h"
#include "serialization/test_support.h"

namespace korvex {
namespace {

using namespace korvex::testing;
using json = nlohmann::ordered_json;

struct key_change
{
    const char* name;
    std::function<default_id()> make;
};

class DefaultIdKeys : public ::testing::TestWithParam<key_change>
{
};

TEST_P(DefaultIdKeys, EveryKeyTakesPartInTheHash)
{
    const default_id same("ACME", "EUR", "SNRFOR", "MM14", "2014");
    EXPECT_TRUE(same == *acme_id());
    EXPECT_FALSE(same != *acme_id());
    EXPECT_EQ(same.hash(), acme_id()->hash());
    const default_id changed = GetParam().make();
    EXPECT_NE(changed.hash(), same.hash());
    EXPECT_FALSE(changed == same);
    EXPECT_TRUE(changed != same);
}

INSTANTIATE_TEST_SUITE_P(
    OneKeyChanged, DefaultIdKeys,
    ::testing::Values(key_change{"name", [] { return default_id("ACMF", "EUR", "SNRFOR", "MM14", "2014"); }},
                      key_change{"ccy", [] { return default_id("ACME", "USD", "SNRFOR", "MM14", "2014"); }},
                      key_change{"seniority", [] { return default_id("ACME", "EUR", "SUBLT2", "MM14", "2014"); }},
                      key_change{"restructuring", [] { return default_id("ACME", "EUR", "SNRFOR", "XR", "2014"); }},
                      key_change{"isda", [] { return default_id("ACME", "EUR", "SNRFOR", "MM14", "2003"); }},
                      // The same texts in other places.
                      key_change{"swapped", [] { return default_id("SNRFOR", "EUR", "ACME", "MM14", "2014"); }}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(DataIdHashes, FollowTheirDefinitions)
{
    std::uint64_t folded = key("2014").hash();
    for (const char* text : {"MM14", "SNRFOR", "EUR", "ACME"})
        folded = key::hash(key(text), folded);
    EXPECT_EQ(acme_id()->hash(), folded);
    EXPECT_EQ(ois_usd_id()->hash(), (key("OIS").hash() * 2) ^ key("USD").hash());
    EXPECT_EQ(usd_eur_id()->hash(), (key("EUR").hash() * 2) ^ key("USD").hash());
    EXPECT_NE(fx_spot_id("EUR", "USD").hash(), usd_eur_id()->hash());
}

TEST(DataIdComparisons, EqualHashesOfDifferentClassesAreNotEqual)
{
    // (h(EUR) × 2) XOR h(USD) for both.
    const discount_id discount("EUR", "USD");
    const fx_spot_id fx("USD", "EUR");
    ASSERT_EQ(discount.hash(), fx.hash());
    EXPECT_FALSE(discount == fx);
    EXPECT_TRUE(discount != fx);
    EXPECT_FALSE(discount < fx);
    EXPECT_FALSE(discount > fx);
    EXPECT_TRUE(discount <= fx);
    EXPECT_TRUE(discount >= fx);
}

TEST(DataIdComparisons, OrderingFollowsTheHashesWhateverTheClasses)
{
    const std::shared_ptr<const data_id> ids[] = {acme_id(), ois_usd_id(), usd_eur_id()};
    for (const auto& a : ids)
        for (const auto& b : ids) {
            EXPECT_EQ(*a < *b, a->hash() < b->hash());
            EXPECT_EQ(*a <= *b, a->hash() <= b->hash());
            EXPECT_EQ(*a > *b, a->hash() > b->hash());
            EXPECT_EQ(*a >= *b, a->hash() >= b->hash());
            EXPECT_EQ(*a == *b, a == b);
        }
}

TEST(DataIdTexts, PartsJoinedByUnderscores)
{
    EXPECT_EQ(fx_spot_id("a", "b").to_string(), "a_b");
    EXPECT_EQ(fx_spot_id("b", "a").to_string(), "b_a");
    EXPECT_EQ(default_id("n", "c", "s", "r", "i").to_string(), "n_c_s_r_i");
    EXPECT_EQ(default_id("", "c", "", "", "").to_string(), "_c___");
    EXPECT_EQ(discount_id("OIS", "USD").to_string(), "OIS_USD");
}

struct refused_construction
{
    std::function<void()> build;
    const char* message;
    const char* file;
};

class DataIdConstruction : public ::testing::TestWithParam<refused_construction>
{
};

TEST_P(DataIdConstruction, EmptyCurrencyOrDefinitionIsRefused)
{
    const Error e = error_of(GetParam().build);
    EXPECT_EQ(e.message(), GetParam().message);
    EXPECT_EQ(e.location(), (SourceLocation{"validate", GetParam().file, 50}));
}

constexpr const char* currency_file = "Library/Market/common/currency";
constexpr const char* definition_file = "Library/Market/common/discount_definition";

INSTANTIATE_TEST_SUITE_P(
    Keys, DataIdConstruction,
    ::testing::Values(refused_construction{[] { default_id("ACME", "", "S", "R", "I"); }, "invalide currency!", currency_file},
                      refused_construction{[] { discount_id("OIS", ""); }, "invalide currency!", currency_file},
                      // The definition is built first.
                      refused_construction{[] { discount_id("", ""); }, "invalide key!", definition_file},
                      refused_construction{[] { fx_spot_id("", "EUR"); }, "invalide currency!", currency_file},
                      refused_construction{[] { fx_spot_id("USD", ""); }, "invalide currency!", currency_file}));

TEST(DataIdRecords, JsonShapes)
{
    EXPECT_EQ(discount_id::json_to_string(ois_usd_id()), R"({
  "Class": "korvex::discount_id",
  "id": {
    "Class": "korvex::discount_definition",
    "id": "OIS"
  },
  "ccy": {
    "Class": "korvex::currency",
    "ccy": "USD"
  }
})");
    EXPECT_EQ(json::parse(default_id::json_to_string(acme_id())).dump(),
              R"({"Class":"korvex::default_id","name":"ACME","ccy":{"Class":"korvex::currency","ccy":"EUR"},)"
              R"("seniority":"SNRFOR","restructuring":"MM14","isda":"2014"})");
    EXPECT_EQ(json::parse(fx_spot_id::json_to_string(usd_eur_id())).dump(),
              R"({"Class":"korvex::fx_spot_id","ccy_domestic":{"Class":"korvex::currency","ccy":"USD"},)"
              R"("ccy_foreign":{"Class":"korvex::currency","ccy":"EUR"}})");
}

TEST(DataIdRecords, BinaryFieldsInOrder)
{
    multi_process_stream stream;
    details::save(stream, acme_id());
    std::string fields[7];
    for (std::string& field : fields)
        stream >> field;
    EXPECT_EQ(stream.bytes_left(), 0u);
    const std::string expected[] = {"korvex::default_id", "ACME", "korvex::currency", "EUR", "SNRFOR", "MM14", "2014"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(fields[i], expected[i]);
}

// Per identifier class: a sample and where and how it refuses a null record's hash.
template <class Id>
struct id_traits;

template <>
struct id_traits<default_id>
{
    static std::shared_ptr<const default_id> make() { return acme_id(); }
    static constexpr const char* file = "Library/Market/credit/id/default_id";
    static constexpr const char* incomplete = "The default_id was read from a null record: it has no currency";
};

template <>
struct id_traits<discount_id>
{
    static std::shared_ptr<const discount_id> make() { return ois_usd_id(); }
    static constexpr const char* file = "Library/Market/ir/id/discount_id";
    static constexpr const char* incomplete =
        "The discount_id was read from a null record: it has no definition and no currency";
};

template <>
struct id_traits<fx_spot_id>
{
    static std::shared_ptr<const fx_spot_id> make() { return usd_eur_id(); }
    static constexpr const char* file = "Library/Market/fx/id/fx_spot_id";
    static constexpr const char* incomplete = "The fx_spot_id was read from a null record: it has no currencies";
};

template <class Id>
class IdFiles : public ::testing::Test
{
protected:
    temporary_folder folder;
};

using IdTypes = ::testing::Types<default_id, discount_id, fx_spot_id>;
TYPED_TEST_SUITE(IdFiles, IdTypes);

TYPED_TEST(IdFiles, RoundTripGivesAnEqualIdentifier)
{
    const auto original = id_traits<TypeParam>::make();
    TypeParam::write_to_json(this->folder.file("id.json"), original);
    TypeParam::write_to_binary(this->folder.file("id.bin"), original);
    for (const auto& read : {TypeParam::read_from_json(this->folder.file("id.json")),
                             TypeParam::read_from_binary(this->folder.file("id.bin"))}) {
        EXPECT_TRUE(*read == *original);
        EXPECT_EQ(std::const_pointer_cast<TypeParam>(read)->to_string(),
                  std::const_pointer_cast<TypeParam>(original)->to_string());
        EXPECT_EQ(TypeParam::json_to_string(read), TypeParam::json_to_string(original));
    }
}

TYPED_TEST(IdFiles, IdentifierFromTheNullMarkerRefusesHashAndText)
{
    TypeParam::write_to_json(this->folder.file("id.json"), nullptr);
    TypeParam::write_to_binary(this->folder.file("id.bin"), nullptr);
    for (const auto& read : {TypeParam::read_from_json(this->folder.file("id.json")),
                             TypeParam::read_from_binary(this->folder.file("id.bin"))}) {
        ASSERT_NE(read, nullptr);
        const Error hash_error = error_of([&] { read->hash(); });
        EXPECT_EQ(hash_error.message(), id_traits<TypeParam>::incomplete);
        EXPECT_EQ(hash_error.location().function, std::string("hash"));
        EXPECT_EQ(hash_error.location().file, std::string(id_traits<TypeParam>::file));
        const Error text_error = error_of([&] { std::const_pointer_cast<TypeParam>(read)->to_string(); });
        EXPECT_EQ(text_error.message(), id_traits<TypeParam>::incomplete);
        EXPECT_EQ(text_error.location().function, std::string("to_string"));
        // Written, it would read back as an identifier with empty codes, which no writer takes.
        const Error write_error = error_of([&] { TypeParam::write_to_json(this->folder.file("again.json"), read); });
        EXPECT_EQ(write_error.message(), id_traits<TypeParam>::incomplete);
        EXPECT_EQ(write_error.location().function, std::string("save"));
        EXPECT_NO_FATAL_FAILURE(error_of([&] { TypeParam::write_to_binary(this->folder.file("again.bin"), read); }));
    }
    EXPECT_EQ(this->folder.entries().size(), 2u);
}

TEST(DataIdRecords, NullForeignCurrencyReadsAsAnEmptyCode)
{
    temporary_folder folder;
    json record = json::parse(fx_spot_id::json_to_string(usd_eur_id()));
    record["ccy_foreign"] = json::parse(R"({"Class": "empty"})");
    write_file_text(folder.file("id.json"), json{{"root", record}}.dump());
    const auto read = fx_spot_id::read_from_json(folder.file("id.json"));
    ASSERT_NE(read->ccy_foreign(), nullptr);
    EXPECT_EQ(read->ccy_foreign()->to_string(), "");
    EXPECT_EQ(std::const_pointer_cast<fx_spot_id>(read)->to_string(), "USD_");
}

TEST(DataIdRecords, StoredEmptyCodesAreRefused)
{
    temporary_folder folder;
    json record = json::parse(discount_id::json_to_string(ois_usd_id()));
    record["id"]["id"] = "";
    write_file_text(folder.file("id.json"), json{{"root", record}}.dump());
    EXPECT_EQ(error_of([&] { discount_id::read_from_json(folder.file("id.json")); }).message(), "invalide key!");
}

TEST(DataIdRegistration, IdentifiersAreRegisteredAsMarketDataIdentifiers)
{
    for (const char* tag : {"korvex::default_id", "korvex::discount_id", "korvex::fx_spot_id"}) {
        EXPECT_TRUE(JsonSerializationRegistry().contains(tag)) << tag;
        EXPECT_TRUE(BinarySerializationRegistry().contains(tag)) << tag;
    }
    json record = json::parse(discount_id::json_to_string(ois_usd_id()));
    std::shared_ptr<const market_data_id> id;
    details::load_polymorphic(record, id);
    ASSERT_NE(id, nullptr);
    EXPECT_TRUE(*id == *ois_usd_id());
    std::shared_ptr<const market_data> wrong;
    EXPECT_EQ(error_of([&] { details::load_polymorphic(record, wrong); }).message(),
              "A korvex::discount_id record cannot be read where a korvex::market_data is expected");
}

}  // namespace
}  // namespace korvex
