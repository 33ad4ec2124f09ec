#pragma once

#include <memory>

#include <nlohmann/json_fwd.hpp>

#include "core/multi_process_stream.h"
#include "util/surface_term_structure.h"

namespace korvex::details {

// The nested record of a surface_term_structure field, in both formats:
//   JSON   {"Class": tag, "x": dates, "y": dates,
//           "z": {"class": "korvex.matrix", "rows": r, "columns": c, "data": [column 0, ...]}}
//          where column j is the array of the r values z(0, j) ... z(r-1, j);
//   binary tag, x (count and dates), y (count and dates), rows and columns as unsigned long
//          long, then the r x c values row by row with multi_process_stream::Push.
// A null pointer is the null marker. Reading always stores a new surface: the null marker
// gives the empty one of the private default constructor, any other record is checked by
// the surface's initialize(). Writing refuses with that same Error a surface that would not
// read back (the empty one). The matrix shape is checked against the values present
// before anything is allocated, so a record cannot ask for more memory than it holds.
struct surface_term_structure_record
{
    using pointer = std::shared_ptr<const surface_term_structure>;

    static void save(nlohmann::ordered_json& record, const pointer& surface);
    static void load(nlohmann::ordered_json& record, pointer& surface);
    static void save(multi_process_stream& record, const pointer& surface);
    static void load(multi_process_stream& record, pointer& surface);
};

}  // namespace korvex::details
