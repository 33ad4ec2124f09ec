#include "Market/ir/volatility_surface/volatility_data/surface_term_structure_record.h"

#include <cstdint>
#include <limits>
#include <utility>

#include "Serialization/serialization_impl.h"
#include "core/cpu_allocator.h"

namespace korvex::details {

namespace {

constexpr const char* source_file =
    "Library/Market/ir/volatility_surface/volatility_data/surface_term_structure_record";
constexpr SourceLocation here(const char* function, int line) { return {function, source_file, line}; }

void save_matrix(json& record, const matrix<double>& z)
{
    record["class"] = "korvex.matrix";
    record["rows"] = static_cast<std::uint64_t>(z.rows());
    record["columns"] = static_cast<std::uint64_t>(z.columns());
    json& data = record["data"] = json::array();
    for (std::size_t j = 0; j < z.columns(); ++j) {
        json& column = data[j] = json::array();
        for (std::size_t i = 0; i < z.rows(); ++i)
            save(column[i], z(i, j));
    }
}

matrix<double> load_matrix(json& record)
{
    const std::size_t rows = integer_from<std::uint64_t>(record["rows"]);
    const std::size_t columns = integer_from<std::uint64_t>(record["columns"]);
    json& data = record["data"];
    const std::size_t stored_columns = data.is_null() ? 0 : data.size();
    if (stored_columns != columns)
        check_fail(here("load_matrix", __LINE__), concat("The matrix record has ", columns, " columns but holds ",
                                                         stored_columns, " arrays of values"));
    for (std::size_t j = 0; j < columns; ++j)
        if (data[j].size() != rows)
            check_fail(here("load_matrix", __LINE__), concat("The matrix record has ", rows, " rows but its column ",
                                                             j, " holds ", data[j].size(), " values"));
    matrix<double> z(rows, columns);
    for (std::size_t j = 0; j < columns; ++j)
        for (std::size_t i = 0; i < rows; ++i)
            load(data[j][i], z(i, j));
    return z;
}

void save_matrix(multi_process_stream& record, const matrix<double>& z)
{
    if (z.size() > std::numeric_limits<unsigned>::max())
        check_fail(here("save_matrix", __LINE__),
                   concat("A matrix of ", z.size(), " values is too large for a 32-bit count"));
    record << static_cast<unsigned long long>(z.rows()) << static_cast<unsigned long long>(z.columns());
    record.Push(z.data(), static_cast<unsigned>(z.size()));
}

matrix<double> load_matrix(multi_process_stream& record)
{
    unsigned long long rows = 0, columns = 0;
    record >> rows >> columns;
    double* block = nullptr;
    unsigned count = 0;
    record.Pop(block, count);
    const std::unique_ptr<double, void (*)(void*)> values(block, &cpu_allocator::free);
    // rows * columns == count, without overflow.
    const bool matches = columns == 0 ? count == 0 : rows <= count / columns && rows * columns == count;
    if (!matches)
        check_fail(here("load_matrix", __LINE__), concat("The matrix record has ", rows, " rows and ", columns,
                                                         " columns but holds ", count, " values"));
    matrix<double> z(rows, columns);
    std::copy(values.get(), values.get() + count, z.data());
    return z;
}

template <class Archive>
void save_surface(Archive& record, const surface_term_structure_record::pointer& surface)
{
    if (!surface) {
        save_null_marker(record);
        return;
    }
    save_tag(record, *surface);
    if constexpr (std::is_same_v<Archive, json>) {
        save(record["x"], surface->x());
        save(record["y"], surface->y());
        save_matrix(record["z"], surface->z());
    } else {
        save(record, surface->x());
        save(record, surface->y());
        save_matrix(record, surface->z());
    }
}

}  // namespace

void surface_term_structure_record::save(json& record, const pointer& surface)
{
    if (surface)
        surface->initialize();  // an empty surface (read from a null marker) would not read back
    save_surface(record, surface);
}

void surface_term_structure_record::save(multi_process_stream& record, const pointer& surface)
{
    if (surface)
        surface->initialize();
    save_surface(record, surface);
}

void surface_term_structure_record::load(json& record, pointer& surface)
{
    std::shared_ptr<surface_term_structure> fresh = serialization_access::create<surface_term_structure>();
    if (load_tag(record)) {
        details::load(record["x"], fresh->x_);
        details::load(record["y"], fresh->y_);
        fresh->z_ = load_matrix(record["z"]);
        fresh->initialize();
    }
    surface = std::move(fresh);
}

void surface_term_structure_record::load(multi_process_stream& record, pointer& surface)
{
    std::shared_ptr<surface_term_structure> fresh = serialization_access::create<surface_term_structure>();
    if (load_tag(record)) {
        details::load(record, fresh->x_);
        details::load(record, fresh->y_);
        fresh->z_ = load_matrix(record);
        fresh->initialize();
    }
    surface = std::move(fresh);
}

}  // namespace korvex::details
