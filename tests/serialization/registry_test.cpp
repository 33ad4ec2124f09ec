#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "serialization/serialization_registry.h"

namespace korvex {
namespace {

TEST(Registry, AddsFindsAndReplaces)
{
    Registry<std::string, int> registry;
    EXPECT_EQ(registry.find("a"), nullptr);
    registry.add("a", 1);
    registry.add("b", 2);
    ASSERT_NE(registry.find("a"), nullptr);
    EXPECT_EQ(*registry.find("a"), 1);
    registry.add("a", 3);
    EXPECT_EQ(*registry.find("a"), 3);
    EXPECT_EQ(registry.size(), 2u);
    EXPECT_TRUE(registry.contains("b"));
    EXPECT_FALSE(registry.contains("korvex::b"));  // lookups compare the whole text
}

TEST(Registry, AnEntryHandedOutStaysUnchangedWhenItsNameIsReplaced)
{
    Registry<std::string, std::string> registry;
    registry.add("a", "first");
    const auto held = registry.find("a");
    for (int i = 0; i < 100; ++i)
        registry.add(i % 2 == 0 ? "a" : std::to_string(i), "replacement " + std::to_string(i));
    EXPECT_EQ(*held, "first");
    EXPECT_EQ(*registry.find("a"), "replacement 98");
}

TEST(Registry, CachedLookupsSeeReplacementsAndKeepWhatTheyHandedOut)
{
    Registry<std::string, std::string> registry;
    EXPECT_EQ(registry.find_cached("a"), nullptr);
    registry.add("a", "first");
    const std::string* first = registry.find_cached("a");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(registry.find_cached("a"), first);
    registry.add("a", "second");
    EXPECT_EQ(*registry.find_cached("a"), "second");
    EXPECT_EQ(*first, "first");  // still alive
    std::thread([&registry] { EXPECT_EQ(*registry.find_cached("a"), "second"); }).join();
}

TEST(Registry, ARegistryBuiltWhereAnotherWasIsNotServedFromItsCachedLookups)
{
    std::optional<Registry<std::string, std::string>> registry;
    registry.emplace();
    registry->add("a", "gone");
    EXPECT_EQ(*registry->find_cached("a"), "gone");
    registry.reset();
    registry.emplace();
    EXPECT_EQ(registry->find_cached("a"), nullptr);
    registry->add("a", "new");
    EXPECT_EQ(*registry->find_cached("a"), "new");
}

TEST(Registry, ConcurrentAdditionsAreAllKept)
{
    Registry<std::string, int> registry;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&registry, t] {
            for (int i = 0; i < 250; ++i)
                registry.add(std::to_string(t) + "/" + std::to_string(i), i);
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(registry.size(), 1000u);
}

TEST(Registry, ProcessWideRegistriesAreSingletons)
{
    EXPECT_EQ(&JsonSerializationRegistry(), &JsonSerializationRegistry());
    EXPECT_EQ(&BinarySerializationRegistry(), &BinarySerializationRegistry());
    int calls = 0;
    JsonSerializationRegistry().add("test::probe",
                                    [&calls](nlohmann::ordered_json& j, void*, bool load) {
                                        j["load"] = load;
                                        ++calls;
                                    });
    nlohmann::ordered_json value;
    (*JsonSerializationRegistry().find("test::probe"))(value, nullptr, true);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(value["load"], true);
}

struct tagged_probe
{
};

// Each thread demangles a type once and hands out the same text afterwards.
TEST(ClassTag, IsTheDemangledNameKeptPerThread)
{
    const std::string& tag = class_tag_of(typeid(tagged_probe));
    EXPECT_EQ(tag, "korvex::(anonymous namespace)::tagged_probe");
    EXPECT_EQ(&class_tag_of(typeid(tagged_probe)), &tag);
    EXPECT_EQ(class_tag_of(typeid(std::vector<int>)), "std::vector<int, std::allocator<int> >");
    std::string other_thread;
    std::thread([&] { other_thread = class_tag_of(typeid(tagged_probe)); }).join();
    EXPECT_EQ(other_thread, tag);
}

}  // namespace
}  // namespace korvex
