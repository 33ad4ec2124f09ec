#include "Market/common/data_id.h"

#include <typeinfo>

namespace korvex {

data_id::~data_id() = default;

// An identifier is equal to itself without looking at either side: a container looked up
// with the identifier objects it was built with is spared reading the stored ones.
bool data_id::operator==(const data_id& other) const
{
    return this == &other || (typeid(*this) == typeid(other) && hash() == other.hash());
}

bool data_id::operator!=(const data_id& other) const
{
    return this != &other && (typeid(*this) != typeid(other) || hash() != other.hash());
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
