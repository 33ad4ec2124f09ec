#include <iostream>
#include "Vectorization/expressions/tensor.h"
int main()
{
    korvex::tensor<double> t({2, 3});
    t = 1.5;
    korvex::vector<double> v(6);
    v = 2.0 * t + t;
    std::cout << v[5] << "\n";
}
