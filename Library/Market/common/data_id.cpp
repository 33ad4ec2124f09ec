#include "Market/common/data_id.h"

#include <typeinfo>

namespace korvex {

data_id::~data_id() = default;

bool data_id::operator==(const data_id& other) const
{
    return typeid(*this) == typeid(other) && hash() == other.hash();
}

bool data_id::operator!=(const data_id& other) const
{
    return typeid(*this) != typeid(other) || hash() != other.hash();
}

bool data_id::operator<(const data_id& other) const
{
    const unsigned long long mine = hash();
    return mine < other.hash();
}

bool data_id::operator<=(const data_id& other) const
{
    const unsigned long long mine = hash();
    return mine <= other.hash();
}

bool data_id::operator>(const data_id& other) const
{
    const unsigned long long mine = hash();
    return mine > other.hash();
}

bool data_id::operator>=(const data_id& other) const
{
    const unsigned long long mine = hash();
    return mine >= other.hash();
}

}  // namespace korvex
