// A small market gathered in one data container: discount and survival curves, an equity
// spot and an FX rate, each under its identifier. The container is written as a JSON and
// a binary file, both are read back, and the copies are queried against the original.
//
//   demo_market_container [output folder]   (default: demo_output beside the program)

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Market/common/any_container.h"
#include "Market/credit/id/default_id.h"
#include "Market/credit/survival_curve/survival_curve_piecewise_constant.h"
#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/fx/fx_spot/fx_spot.h"
#include "Market/fx/id/fx_spot_id.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"
#include "Market/ir/id/discount_id.h"

namespace {

using namespace korvex;

const datetime valuation(2024, 1, 2);

std::vector<datetime> yearly_pillars(int years)
{
    std::vector<datetime> dates;
    for (int year = 1; year <= years; ++year)
        dates.emplace_back(2024 + year, 1, 2);
    return dates;
}

struct market
{
    any_id usd_ois, eur_ois, acme_credit, acme_equity, eur_usd;
    any_container data;
};

market build_market()
{
    const auto actual_365 = std::make_shared<const day_count_convention>(act_365_fixed);
    const auto money_market = std::make_shared<const day_count_convention>(act_360);
    market m{any_id(std::make_shared<const discount_id>("OIS", "USD")),
             any_id(std::make_shared<const discount_id>("OIS", "EUR")),
             any_id(std::make_shared<const default_id>("ACME", "EUR", "SNRFOR", "MM14", "2014")),
             any_id(std::make_shared<const default_id>("ACME", "EUR", "EQUITY", "", "")),
             any_id(std::make_shared<const fx_spot_id>("USD", "EUR")),
             any_container()};
    m.data = any_container(
        {m.usd_ois, m.eur_ois, m.acme_credit, m.acme_equity, m.eur_usd},
        {any_object(std::make_shared<const discount_curve_piecewise_constant>(
             valuation, yearly_pillars(5), std::vector<double>{0.0525, 0.0480, 0.0440, 0.0415, 0.0400}, money_market)),
         any_object(std::make_shared<const discount_curve_flat>(valuation, 0.0325, actual_365)),
         any_object(std::make_shared<const survival_curve_piecewise_constant>(
             valuation, yearly_pillars(5), std::vector<double>{0.0120, 0.0150, 0.0180, 0.0200, 0.0210}, actual_365)),
         any_object(std::make_shared<const equity_spot>(valuation, 48.37)),
         any_object(std::make_shared<const fx_spot>(valuation, 0.9081))});
    return m;
}

// The numbers a pricer would ask of this market: discount factors and survival
// probabilities at yearly horizons, and the two spots.
std::vector<double> queries(const market& m, const any_container& data)
{
    const auto usd = data.at(m.usd_ois).get<discount_curve>();
    const auto eur = data.at(m.eur_ois).get<discount_curve>();
    const auto credit = data.at(m.acme_credit).get<survival_curve>();
    std::vector<double> numbers;
    for (const datetime& horizon : yearly_pillars(7)) {
        numbers.push_back(usd->df(valuation, horizon));
        numbers.push_back(eur->df(valuation, horizon));
        numbers.push_back(credit->survival_probability(valuation, horizon));
    }
    numbers.push_back(data.at(m.acme_equity).get<equity_spot>()->spot());
    numbers.push_back(data.at(m.eur_usd).get<fx_spot>()->spot());
    return numbers;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::absolute(argv[0]).parent_path() / "demo_output";
    fs::create_directories(folder);
    const std::string json_path = (folder / "market.json").string();
    const std::string binary_path = (folder / "market.bin").string();

    const market m = build_market();
    const auto original = std::make_shared<const any_container>(m.data);
    any_container::write_to_json(json_path, original);
    any_container::write_to_binary(binary_path, original);
    const auto from_json = any_container::read_from_json(json_path);
    const auto from_binary = any_container::read_from_binary(binary_path);

    const std::vector<double> expected = queries(m, *original);
    const bool json_agrees = from_json->size() == original->size() && same_bits(queries(m, *from_json), expected);
    const bool binary_agrees = from_binary->size() == original->size() && same_bits(queries(m, *from_binary), expected);

    std::printf("Market of %zu entries, valuation date %s\n", original->size(), valuation.to_string().c_str());
    std::printf("  USD OIS 5y discount factor   %.12f\n", expected[12]);
    std::printf("  EUR OIS 5y discount factor   %.12f\n", expected[13]);
    std::printf("  ACME 5y survival probability %.12f\n", expected[14]);
    std::printf("  ACME equity spot             %.2f\n", expected[expected.size() - 2]);
    std::printf("  USD/EUR spot                 %.4f\n", expected.back());
    std::printf("Files in %s:\n", folder.c_str());
    std::printf("  market.json %8ju bytes, read back: %s\n", static_cast<std::uintmax_t>(fs::file_size(json_path)),
                json_agrees ? "same numbers" : "DIFFERENT");
    std::printf("  market.bin  %8ju bytes, read back: %s\n", static_cast<std::uintmax_t>(fs::file_size(binary_path)),
                binary_agrees ? "same numbers" : "DIFFERENT");
    std::printf("%zu numbers queried from each copy\n", expected.size());
    return json_agrees && binary_agrees ? 0 : 1;
}
