#include "math/pentadiagonal_operations.h"

#include "math/banded_lu.h"

namespace korvex {
namespace {

// Each routine passes the locations of its two checks, on their own lines: the arguments
// first, then the pivots or the overlap of the vectors.
constexpr const char* source_file = "Foundation/math/pentadiagonal_operations";
using lu = details::banded_lu<2>;

}  // namespace

void pentadiagonal_operations::decomposition(matrix<double>& bands, std::size_t outer,
                                           std::size_t n, std::size_t inner, bool check_pivots)
{
    lu::decomposition({"decomposition", source_file, __LINE__},
                      {"decomposition", source_file, __LINE__}, bands, outer, n, inner,
                      check_pivots);
}

void pentadiagonal_operations::solve_decomposed(vector<double>& solution,
                                              const matrix<double>& bands,
                                              const vector<double>& rhs, std::size_t outer,
                                              std::size_t n, std::size_t inner,
                                              bool /*check_pivots*/)
{
    lu::solve({"solve_decomposed", source_file, __LINE__},
              {"solve_decomposed", source_file, __LINE__}, solution, bands, rhs, outer, n, inner);
}

void pentadiagonal_operations::multiply(vector<double>& result, const vector<double>& operand,
                                      const matrix<double>& bands, std::size_t outer,
                                      std::size_t n, std::size_t inner, double scale,
                                      bool /*check_pivots*/)
{
    lu::multiply({"multiply", source_file, __LINE__},
                 {"multiply", source_file, __LINE__}, result, operand, bands, outer, n, inner,
                 scale);
}

}  // namespace korvex
