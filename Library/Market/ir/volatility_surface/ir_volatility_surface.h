#pragma once

#include <memory>

#include "Market/common/market_data.h"
#include "Market/ir/volatility_surface/volatility_data/ir_volatility_data.h"
#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "util/datetime.h"

namespace korvex {

// The interest-rate volatility market object: a valuation date and the volatility data
// that hands out pricing models. The constructor, initialize() and the readers refuse with
// Error a surface without data ("data_ is null").
class KORVEX_MARKET_API ir_volatility_surface : public market_data
{
public:
    ir_volatility_surface(const datetime& valuation_date, const std::shared_ptr<const ir_volatility_data>& data);

    std::shared_ptr<const ir_volatility_data> data() const { return data_; }

    // Record: "Class", "valuation_date", "data" (the record of the data's dynamic class,
    // dispatched through the serialization registries; a class tag that no registry knows,
    // the null marker among them, leaves the data missing and the reader fails).
    KORVEX_PERSISTABLE(ir_volatility_surface);

private:
    ir_volatility_surface() = default;
    void initialize() const;
    void validate() const;

    std::shared_ptr<const ir_volatility_data> data_;
};

}  // namespace korvex
