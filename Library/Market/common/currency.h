#pragma once

#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "util/key.h"

namespace korvex {

// A currency code. Any non-empty text is accepted; an empty one is refused with Error
// ("invalide currency!") by the constructors and by the readers.
class KORVEX_MARKET_API currency
{
public:
    explicit currency(key&& ccy);
    explicit currency(const key& ccy);

    const key& ccy() const noexcept { return ccy_; }
    // The code text.
    std::string to_string() const { return ccy_.to_string(); }

    // Record: "Class", "ccy" (the code). A record that is the null marker gives a currency
    // with an empty code, which the writers refuse as the readers would ("invalide
    // currency!"), before any file is touched.
    KORVEX_PERSISTABLE(currency);

private:
    currency() = default;
    void initialize() const;

    key ccy_;
};

}  // namespace korvex
