#include "Market/ir/volatility_surface/volatility_data/ir_volatility_data_sabr.h"

#include "Market/common/volatility_model/volatility_model_sabr.h"
#include "Market/ir/volatility_surface/volatility_data/surface_term_structure_record.h"
#include "Serialization/serialization_impl.h"

namespace korvex {

namespace {
constexpr const char* source_file = "Library/Market/ir/volatility_surface/volatility_data/ir_volatility_data_sabr";
constexpr SourceLocation alpha_location{"validate", source_file, 60};
constexpr SourceLocation beta_location{"validate", source_file, 61};
constexpr SourceLocation nu_location{"validate", source_file, 62};
constexpr SourceLocation rho_location{"validate", source_file, 63};
constexpr SourceLocation shift_location{"validate", source_file, 64};

const details::class_registration<ir_volatility_data_sabr, ir_volatility_data> registration;

using record_of = details::surface_term_structure_record;
}  // namespace

ir_volatility_data_sabr::ir_volatility_data_sabr(const surface& alpha, const surface& beta, const surface& rho,
                                                 const surface& nu, const surface& shift, bool is_skew_dampening)
    : alpha_(alpha), beta_(beta), rho_(rho), nu_(nu), shift_(shift), is_skew_dampening_(is_skew_dampening)
{
    validate();
}

void ir_volatility_data_sabr::validate() const
{
    if (!alpha_)
        details::check_fail(alpha_location, "alpha is null");
    if (!beta_)
        details::check_fail(beta_location, "beta_ is null");
    if (!nu_)
        details::check_fail(nu_location, "nu_ is null");
    if (!rho_)
        details::check_fail(rho_location, "rho_ is null");
    if (!shift_)
        details::check_fail(shift_location, "shift_ is null");
}

void ir_volatility_data_sabr::initialize() const { validate(); }

std::shared_ptr<const volatility_model> ir_volatility_data_sabr::model(datetime d1, datetime d2) const
{
    const double shift = shift_->at(d1, d2);
    const double rho = rho_->at(d1, d2);
    const double nu = nu_->at(d1, d2);
    const double beta = beta_->at(d1, d2);
    const double alpha = alpha_->at(d1, d2);
    return std::make_shared<const volatility_model_sabr>(alpha, beta, nu, rho, shift, is_skew_dampening_);
}

void ir_volatility_data_sabr::save(nlohmann::ordered_json& record) const
{
    validate();  // data read from a null marker has no surfaces and would not read back
    details::save_tag(record, *this);
    record_of::save(record["alpha"], alpha_);
    record_of::save(record["beta"], beta_);
    record_of::save(record["nu"], nu_);
    record_of::save(record["rho"], rho_);
    record_of::save(record["shift"], shift_);
    details::save(record["is_skew_dampening"], is_skew_dampening_);
}

void ir_volatility_data_sabr::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    record_of::load(record["alpha"], alpha_);
    record_of::load(record["beta"], beta_);
    record_of::load(record["nu"], nu_);
    record_of::load(record["rho"], rho_);
    record_of::load(record["shift"], shift_);
    details::load(record["is_skew_dampening"], is_skew_dampening_);
    initialize();
}

void ir_volatility_data_sabr::save(multi_process_stream& record) const
{
    validate();
    details::save_tag(record, *this);
    record_of::save(record, alpha_);
    record_of::save(record, beta_);
    record_of::save(record, nu_);
    record_of::save(record, rho_);
    record_of::save(record, shift_);
    details::save(record, is_skew_dampening_);
}

void ir_volatility_data_sabr::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    record_of::load(record, alpha_);
    record_of::load(record, beta_);
    record_of::load(record, nu_);
    record_of::load(record, rho_);
    record_of::load(record, shift_);
    details::load(record, is_skew_dampening_);
    initialize();
}

KORVEX_DEFINE_PERSISTENCE(ir_volatility_data_sabr)

}  // namespace korvex
