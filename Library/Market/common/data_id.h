#pragma once

#include <string>

#include "Market/market_export.h"

namespace korvex {

// An identifier of a piece of data. Its identity is its 64-bit hash: two identifiers are
// equal when they are of the same class and their hashes are equal, and they are ordered
// by their hashes alone, whatever their classes. Each operator asks the hash of the left
// operand first, then of the right one.
class KORVEX_MARKET_API data_id
{
public:
    virtual ~data_id();

    // A readable text form, its parts joined by "_".
    virtual std::string to_string() = 0;
    virtual unsigned long long hash() const = 0;

    // False when the dynamic classes differ, otherwise hash() == other.hash().
    bool operator==(const data_id& other) const;
    // True when the dynamic classes differ, otherwise hash() != other.hash().
    bool operator!=(const data_id& other) const;
    // Hash order, ignoring the classes.
    bool operator<(const data_id& other) const;
    bool operator<=(const data_id& other) const;
    bool operator>(const data_id& other) const;
    bool operator>=(const data_id& other) const;

protected:
    data_id() = default;
    data_id(const data_id&) = default;
    data_id& operator=(const data_id&) = default;
};

}  // namespace korvex
