#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>

#include "core/error.h"
#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/tensor.h"
#include "Vectorization/expressions/vector.h"

namespace korvex {
namespace {

bool aligned(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 64 == 0; }

TEST(Vector, OwnsAnAlignedBlock)
{
    vector<double> v(37);
    EXPECT_EQ(v.size(), 37u);
    EXPECT_TRUE(v.owns());
    EXPECT_EQ(v.device(), 0);
    EXPECT_TRUE(aligned(v.data()));
    v = 2.5;
    for (const double x : v)
        EXPECT_EQ(x, 2.5);
    const vector<double> one{1.0};
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], 1.0);
}

TEST(Vector, EmptyHasNoBlock)
{
    const vector<double> empty(0);
    EXPECT_EQ(empty.data(), nullptr);
    EXPECT_EQ(empty.size(), 0u);
    const vector<double> defaulted;
    EXPECT_EQ(defaulted.data(), nullptr);
    EXPECT_FALSE(defaulted.owns());
}

TEST(Vector, CopiesAreDeepAndIndependent)
{
    vector<double> a{1.0, 2.0, 3.0};
    const vector<double> b(a);
    a[0] = 9.0;
    EXPECT_EQ(b[0], 1.0);
    EXPECT_NE(a.data(), b.data());
    EXPECT_TRUE(b.owns());

    vector<double> c(2);
    c = a;  // other size: a fresh block
    EXPECT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0], 9.0);
    const double* block = c.data();
    c = b;  // same size: the block is reused
    EXPECT_EQ(c.data(), block);
    EXPECT_EQ(c[0], 1.0);
    c = c;
    EXPECT_EQ(c[2], 3.0);
}

// Run under AddressSanitizer: a view that freed, or an owner that freed twice, is reported.
TEST(Vector, ViewsNeverFreeAndOwnersFreeOnce)
{
    vector<double> owner(8);
    owner = 1.0;
    {
        vector<double> view = owner.view();
        EXPECT_FALSE(view.owns());
        EXPECT_EQ(view.data(), owner.data());
        view[3] = 4.0;
        vector<double> view_copy_of_view = vector<double>::view_of(owner.data() + 2, 4);
        EXPECT_EQ(view_copy_of_view[1], 4.0);
    }
    EXPECT_EQ(owner[3], 4.0);
    vector<double> moved(std::move(owner));
    EXPECT_EQ(owner.data(), nullptr);
    EXPECT_EQ(moved[3], 4.0);
}

TEST(Vector, CopyingAViewMakesAnOwner)
{
    vector<double> owner{1.0, 2.0};
    const vector<double> view = owner.view();
    const vector<double> copy(view);
    EXPECT_TRUE(copy.owns());
    EXPECT_NE(copy.data(), owner.data());
    EXPECT_EQ(copy[1], 2.0);
}

TEST(Vector, AssigningToAViewOfEqualSizeWritesThrough)
{
    vector<double> owner{0.0, 0.0};
    vector<double> view = owner.view();
    view = vector<double>{5.0, 6.0};  // move-assign replaces the view itself
    vector<double> second = owner.view();
    const vector<double> source{7.0, 8.0};
    second = source;  // copy-assign of equal size reuses the viewed block
    EXPECT_EQ(owner[0], 7.0);
    EXPECT_EQ(owner[1], 8.0);
}

TEST(Vector, OtherDevicesCopyNoElements)
{
    const vector<double> remote(10, std::uint16_t{3});
    EXPECT_EQ(remote.data(), nullptr);
    EXPECT_EQ(remote.device(), 3);
    const vector<double> copy(remote);
    EXPECT_EQ(copy.data(), nullptr);
    EXPECT_EQ(copy.size(), 10u);
    EXPECT_EQ(copy.device(), 3);
    EXPECT_TRUE(copy.owns());
}

TEST(Vector, ImpossibleSizesRaiseBadAlloc)
{
    EXPECT_THROW(vector<double>(std::size_t{1} << 62), std::bad_alloc);
    EXPECT_THROW(matrix<double>(std::size_t{1} << 40, std::size_t{1} << 40), std::bad_alloc);
    EXPECT_THROW(tensor<double>({std::size_t{1} << 32, std::size_t{1} << 32, 16}), std::bad_alloc);
}

