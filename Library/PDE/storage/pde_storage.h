#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <vector>

#include "PDE/boundary/pde_boundary_config.h"
#include "PDE/pde_export.h"
#include "Vectorization/expressions/tensor.h"

namespace korvex {

// The values a PDE scheme advances through time: the result tensor (shape `dims`), seen by
// the schemes as `number_of_results()` rows of size / number_of_results() grid values, a
// working tensor of the same shape (`scratch()`), and the grouping of the layers by their
// boundary configurations.
//
// Layers and rows. A scheme step runs group by group. When every layer shares one
// configuration (a single group, as the first constructor always makes) that group's step
// advances every result row. A storage built with one configuration per result (the second
// constructor) may hold several groups: then layer i is result row i and each group's step
// (with that group's boundary configurations) advances only its own rows, so every row is
// stepped once per step with its own boundaries. A storage without layers has no group
// and a step leaves it unchanged.
//
// Groups. `groups()` maps each distinct vector of configurations (one configuration per
// dimension; the one-dimensional scheme reads entry 0) to the layers that use it. The keys
// are ordered by `pde_boundary_config_order`, a strict total order, so that distinct
// configurations never share a group. Both tensors are zero at construction.
//
// Refused with Error: number_of_results 0, an element count that is not a multiple of
// number_of_results, an empty configuration vector for a layer, and (second constructor)
// a number of configurations other than number_of_results.
class KORVEX_PDE_API pde_storage
{
public:
    using group_map =
        std::map<std::vector<pde_boundary_config>, std::set<std::size_t>, pde_boundary_config_order>;

    // `layers` layers with default configurations (one per entry of dims): one group.
    pde_storage(std::size_t layers, std::size_t number_of_results, const std::vector<std::size_t>& dims);

    // One layer per result row, each with its own configuration vector.
    pde_storage(std::size_t number_of_results, const std::vector<std::size_t>& dims,
                std::vector<std::vector<pde_boundary_config>> boundary_configs);

    std::size_t number_of_results() const noexcept { return number_of_results_; }
    const std::vector<std::size_t>& dims() const noexcept { return dims_; }

    tensor<double>& result() noexcept { return result_; }
    const tensor<double>& result() const noexcept { return result_; }

    tensor<double>& scratch() noexcept { return scratch_; }
    const tensor<double>& scratch() const noexcept { return scratch_; }

    const group_map& groups() const noexcept { return groups_; }
    const std::vector<std::vector<pde_boundary_config>>& boundary_configs() const noexcept
    {
        return boundary_configs_;
    }

private:
    void check_results() const;
    void add_layers(std::vector<std::vector<pde_boundary_config>> boundary_configs);

    std::vector<std::size_t> dims_;
    std::size_t number_of_results_;
    tensor<double> result_;
    tensor<double> scratch_;
    group_map groups_;
    std::vector<std::vector<pde_boundary_config>> boundary_configs_;
};

}  // namespace korvex
