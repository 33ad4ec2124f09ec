#pragma once

#include <memory>
#include <string>

#include "Market/common/currency.h"
#include "Market/common/discount_definition.h"
#include "Market/common/market_data_id.h"
#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "core/source_location.h"
#include "util/key.h"

namespace korvex {

// Identifies discounting data: a discount definition (a curve family) in a currency.
//   hash()       (definition hash × 2) XOR currency hash, wrapping in 64 bits
//   to_string()  "<definition>_<currency>"
// The constructor builds the definition first, so with both keys empty it fails with the
// definition's "invalide key!".
//
// An identifier read from a null record holds neither definition nor currency; hash(),
// to_string() and the writers refuse it with Error.
class KORVEX_MARKET_API discount_id : public market_data_id
{
public:
    discount_id(key id, key ccy);

    const std::shared_ptr<const discount_definition>& id() const noexcept { return id_; }
    const std::shared_ptr<const currency>& ccy() const noexcept { return ccy_; }

    std::string to_string() override;
    unsigned long long hash() const override;

    // Record: "Class", "id" (discount definition record), "ccy" (currency record).
    KORVEX_PERSISTABLE(discount_id);

private:
    discount_id() = default;
    // Validates, then computes the hash.
    void initialize();
    void check_complete(const SourceLocation& location) const;
    unsigned long long compute_hash() const;

    // hash() of the members below, computed once: they never change.
    unsigned long long hash_ = 0;

    std::shared_ptr<const discount_definition> id_;
    std::shared_ptr<const currency> ccy_;
};

}  // namespace korvex
