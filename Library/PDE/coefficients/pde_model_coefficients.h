#pragma once

#include <cstddef>
#include <vector>

#include "PDE/pde_export.h"
#include "Vectorization/expressions/tensor.h"

namespace korvex {

// The coefficients of a PDE operator at every grid point, as tensors of the grid's shape
// (`dims`, first dimension first): diffusion (second derivative), convection (first
// derivative), reaction (undifferentiated term) and, when asked for, correlation (mixed
// second derivative; otherwise the empty shape {0}).
//
// The elements are not initialised: the caller writes every element before use, and may
// rewrite them between steps (the schemes hold the coefficients through a pointer to const
// and read them at every step).
struct KORVEX_PDE_API pde_model_coefficients
{
    pde_model_coefficients(std::vector<std::size_t> dims, bool with_correlation);

    const tensor<double>& diffusion() const noexcept { return diffusion_; }
    const tensor<double>& convection() const noexcept { return convection_; }
    const tensor<double>& reaction() const noexcept { return reaction_; }
    const tensor<double>& correlation() const noexcept { return correlation_; }

    tensor<double> diffusion_;
    tensor<double> convection_;
    tensor<double> reaction_;
    tensor<double> correlation_;
};

}  // namespace korvex
