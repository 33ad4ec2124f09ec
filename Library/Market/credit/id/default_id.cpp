#include "Market/credit/id/default_id.h"

#include <utility>

#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {
constexpr const char* source_file = "Library/Market/credit/id/default_id";

const details::class_registration<default_id, market_data_id> registration;
}  // namespace

default_id::default_id(key name, key ccy, key seniority, key restructuring, key isda)
    : name_(std::move(name)),
      ccy_(std::make_shared<const currency>(std::move(ccy))),
      seniority_(std::move(seniority)),
      restructuring_(std::move(restructuring)),
      isda_(std::move(isda))
{
    initialize();
}

void default_id::check_complete(const SourceLocation& location) const
{
    if (!ccy_)
        details::check_fail(location, "The default_id was read from a null record: it has no currency");
}

void default_id::initialize()
{
    hash_ = compute_hash();
}

unsigned long long default_id::compute_hash() const
{
    std::uint64_t h = isda_.hash();
    h = key::hash(restructuring_, h);
    h = key::hash(seniority_, h);
    h = key::hash(ccy_->ccy(), h);
    return key::hash(name_, h);
}

unsigned long long default_id::hash() const
{
    check_complete({"hash", source_file, __LINE__});
    return hash_;
}

std::string default_id::to_string()
{
    check_complete({"to_string", source_file, __LINE__});
    return name_.to_string() + "_" + ccy_->to_string() + "_" + seniority_.to_string() + "_" +
           restructuring_.to_string() + "_" + isda_.to_string();
}

void default_id::save(nlohmann::ordered_json& record) const
{
    check_complete({"save", source_file, __LINE__});
    details::save_tag(record, *this);
    details::save(record["name"], name_);
    details::save(record["ccy"], ccy_);
    details::save(record["seniority"], seniority_);
    details::save(record["restructuring"], restructuring_);
    details::save(record["isda"], isda_);
}

void default_id::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record["name"], name_);
    details::load(record["ccy"], ccy_);
    details::load(record["seniority"], seniority_);
    details::load(record["restructuring"], restructuring_);
    details::load(record["isda"], isda_);
    initialize();
}

void default_id::save(multi_process_stream& record) const
{
    check_complete({"save", source_file, __LINE__});
    details::save_tag(record, *this);
    details::save(record, name_);
    details::save(record, ccy_);
    details::save(record, seniority_);
    details::save(record, restructuring_);
    details::save(record, isda_);
}

void default_id::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record, name_);
    details::load(record, ccy_);
    details::load(record, seniority_);
    details::load(record, restructuring_);
    details::load(record, isda_);
    initialize();
}

KORVEX_DEFINE_PERSISTENCE(default_id)

}  // namespace korvex
