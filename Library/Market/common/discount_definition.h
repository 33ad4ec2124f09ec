#pragma once

#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "util/key.h"

namespace korvex {

// The name of a discounting convention (for example a curve family). Any non-empty text
// is accepted; an empty one is refused with Error ("invalide key!") by the constructors
// and by the readers.
class KORVEX_MARKET_API discount_definition
{
public:
    explicit discount_definition(key&& id);
    explicit discount_definition(const key& id);

    const key& id() const noexcept { return id_; }
    // The name text.
    std::string to_string() const { return id_.to_string(); }

    // Record: "Class", "id" (the name). A record that is the null marker gives a
    // definition with an empty name, which the writers refuse as the readers would
    // ("invalide key!"), before any file is touched.
    KORVEX_PERSISTABLE(discount_definition);

private:
    discount_definition() : id_(std::string()) {}
    void initialize() const;

    key id_;
};

}  // namespace korvex
