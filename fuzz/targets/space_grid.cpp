// Space grids built from fuzzed configurations. The input's fields, in order: construction
// type (int32), flags (uint8: bit 0 transform_start, bit 1 transform_end), transformation
// (int32), requested count (uint64), lower, upper and offset (doubles); the remaining bytes
// are the given points. A construction may fail only with korvex::Error. A built grid
// reports the size of its axis, and the uniform construction without offset or final
// transformation gives exactly n points from the (mapped) lower bound to the upper one when
// their distance is finite.
//
// Grids of millions of points take seconds under the fuzzer's instrumentation, more with
// subnormal bounds, and explore no other code than small ones. So the count field gives
// its value modulo 2^17, unless its top bit is set: then the other 63 bits are the count as
// it is, which keeps the point limit and its refusal within reach.

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "PDE/grid/space_grid.h"
#include "core/error.h"
#include "fuzz_support.h"
#include "grid_input.h"

namespace {

using namespace korvex;
using config = space_grid_config;

struct space_input
{
    std::int32_t type;
    std::uint8_t flags;
    std::int32_t transformation;
    std::uint64_t n;
    double lower, upper, offset;
    std::vector<double> points;
};

constexpr std::uint64_t verbatim_count = std::uint64_t{1} << 63;

std::uint64_t requested_count(std::uint64_t field)
{
    return (field & verbatim_count) != 0 ? field & ~verbatim_count : field % (1u << 17);
}

space_input read_input(fuzzing::field_reader& fields)
{
    space_input in{};
    in.type = fields.next<std::int32_t>();
    in.flags = fields.next<std::uint8_t>();
    in.transformation = fields.next<std::int32_t>();
    in.n = requested_count(fields.next<std::uint64_t>());
    in.lower = fields.next<double>();
    in.upper = fields.next<double>();
    in.offset = fields.next<double>();
    in.points = fields.rest();
    return in;
}

std::vector<std::uint8_t> seed(config::space_grid_type type, std::uint8_t flags,
                               config::transformation_type transformation, std::uint64_t n,
                               double lower, double upper, double offset,
                               const std::vector<double>& points)
{
    return fuzzing::field_writer()
        .add(static_cast<std::int32_t>(type))
        .add(flags)
        .add(static_cast<std::int32_t>(transformation))
        .add(n)
        .add(lower)
        .add(upper)
        .add(offset)
        .add_all(points)
        .bytes();
}

void check(const space_input& in, const config& settings, const space_grid& grid)
{
    if (grid.size() != grid.axis().size())
        fuzzing::fault("the grid's size differs from its axis");
    if (in.type != config::uniform || settings.transform_end() || in.offset != 0.0 || in.n < 2)
        return;
    double lower = in.lower;
    double upper = in.upper;
    if (settings.transform_start()) {
        space_grid::transform(lower, grid.transformation());
        space_grid::transform(upper, grid.transformation());
    }
    // An infinite bound or width makes the spacing infinite or NaN, and every point with it.
    if (!std::isfinite(upper - lower))
        return;
    if (grid.size() != in.n || grid.axis().front() != lower || grid.axis().back() != upper)
        fuzzing::fault("the uniform grid is not n points from lower to upper");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::field_reader fields(data, size);
    const space_input in = read_input(fields);
    const config settings(static_cast<config::space_grid_type>(in.type), (in.flags & 1) != 0,
                          (in.flags & 2) != 0, static_cast<config::transformation_type>(in.transformation),
                          1e-8, 1.0, 0.5);
    try {
        const space_grid grid(settings, in.n, in.lower, in.upper, in.offset, in.points);
        check(in, settings, grid);
    } catch (const Error&) {
    }
    return 0;
}

// Configurations of the PDE set-ups, and the inputs that once ended in std::length_error or
// an allocation that AddressSanitizer aborts.
std::vector<std::vector<std::uint8_t>> korvex_fuzz_seeds()
{
    const double spot = std::log(100.0);
    const double tiny = std::numeric_limits<double>::denorm_min();
    return {
        seed(config::uniform, 0, config::identity, 11, -1.0, 4.0, 0.0, {}),
        seed(config::uniform, 2, config::exp, 37, 0.0, 1.0, 2.5, {}),
        seed(config::uniform, 1, config::log, 50, 50.0, 200.0, 0.0, {}),
        seed(config::explicit_points, 0, config::identity, 3, 0.0, 1.0, 0.0, {0.5, 0.25, 0.75}),
        seed(config::uniform_with_points, 0, config::identity, 10, 0.0, 10.0, 0.0, {2.5, 7.5, 12.0}),
        seed(config::concentrated, 0, config::identity, 201, spot - 1.0, spot + 1.0, 0.0, {spot, spot}),
        seed(config::concentrated, 1, config::log, 100, 50.0, 200.0, 0.0, {90.0, 100.0, 110.0}),
        seed(config::uniform_with_points, 0, config::identity, 10, 0.0, tiny, 0.0, {}),
        seed(config::concentrated, 0, config::identity, 10, 0.0, tiny, 0.0, {0.0, tiny}),
        seed(config::uniform, 0, config::identity, std::numeric_limits<std::uint64_t>::max(), 0.0,
             1.0, 0.0, {}),
        seed(config::uniform, 0, config::identity, verbatim_count | (space_grid::max_points + 1), 0.0,
             1.0, 0.0, {}),
    };
}
