#include "PDE/coefficients/pde_model_coefficients.h"

#include <utility>

namespace korvex {

pde_model_coefficients::pde_model_coefficients(std::vector<std::size_t> dims, bool with_correlation)
    : diffusion_(dims),
      convection_(dims),
      reaction_(dims),
      correlation_(with_correlation ? std::move(dims) : std::vector<std::size_t>{0})
{
}

}  // namespace korvex
