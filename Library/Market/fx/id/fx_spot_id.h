#pragma once

#include <memory>
#include <string>

#include "Market/common/currency.h"
#include "Market/common/market_data_id.h"
#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "core/source_location.h"
#include "util/key.h"

namespace korvex {

// Identifies an exchange rate: a domestic and a foreign currency.
//   hash()       (foreign hash × 2) XOR domestic hash, wrapping in 64 bits, so that the
//                pair (a, b) and the pair (b, a) are different identifiers
//   to_string()  "<domestic>_<foreign>"
//
// An identifier read from a null record holds no currencies; hash(), to_string() and the
// writers refuse it with Error.
class KORVEX_MARKET_API fx_spot_id : public market_data_id
{
public:
    fx_spot_id(key ccy_domestic, key ccy_foreign);

    const std::shared_ptr<const currency>& ccy_domestic() const noexcept { return ccy_domestic_; }
    const std::shared_ptr<const currency>& ccy_foreign() const noexcept { return ccy_foreign_; }

    std::string to_string() override;
    unsigned long long hash() const override;

    // Record: "Class", "ccy_domestic", "ccy_foreign" (currency records).
    KORVEX_PERSISTABLE(fx_spot_id);

private:
    fx_spot_id() = default;
    // Validates, then computes the hash.
    void initialize();
    void check_complete(const SourceLocation& location) const;
    unsigned long long compute_hash() const;

    // hash() of the members below, computed once: they never change.
    unsigned long long hash_ = 0;

    std::shared_ptr<const currency> ccy_domestic_;
    std::shared_ptr<const currency> ccy_foreign_;
};

}  // namespace korvex