TEST(Matrix, IsRowMajor)
{
    matrix<double> m(3, 4);
    EXPECT_EQ(m.size(), 12u);
    EXPECT_EQ(m.rows(), 3u);
    EXPECT_EQ(m.columns(), 4u);
    std::iota(m.data(), m.data() + m.size(), 0.0);
    EXPECT_EQ(m(2, 1), 9.0);
    EXPECT_EQ(&m(2, 1), m.data() + 9);
    vector<double> row = m.row(1);
    EXPECT_FALSE(row.owns());
    EXPECT_EQ(row.size(), 4u);
    EXPECT_EQ(row[0], 4.0);
    row = 0.0;
    EXPECT_EQ(m(1, 3), 0.0);
    EXPECT_EQ(m(2, 0), 8.0);
}

TEST(Matrix, CopiesAndViews)
{
    matrix<double> m(2, 2);
    m = 1.0;
    matrix<double> view = m.view();
    EXPECT_FALSE(view.owns());
    view(0, 1) = 3.0;
    const matrix<double> copy(m);
    EXPECT_TRUE(copy.owns());
    EXPECT_EQ(copy(0, 1), 3.0);
    EXPECT_NE(copy.data(), m.data());
}

TEST(Tensor, SubSizesAndOffsets)
{
    tensor<double> t({3, 4, 5});
    EXPECT_EQ(t.sub_sizes(), (std::vector<std::size_t>{60, 20, 5}));
    EXPECT_EQ(t.size(), 60u);
    EXPECT_EQ(t.offset(1, 2, 3), 33u);
    std::iota(t.data(), t.data() + t.size(), 0.0);
    EXPECT_EQ(t(1, 2, 3), 33.0);
    EXPECT_EQ(t(2, 3, 4), 59.0);
    EXPECT_TRUE(aligned(t.data()));

    const tensor<double> line({7});
    EXPECT_EQ(line.sub_sizes(), (std::vector<std::size_t>{7}));
}

TEST(Tensor, ZeroExtentGivesAnEmptyBlock)
{
    const tensor<double> empty({0});
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_EQ(empty.data(), nullptr);
    EXPECT_EQ(empty.shape(), (std::vector<std::size_t>{0}));
}

TEST(Tensor, NoDimensionsIsRefused)
{
    try {
        tensor<double> t(std::vector<std::size_t>{});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "a tensor needs at least one dimension");
        EXPECT_EQ(e.location(), (SourceLocation{"sub_sizes_of", "Library/Vectorization/expressions/tensor", 128}));
    }
}

TEST(Tensor, CopyAssignmentReusesOrReallocates)
{
    tensor<double> a({2, 3});
    a = 1.5;
    tensor<double> b({3, 2});
    const double* block = b.data();
    b = a;  // same element count: same block, new shape
    EXPECT_EQ(b.data(), block);
    EXPECT_EQ(b.shape(), (std::vector<std::size_t>{2, 3}));
    EXPECT_EQ(b(1, 2), 1.5);

    tensor<double> c({4});
    c = a;  // other count: a fresh block of the right size
    EXPECT_EQ(c.size(), 6u);
    EXPECT_EQ(c.sub_sizes(), (std::vector<std::size_t>{6, 3}));
    EXPECT_EQ(c(1, 1), 1.5);

    tensor<double> empty;
    empty = a;  // no block yet: gets one
    EXPECT_TRUE(empty.owns());
    EXPECT_EQ(empty.size(), 6u);
    empty = empty;
    EXPECT_EQ(empty(0, 0), 1.5);
}

TEST(Tensor, MatrixViewsShareTheBlock)
{
    tensor<double> results({2, 50});
    results = 0.0;
    matrix<double> rows = results.as_matrix(2);
    EXPECT_FALSE(rows.owns());
    EXPECT_EQ(rows.columns(), 50u);
    rows(1, 49) = 7.0;
    EXPECT_EQ(results(1, 49), 7.0);
    try {
        results.as_matrix(3);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Expected rows != 0 && size() % rows == 0 to be true, but got false.  cannot "
                               "view 100 elements as 3 rows");
        EXPECT_EQ(e.location(), (SourceLocation{"as_matrix", "Library/Vectorization/expressions/tensor", 117}));
    }
    EXPECT_THROW(results.as_matrix(0), Error);
    vector<double> flat = results.as_vector();
    EXPECT_EQ(flat[99], 7.0);
}

TEST(Tensor, OtherDevicesCopyNoElements)
{
    const tensor<double> remote({4, 4}, std::uint16_t{2});
    const tensor<double> copy(remote);
    EXPECT_EQ(copy.data(), nullptr);
    EXPECT_EQ(copy.device(), 2);
    EXPECT_EQ(copy.size(), 16u);
}

}  // namespace
}  // namespace korvex
