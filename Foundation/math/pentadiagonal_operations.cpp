#include "math/pentadiagonal_operations.h"

#include "math/banded_lu.h"

namespace korvex {
namespace {

constexpr const char* source_file = "Foundation/math/pentadiagonal_operations";
constexpr SourceLocation decomposition_arguments{"decomposition", source_file, 22};
constexpr SourceLocation decomposition_pivots{"decomposition", source_file, 23};
constexpr SourceLocation solve_arguments{"solve_decomposed", source_file, 32};
constexpr SourceLocation multiply_arguments{"multiply", source_file, 40};
constexpr SourceLocation multiply_overlap{"multiply", source_file, 41};

using lu = details::banded_lu<2>;

}  // namespace

void pentadiagonal_operations::decomposition(matrix<double>& bands, std::size_t outer,
                                           std::size_t n, std::size_t inner, bool check_pivots)
{
    lu::decomposition(decomposition_arguments, decomposition_pivots, bands, outer, n, inner,
                      check_pivots);
}

void pentadiagonal_operations::solve_decomposed(vector<double>& solution,
                                              const matrix<double>& bands,
                                              const vector<double>& rhs, std::size_t outer,
                                              std::size_t n, std::size_t inner,
                                              bool /*check_pivots*/)
{
    lu::solve(solve_arguments, solution, bands, rhs, outer, n, inner);
}

void pentadiagonal_operations::multiply(vector<double>& result, const vector<double>& operand,
                                      const matrix<double>& bands, std::size_t outer,
                                      std::size_t n, std::size_t inner, double scale,
                                      bool /*check_pivots*/)
{
    lu::multiply(multiply_arguments, multiply_overlap, result, operand, bands, outer, n, inner,
                 scale);
}

}  // namespace korvex
