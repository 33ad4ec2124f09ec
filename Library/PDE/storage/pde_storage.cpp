#include "PDE/storage/pde_storage.h"

#include <utility>

#include "core/check_fail.h"

namespace korvex {

namespace {
constexpr const char* source = "Library/PDE/storage/pde_storage";

constexpr SourceLocation at_line(const char* function, int line)
{
    return {function, source, line};
}

tensor<double> zeros(const std::vector<std::size_t>& dims)
{
    tensor<double> t(dims);
    t = 0.0;
    return t;
}
}  // namespace

pde_storage::pde_storage(std::size_t layers, std::size_t number_of_results,
                         const std::vector<std::size_t>& dims)
    : dims_(dims), number_of_results_(number_of_results), result_(zeros(dims)), scratch_(zeros(dims))
{
    check_results();
    add_layers(std::vector<std::vector<pde_boundary_config>>(
        layers, std::vector<pde_boundary_config>(dims.size())));
}

pde_storage::pde_storage(std::size_t number_of_results, const std::vector<std::size_t>& dims,
                         std::vector<std::vector<pde_boundary_config>> boundary_configs)
    : dims_(dims), number_of_results_(number_of_results), result_(zeros(dims)), scratch_(zeros(dims))
{
    check_results();
    KORVEX_CHECK_MSG(at_line("pde_storage", __LINE__), boundary_configs.size() == number_of_results_,
                     boundary_configs.size(), " layer configurations for ", number_of_results_,
                     " results");
    add_layers(std::move(boundary_configs));
}

void pde_storage::check_results() const
{
    KORVEX_CHECK_MSG(at_line("check_results", __LINE__),
                     number_of_results_ > 0 && result_.size() % number_of_results_ == 0,
                     "cannot hold ", number_of_results_, " results in ", result_.size(), " values");
}

void pde_storage::add_layers(std::vector<std::vector<pde_boundary_config>> boundary_configs)
{
    for (std::size_t layer = 0; layer < boundary_configs.size(); ++layer) {
        KORVEX_CHECK_MSG(at_line("add_layers", __LINE__), !boundary_configs[layer].empty(),
                         "layer ", layer, " has no boundary configuration");
        groups_[boundary_configs[layer]].insert(layer);
    }
    boundary_configs_ = std::move(boundary_configs);
}

}  // namespace korvex
