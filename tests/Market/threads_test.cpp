// Curves queried from several threads while others read and write files and register
// classes. Run under ThreadSanitizer by `make test` (build/tsan), which reports any data
// race; the results are checked against those of a single thread as well.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Market/curve_fixtures.h"
#include "Serialization/serialization_impl.h"
#include "serialization/test_support.h"

namespace korvex {
namespace {

using namespace korvex::testing;
using json = nlohmann::ordered_json;

constexpr int rounds = 60;
const std::string tag_prefix = "korvex::threads_test_";

// Every query of a curve at the probe dates.
std::vector<double> queries(const discount_curve& curve)
{
    std::vector<double> results;
    for (const datetime& d1 : probe_dates())
        for (const datetime& d2 : probe_dates())
            results.push_back(curve.log_df(d1, d2));
    const std::vector<double> factors = curve.dfs(probe_dates());
    results.insert(results.end(), factors.begin(), factors.end());
    return results;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// The curve of a polymorphic record read through the registries.
template <class Archive>
std::shared_ptr<const discount_curve> through_registry(Archive archive)
{
    std::shared_ptr<const market_data> back;
    details::load_polymorphic(archive, back);
    return std::dynamic_pointer_cast<const discount_curve>(back);
}

TEST(Threads, CurvesAnswerAndFilesReadWhileClassesRegister)
{
    temporary_folder folder;
    const std::shared_ptr<const discount_curve> curves[] = {piecewise_curve(), flat_curve()};
    const std::vector<double> expected[] = {queries(*curves[0]), queries(*curves[1])};
    discount_curve_piecewise_constant::write_to_json(folder.file("curve.json"), piecewise_curve());
    discount_curve_piecewise_constant::write_to_binary(folder.file("curve.bin"), piecewise_curve());
    json record;
    details::save_polymorphic(record, std::shared_ptr<const market_data>(flat_curve()));
    multi_process_stream stream;
    details::save_polymorphic(stream, std::shared_ptr<const market_data>(flat_curve()));

    std::atomic<int> wrong{0};
    std::vector<std::function<void()>> work;
    for (int t = 0; t < 2; ++t)
        work.emplace_back([&] {
            for (int round = 0; round < rounds; ++round)
                for (int c = 0; c < 2; ++c)
                    if (!same_bits(queries(*curves[c]), expected[c]))
                        ++wrong;
        });
    work.emplace_back([&] {
        using curve = discount_curve_piecewise_constant;
        for (int round = 0; round < rounds; ++round) {
            if (!same_bits(queries(*curve::read_from_json(folder.file("curve.json"))), expected[0]) ||
                !same_bits(queries(*curve::read_from_binary(folder.file("curve.bin"))), expected[0]))
                ++wrong;
        }
    });
    work.emplace_back([&] {
        for (int round = 0; round < rounds; ++round) {
            const auto from_json = through_registry(record);
            const auto from_binary = through_registry(stream);
            if (!from_json || !from_binary || !same_bits(queries(*from_json), expected[1]) ||
                !same_bits(queries(*from_binary), expected[1]))
                ++wrong;
        }
    });
    work.emplace_back([&] {
        const std::string path = folder.file("written.json");
        for (int round = 0; round < rounds; ++round)
            discount_curve_piecewise_constant::write_to_json(path, piecewise_curve());
    });
    // Registers the curves again (replacing their entries while the threads above dispatch
    // through them) and new classes (growing the tables).
    work.emplace_back([&] {
        const auto json_entry = *JsonSerializationRegistry().find("korvex::discount_curve_flat");
        for (int round = 0; round < rounds; ++round) {
            const details::class_registration<discount_curve_flat, market_data> again;
            const details::class_registration<discount_curve_piecewise_constant, market_data> also;
            JsonSerializationRegistry().add(tag_prefix + std::to_string(round), json_entry);
        }
    });
    std::vector<std::thread> threads;
    for (auto& job : work)
        threads.emplace_back(job);
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_TRUE(JsonSerializationRegistry().contains(tag_prefix + std::to_string(rounds - 1)));
}

}  // namespace
}  // namespace korvex
