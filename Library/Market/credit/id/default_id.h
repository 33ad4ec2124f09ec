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

// Identifies a credit default reference: the reference entity (issuer) name, the
// currency, the seniority of the debt, the restructuring clause and the ISDA definitions.
//   hash()       the hash of the ISDA key, into which the restructuring, seniority,
//                currency and name keys are folded in that order (key::hash)
//   to_string()  "<name>_<currency>_<seniority>_<restructuring>_<isda>"
// Only the currency must be non-empty ("invalide currency!").
//
// An identifier read from a null record has no currency; hash(), to_string() and the
// writers refuse it with Error.
class KORVEX_MARKET_API default_id : public market_data_id
{
public:
    default_id(key name, key ccy, key seniority, key restructuring, key isda);

    const key& name() const noexcept { return name_; }
    const std::shared_ptr<const currency>& ccy() const noexcept { return ccy_; }
    const key& seniority() const noexcept { return seniority_; }
    const key& restructuring() const noexcept { return restructuring_; }
    const key& isda() const noexcept { return isda_; }

    std::string to_string() override;
    unsigned long long hash() const override;

    // Record: "Class", "name", "ccy" (currency record), "seniority", "restructuring",
    // "isda".
    KORVEX_PERSISTABLE(default_id);

private:
    default_id() = default;
    // Computes the hash.
    void initialize();
    void check_complete(const SourceLocation& location) const;
    unsigned long long compute_hash() const;

    // hash() of the members below, computed once: they never change.
    unsigned long long hash_ = 0;

    key name_;
    std::shared_ptr<const currency> ccy_;
    key seniority_;
    key restructuring_;
    key isda_;
};

}  // namespace korvex
