#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "Market/market_fixtures.h"
#include "Serialization/serialization_impl.h"
#include "serialization/access.h"
#include "serialization/test_support.h"

namespace korvex {
namespace {

using namespace korvex::testing;
using json = nlohmann::ordered_json;

constexpr const char* container_file = "Library/Market/common/any_container";

// An identifier of any category with a chosen hash.
template <class Category>
class fixed_hash_id : public Category
{
public:
    explicit fixed_hash_id(unsigned long long hash) : hash_(hash) {}
    std::string to_string() override { return "fixed"; }
    unsigned long long hash() const override { return hash_; }

private:
    unsigned long long hash_;
};

// Configuration data of a class that is not registered.
class test_settings : public config_data
{
};

template <class T>
std::shared_ptr<const T> shared(T value)
{
    return std::make_shared<const T>(std::move(value));
}

std::shared_ptr<const any_container> one_entry_market()
{
    return shared(any_container({any_id(ois_usd_id())}, {any_object(flat_curve())}));
}

void expect_same_bits(const std::vector<double>& a, const std::vector<double>& b)
{
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0);
}

TEST(AnyId, DefaultHoldsANullMarketDataIdentifier)
{
    const any_id id;
    EXPECT_EQ(id.index(), 0u);
    EXPECT_EQ(std::get<0>(id.value()), nullptr);
    EXPECT_EQ(id.get(), nullptr);
    EXPECT_EQ(id.identifier(), nullptr);
}

TEST(AnyId, ConstructorsTakeOverTheirPointerAndAssignmentsCopyIt)
{
    std::shared_ptr<const market_data_id> market = ois_usd_id();
    const data_id* held = market.get();
    const any_id a(std::move(market));
    EXPECT_EQ(market, nullptr);
    EXPECT_EQ(a.index(), 0u);
    EXPECT_EQ(a.identifier(), held);
    EXPECT_EQ(a.get().get(), held);
    EXPECT_EQ(&any_id::as(a), &a.value());

    std::shared_ptr<const life_cycle_id> life = std::make_shared<const fixed_hash_id<life_cycle_id>>(7);
    any_id b(std::move(life));
    EXPECT_EQ(life, nullptr);
    EXPECT_EQ(b.index(), 1u);
    const std::shared_ptr<const config_data_id> config = std::make_shared<const fixed_hash_id<config_data_id>>(7);
    EXPECT_EQ(&(b = config), &b);
    EXPECT_EQ(b.index(), 2u);
    EXPECT_EQ(b.identifier(), config.get());
    EXPECT_EQ(config.use_count(), 2);
}

TEST(AnyId, EqualityNeedsTheSameCategoryOrderingOnlyTheHash)
{
    EXPECT_TRUE(any_id(acme_id()) == any_id(acme_id()));
    EXPECT_FALSE(any_id(acme_id()) != any_id(acme_id()));
    const unsigned long long hash = ois_usd_id()->hash();
    const any_id market(ois_usd_id());
    const any_id config(std::make_shared<const fixed_hash_id<config_data_id>>(hash));
    const any_id life(std::make_shared<const fixed_hash_id<life_cycle_id>>(hash));
    EXPECT_FALSE(market == config);
    EXPECT_TRUE(market != config);
    EXPECT_FALSE(life == config);
    EXPECT_TRUE(life != config);
    EXPECT_FALSE(market < config);
    EXPECT_FALSE(market > config);
    EXPECT_TRUE(market <= config);
    EXPECT_TRUE(market >= config);
    const any_id smaller(std::make_shared<const fixed_hash_id<config_data_id>>(hash - 1));
    EXPECT_TRUE(smaller < market);
    EXPECT_TRUE(market > smaller);
}

TEST(AnyId, NoIdentifierCannotBeComparedNorWritten)
{
    const any_id empty;
    EXPECT_THROW((void)(empty == any_id(acme_id())), std::bad_typeid);
    EXPECT_THROW((void)(any_id(acme_id()) < empty), std::bad_typeid);
    temporary_folder folder;
    EXPECT_THROW(any_id::write_to_json(folder.file("id.json"), shared(empty)), std::bad_typeid);
    EXPECT_THROW(any_id::write_to_binary(folder.file("id.bin"), shared(empty)), std::bad_typeid);
    EXPECT_TRUE(folder.entries().empty());
}

TEST(AnyObject, TypedAccessGivesTheObjectOrRaises)
{
    const auto curve = flat_curve();
    const any_object object(curve);
    EXPECT_EQ(object.index(), 0u);
    EXPECT_TRUE(object.has_value());
    EXPECT_EQ(object.get<discount_curve_flat>(), curve);
    EXPECT_EQ(object.get<discount_curve>(), curve);
    EXPECT_EQ(object.get<market_data>(), curve);
    const Error e = error_of([&] { object.get<survival_curve>(); });
    EXPECT_EQ(e.message(), "The object held is a korvex::discount_curve_flat, not a korvex::survival_curve");
    EXPECT_EQ(e.location().function, std::string("get"));
    EXPECT_EQ(e.location().file, std::string("Library/Market/common/any_object"));

    const any_object settings(std::shared_ptr<const config_data>(std::make_shared<const test_settings>()));
    EXPECT_EQ(settings.index(), 2u);
    EXPECT_NE(settings.get<test_settings>(), nullptr);
    EXPECT_NO_FATAL_FAILURE(error_of([&] { settings.get<market_data>(); }));

    const any_object empty;
    EXPECT_FALSE(empty.has_value());
    EXPECT_EQ(empty.get<discount_curve>(), nullptr);
}

struct refused_container
{
    const char* name;
    std::function<void()> build;
    const char* message;
    int line;
};

class AnyContainerConstruction : public ::testing::TestWithParam<refused_container>
{
};

TEST_P(AnyContainerConstruction, FailsAtItsSite)
{
    const Error e = error_of(GetParam().build);
    EXPECT_EQ(e.message(), GetParam().message);
    EXPECT_EQ(e.location(), (SourceLocation{"any_container", container_file, GetParam().line}));
}

constexpr const char* sizes_message = " ids list size is different from object list size ";
constexpr const char* duplicate_message = "Duplicated key in data container";

INSTANTIATE_TEST_SUITE_P(
    Lists, AnyContainerConstruction,
    ::testing::Values(
        refused_container{"pointer_sizes",
                          [] { any_container({shared(any_id(acme_id())), shared(any_id(ois_usd_id()))}, {shared(any_object(flat_curve()))}); },
                          sizes_message, 24},
        // Two distinct but equal identifiers.
        refused_container{"pointer_duplicate",
                          [] { any_container({shared(any_id(acme_id())), shared(any_id(acme_id()))},
                                             {shared(any_object(flat_curve())), shared(any_object(flat_curve()))}); },
                          duplicate_message, 33},
        refused_container{"value_sizes", [] { any_container({any_id(acme_id())}, std::vector<any_object>{}); }, sizes_message, 42},
        refused_container{"value_duplicate",
                          [] { any_container({any_id(acme_id()), any_id(ois_usd_id()), any_id(acme_id())},
                                             {any_object(flat_curve()), any_object(flat_curve()), any_object(flat_curve())}); },
                          duplicate_message, 51}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(AnyContainerConstruction, NullPointersAndEmptyKeysAreRefused)
{
    EXPECT_EQ(error_of([] {
                  any_container({shared(any_id(acme_id())), nullptr},
                                {shared(any_object(flat_curve())), shared(any_object(flat_curve()))});
              }).message(),
              "Identifier 1 of the list is null");
    EXPECT_EQ(error_of([] { any_container({shared(any_id(acme_id()))}, {nullptr}); }).message(),
              "Object 0 of the list is null");
    EXPECT_EQ(error_of([] { any_container({any_id()}, {any_object(flat_curve())}); }).message(),
              "An any_id that holds no identifier cannot be a key of a data container");
}

// An any_object holding null of any category is refused like a null pointer, by both
// constructors and by update (which then changes nothing): no writer could write it.
TEST(AnyContainerConstruction, ObjectsHoldingNullAreRefused)
{
    const std::vector<any_object> null_objects{any_object(), any_object(std::shared_ptr<const life_cycle_data>()),
                                               any_object(std::shared_ptr<const config_data>())};
    for (const any_object& null_object : null_objects) {
        const auto expect_refused = [](const std::function<void()>& build) {
            const Error e = error_of(build);
            EXPECT_EQ(e.message(), "Object 1 of the list is null");
            EXPECT_STREQ(e.location().function, "check_object");
            EXPECT_STREQ(e.location().file, container_file);
        };
        expect_refused([&] {
            any_container({any_id(acme_id()), any_id(ois_usd_id())}, {any_object(flat_curve()), null_object});
        });
        expect_refused([&] {
            any_container({shared(any_id(acme_id())), shared(any_id(ois_usd_id()))},
                          {shared(any_object(flat_curve())), shared(null_object)});
        });
        any_container market({any_id(usd_eur_id())}, {any_object(flat_curve())});
        expect_refused([&] {
            market.update({shared(any_id(acme_id())), shared(any_id(ois_usd_id()))},
                          {shared(any_object(flat_curve())), shared(null_object)});
        });
        EXPECT_EQ(market.size(), 1u);
    }
}

TEST(AnyContainerUpdate, AddsOnlyNewIdentifiersWithTheirFirstObject)
{
    any_container market({any_id(ois_usd_id())}, {any_object(flat_curve())});
    const auto held = market.at(any_id(ois_usd_id())).get<market_data>();
    market.update({shared(any_id(ois_usd_id())), shared(any_id(usd_eur_id())), shared(any_id(usd_eur_id()))},
                  {shared(any_object(piecewise_curve())), shared(any_object(std::make_shared<const fx_spot>(jan_2024, 0.91))),
                   shared(any_object(std::make_shared<const fx_spot>(jan_2024, 0.5))), shared(any_object())});
    EXPECT_EQ(market.size(), 2u);
    EXPECT_EQ(market.at(any_id(ois_usd_id())).get<market_data>(), held);
    EXPECT_EQ(market.at(any_id(usd_eur_id())).get<fx_spot>()->spot(), 0.91);
    market.update({}, {});
    EXPECT_EQ(market.size(), 2u);
}

TEST(AnyContainerUpdate, FewerObjectsThanIdentifiersChangeNothing)
{
    any_container market({any_id(ois_usd_id())}, {any_object(flat_curve())});
    const Error e = error_of([&] {
        market.update({shared(any_id(acme_id())), shared(any_id(usd_eur_id()))}, {shared(any_object(flat_curve()))});
    });
    EXPECT_EQ(e.message(), "update needs an object for each of the 2 identifiers, but got 1 objects");
    EXPECT_EQ(e.location().function, std::string("update"));
    EXPECT_EQ(market.size(), 1u);
    EXPECT_FALSE(market.contains(any_id(acme_id())));
}

TEST(AnyContainerLookups, AtSharesTheObjectAndNamesWhatIsMissing)
{
    const auto curve = flat_curve();
    const any_container market({any_id(ois_usd_id())}, {any_object(curve)});
    EXPECT_TRUE(market.contains(any_id(ois_usd_id())));
    EXPECT_EQ(market.at(any_id(ois_usd_id())).get<discount_curve_flat>(), curve);
    EXPECT_FALSE(market.contains(any_id()));
    // The same hash in another class, then in another category.
    const auto twin = std::make_shared<const fx_spot_id>("USD", "OIS");
    ASSERT_EQ(twin->hash(), ois_usd_id()->hash());
    EXPECT_FALSE(market.contains(any_id(twin)));
    EXPECT_FALSE(market.contains(any_id(std::make_shared<const fixed_hash_id<config_data_id>>(twin->hash()))));
    const Error e = error_of([&] { market.at(any_id(twin)); });
    EXPECT_EQ(e.message(), "The data container holds no korvex::fx_spot_id identifier with hash " +
                               std::to_string(twin->hash()));
    EXPECT_EQ(e.location().function, std::string("at"));
    EXPECT_EQ(error_of([&] { market.at(any_id()); }).message(),
              "The data container holds no entry for an any_id that holds no identifier");
}

// A key's hash is taken when the any_id is set: an identifier without one (read from a
// null record) still fails where its hash() fails, and a moved-from any_id finds nothing.
TEST(AnyContainerLookups, KeysWithoutAHashFailAtTheirHashAndMovedFromOnesFindNothing)
{
    const any_container market({any_id(ois_usd_id())}, {any_object(flat_curve())});
    temporary_folder folder;
    discount_id::write_to_json(folder.file("null.json"), nullptr);
    const any_id hashless(std::shared_ptr<const market_data_id>(discount_id::read_from_json(folder.file("null.json"))));
    for (const Error& e : {error_of([&] { (void)market.contains(hashless); }), error_of([&] { market.at(hashless); })}) {
        EXPECT_EQ(e.location().function, std::string("hash"));
        EXPECT_EQ(e.location().file, std::string("Library/Market/ir/id/discount_id"));
    }
    EXPECT_FALSE(any_container().contains(hashless));

    any_id moved(ois_usd_id());
    any_id taker(std::move(moved));
    EXPECT_TRUE(market.contains(taker));
    EXPECT_FALSE(market.contains(moved));
    any_id assigned;
    assigned = std::move(taker);
    EXPECT_FALSE(market.contains(taker));
    EXPECT_TRUE(market.contains(assigned));
    assigned = std::shared_ptr<const market_data_id>(std::make_shared<const fx_spot_id>("USD", "EUR"));
    EXPECT_FALSE(market.contains(assigned));
}

// Another identifier class with the same hashes as fixed_hash_id.
template <class Category>
class twin_hash_id : public fixed_hash_id<Category>
{
public:
    using fixed_hash_id<Category>::fixed_hash_id;
};

// Keys that share each hash across the three categories and two classes, added in batches
// so that the table grows while it holds long runs of equal hashes.
TEST(AnyContainerLookups, KeysSharingAHashStayApartThroughGrowth)
{
    std::vector<std::shared_ptr<const any_id>> ids;
    std::vector<std::shared_ptr<const any_object>> objects;
    for (unsigned long long h = 0; h < 100; ++h) {
        const unsigned long long hash = h << 40;  // equal low bits
        ids.push_back(shared(any_id(std::make_shared<const fixed_hash_id<market_data_id>>(hash))));
        ids.push_back(shared(any_id(std::make_shared<const twin_hash_id<market_data_id>>(hash))));
        ids.push_back(shared(any_id(std::make_shared<const fixed_hash_id<life_cycle_id>>(hash))));
        ids.push_back(shared(any_id(std::make_shared<const fixed_hash_id<config_data_id>>(hash))));
    }
    for (std::size_t i = 0; i < ids.size(); ++i)
        objects.push_back(shared(any_object(flat_curve())));
    any_container market;
    for (std::size_t start = 0; start < ids.size(); start += 30) {
        const auto end = static_cast<std::ptrdiff_t>(std::min(start + 30, ids.size()));
        market.update({ids.begin() + static_cast<std::ptrdiff_t>(start), ids.begin() + end},
                      {objects.begin() + static_cast<std::ptrdiff_t>(start), objects.begin() + end});
    }
    ASSERT_EQ(market.size(), ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(market.at(*ids[i]).get<market_data>(), objects[i]->get<market_data>()) << i;
    EXPECT_FALSE(market.contains(any_id(std::make_shared<const twin_hash_id<life_cycle_id>>(7ull << 40))));
    EXPECT_FALSE(market.contains(any_id(std::make_shared<const fixed_hash_id<market_data_id>>(100ull << 40))));
    market.update({ids[5]}, {shared(any_object(flat_curve()))});
    EXPECT_EQ(market.at(*ids[5]).get<market_data>(), objects[5]->get<market_data>());
}

TEST(AnyContainerRecords, JsonShapeOfOneEntryAndOfNone)
{
    const std::string expected =
        R"({"Class":"korvex::any_container","data_map":[[{"Class":"korvex::any_id","val":{"Index":0,"Value":)" +
        json::parse(discount_id::json_to_string(ois_usd_id())).dump() +
        R"(}},{"Class":"korvex::any_object","var":{"Index":0,"Value":)" +
        json::parse(discount_curve_flat::json_to_string(flat_curve())).dump() + "}}]]}";
    const json record = json::parse(any_container::json_to_string(one_entry_market()));
    EXPECT_EQ(record.dump(), expected);
    EXPECT_TRUE(record["data_map"][0][0]["val"]["Index"].is_number_unsigned());
    EXPECT_EQ(json::parse(any_container::json_to_string(shared(any_container()))).dump(),
              R"({"Class":"korvex::any_container","data_map":null})");
}

TEST(AnyContainerRecords, EntriesAreWrittenInHashOrderWhateverTheInsertionOrder)
{
    std::vector<any_id> ids = sample_ids();
    std::vector<any_object> objects = sample_objects();
    const std::string forward = any_container::json_to_string(shared(any_container(ids, objects)));
    std::reverse(ids.begin(), ids.end());
    std::reverse(objects.begin(), objects.end());
    EXPECT_EQ(any_container::json_to_string(shared(any_container(ids, objects))), forward);
    json entries = json::parse(forward)["data_map"];
    ASSERT_EQ(entries.size(), ids.size());
    const auto hash_of = [&](std::size_t k) {
        any_id id;
        details::load(entries[k][0], id);
        return id.identifier()->hash();
    };
    for (std::size_t i = 1; i < entries.size(); ++i)
        EXPECT_LT(hash_of(i - 1), hash_of(i));
}

TEST(AnyContainerRecords, BinaryHolderIsTagIndexTagTagFields)
{
    multi_process_stream stream;
    details::save(stream, shared(any_object(flat_curve())));
    std::string holder, first, second;
    unsigned int index = 9;
    double rate = 0.0;
    stream >> holder >> index >> first >> second >> rate;
    EXPECT_EQ(holder, "korvex::any_object");
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(first, "korvex::discount_curve_flat");
    EXPECT_EQ(second, first);
    EXPECT_EQ(rate, 0.05);
}

class AnyContainerFiles : public ::testing::Test
{
protected:
    // Writes `record` as the root of a JSON file and reads the container back.
    std::shared_ptr<const any_container> read_json(const json& record) const
    {
        write_file_text(folder.file("market.json"), json{{"root", record}}.dump());
        return any_container::read_from_json(folder.file("market.json"));
    }

    // Writes `payload` under a valid header and reads the container back.
    std::shared_ptr<const any_container> read_binary(const multi_process_stream& payload) const
    {
        serialization::access::write_binary(folder.file("market.bin"), payload.GetRawData());
        return any_container::read_from_binary(folder.file("market.bin"));
    }

    static json one_entry_record() { return json::parse(any_container::json_to_string(one_entry_market())); }

    temporary_folder folder;
};

TEST_F(AnyContainerFiles, EveryRegisteredClassRoundTripsThroughBothFormatsAndBytes)
{
    const auto market = shared(sample_market());
    any_container::write_to_json(folder.file("market.json"), market);
    any_container::write_to_binary(folder.file("market.bin"), market);
    const std::vector<std::uint8_t> bytes = any_container::write_to_bytes(market);
    EXPECT_EQ(bytes, file_bytes(folder.file("market.bin")));
    const std::vector<any_id> ids = sample_ids();
    const std::vector<any_object> objects = sample_objects();
    for (const auto& read : {any_container::read_from_json(folder.file("market.json")),
                             any_container::read_from_binary(folder.file("market.bin")),
                             any_container::read_from_bytes(bytes)}) {
        EXPECT_EQ(read->size(), ids.size());
        for (std::size_t i = 0; i < ids.size(); ++i) {
            ASSERT_TRUE(read->contains(ids[i])) << i;
            const any_object object = read->at(ids[i]);
            EXPECT_EQ(typeid(*object.get<market_data>()), typeid(*objects[i].get<market_data>()));
            expect_same_bits(object_numbers(object), object_numbers(objects[i]));
        }
    }
}

TEST_F(AnyContainerFiles, DamagedOrExtendedBytesAreRefused)
{
    std::vector<std::uint8_t> bytes = any_container::write_to_bytes(one_entry_market());
    bytes[bytes.size() / 2] ^= 0x10;
    EXPECT_EQ(error_of([&] { any_container::read_from_bytes(bytes); }).message(),
              "The binary record is corrupted: its checksum does not match its content");

    multi_process_stream payload;
    details::save(payload, one_entry_market());
    payload << 1.0;
    const Error e = error_of([&] {
        any_container::read_from_bytes(serialization::access::binary_bytes(payload.GetRawData()));
    });
    EXPECT_EQ(e.message(), "The binary record holds 9 bytes after its object's record");
    EXPECT_EQ(e.location().function, std::string("read_from_bytes"));
}

TEST(AnyContainerIds, InsertionOrderOrTheRecordsOrder)
{
    std::vector<any_id> ids = sample_ids();
    std::vector<any_object> objects = sample_objects();
    std::reverse(ids.begin(), ids.end());
    std::reverse(objects.begin(), objects.end());
    const any_id last = ids.back();
    ids.pop_back();
    objects.pop_back();
    any_container market(ids, objects);
    market.update({shared(any_id(ids[0])), shared(last), shared(last)},
                  {shared(any_object(flat_curve())), shared(any_object(flat_curve())), shared(any_object(flat_curve()))});
    ids.push_back(last);
    EXPECT_EQ(market.ids(), ids);
    EXPECT_TRUE(any_container().ids().empty());

    const std::vector<any_id> read = any_container::read_from_bytes(any_container::write_to_bytes(shared(market)))->ids();
    ASSERT_EQ(read.size(), ids.size());
    for (std::size_t i = 1; i < read.size(); ++i)
        EXPECT_LT(read[i - 1].identifier()->hash(), read[i].identifier()->hash());
}

TEST_F(AnyContainerFiles, NullMarkerGivesAnEmptyContainer)
{
    any_container::write_to_binary(folder.file("market.bin"), nullptr);
    EXPECT_EQ(any_container::read_from_binary(folder.file("market.bin"))->size(), 0u);
    EXPECT_EQ(read_json(json::parse(R"({"Class": "empty"})"))->size(), 0u);
}

TEST_F(AnyContainerFiles, RepeatedIdentifiersKeepTheFirstPair)
{
    json record = one_entry_record();
    json second = record["data_map"][0];
    second[1] = json::parse(any_object::json_to_string(shared(any_object(piecewise_curve()))));
    record["data_map"].push_back(second);
    EXPECT_NE(read_json(record)->at(any_id(ois_usd_id())).get<discount_curve_flat>(), nullptr);

    multi_process_stream payload;
    payload << std::string("korvex::any_container") << 2u;
    for (const auto& object : {any_object(flat_curve()), any_object(piecewise_curve())}) {
        details::save(payload, shared(any_id(ois_usd_id())));
        details::save(payload, shared(object));
    }
    const auto read = read_binary(payload);
    EXPECT_EQ(read->size(), 1u);
    EXPECT_NE(read->at(any_id(ois_usd_id())).get<discount_curve_flat>(), nullptr);
}

TEST_F(AnyContainerFiles, UnregisteredClassesAreRefusedByName)
{
    json record = one_entry_record();
    record["data_map"][0][0]["val"]["Value"]["Class"] = "korvex::bond_id";
    const Error e = error_of([&] { read_json(record); });
    EXPECT_EQ(e.message(), "Entry 0 of the data container holds an identifier of class \"korvex::bond_id\", "
                           "which is not registered");
    EXPECT_EQ(e.location().function, std::string("check_held"));
    record["data_map"][0][0] = json::parse(R"({"Class": "empty"})");
    EXPECT_EQ(error_of([&] { read_json(record); }).message(),
              "Entry 0 of the data container holds an identifier of class \"empty\", which is not registered");

    multi_process_stream payload;
    payload << std::string("korvex::any_container") << 1u << std::string("korvex::any_id") << 0u
            << std::string("korvex::bond_id") << 1.0;
    EXPECT_EQ(error_of([&] { read_binary(payload); }).message(),
              "Entry 0 of the data container holds an identifier of class \"korvex::bond_id\", which is not registered");

    // An object whose class is not registered is written as its tag alone.
    const auto settings = shared(any_container(
        {any_id(acme_id())}, {any_object(std::shared_ptr<const config_data>(std::make_shared<const test_settings>()))}));
    const std::string object_message = "Entry 0 of the data container holds an object of class \"" +
                                       demangle(typeid(test_settings).name()) + "\", which is not registered";
    any_container::write_to_json(folder.file("settings.json"), settings);
    any_container::write_to_binary(folder.file("settings.bin"), settings);
    EXPECT_EQ(error_of([&] { any_container::read_from_json(folder.file("settings.json")); }).message(), object_message);
    EXPECT_EQ(error_of([&] { any_container::read_from_binary(folder.file("settings.bin")); }).message(), object_message);
}

TEST_F(AnyContainerFiles, VariantIndexThreeIsOutOfRange)
{
    json record = one_entry_record();
    record["data_map"][0][1]["var"]["Index"] = 3;
    const Error e = error_of([&] { read_json(record); });
    EXPECT_EQ(e.message(), "Variant index out of range");
    EXPECT_EQ(e.location(), (SourceLocation{"load", "Library\\Serialization/serialization_impl", 286}));

    multi_process_stream payload;
    payload << std::string("korvex::any_container") << 1u << std::string("korvex::any_id") << 3u;
    EXPECT_EQ(error_of([&] { read_binary(payload); }).message(), "Variant index out of range");
}

TEST_F(AnyContainerFiles, EveryTruncatedPayloadIsRefused)
{
    multi_process_stream whole;
    details::save(whole, shared(any_container({any_id(acme_id()), any_id(usd_eur_id())},
                                              {any_object(piecewise_survival_curve()),
                                               any_object(std::make_shared<const fx_spot>(jan_2024, 0.9))})));
    const std::vector<std::uint8_t>& bytes = whole.GetRawData();
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        multi_process_stream cut;
        cut.SetRawData(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)));
        EXPECT_NO_FATAL_FAILURE(error_of([&] { read_binary(cut); })) << size;
    }
}

TEST_F(AnyContainerFiles, HugeCountIsRefusedBeforeAllocating)
{
    multi_process_stream payload;
    payload << std::string("korvex::any_container") << 4294967295u << std::string("korvex::any_id");
    const Error e = error_of([&] { read_binary(payload); });
    EXPECT_EQ(e.message().rfind("A data container of 4294967295 entries at offset ", 0), 0u) << e.message();
}

}  // namespace
}  // namespace korvex
