// any_container as a Python mapping from identifiers to market objects.
#include <pybind11/pybind11.h>

#include "Market/common/any_container.h"
#include "Market/common/market_data.h"
#include "Market/common/market_data_id.h"
#include "market_bindings.h"
#include "persistence.h"

namespace py = pybind11;

namespace korvex::python {
namespace {

any_id id_from(py::handle id)
{
    if (!py::isinstance<market_data_id>(id))
        throw py::type_error(std::string("any_container keys must be market data identifiers, not ") +
                             Py_TYPE(id.ptr())->tp_name);
    return any_id(std::shared_ptr<const market_data_id>(id.cast<std::shared_ptr<market_data_id>>()));
}

any_object object_from(py::handle object)
{
    if (!py::isinstance<market_data>(object))
        throw py::type_error(std::string("any_container values must be market objects, not ") +
                             Py_TYPE(object.ptr())->tp_name);
    return any_object(std::shared_ptr<const market_data>(object.cast<std::shared_ptr<market_data>>()));
}

py::object id_object(const any_id& id) { return py::cast(held(id.get())); }

py::object value_of(const any_container& c, const any_id& id)
{
    return py::cast(held(c.at(id).get<market_data>()));
}

// (ids, objects) from a mapping or an iterable of (identifier, object) pairs.
void split_entries(py::handle entries, std::vector<std::shared_ptr<const any_id>>& ids,
                   std::vector<std::shared_ptr<const any_object>>& objects)
{
    const py::object pairs = py::hasattr(entries, "items") ? entries.attr("items")() : py::reinterpret_borrow<py::object>(entries);
    for (py::handle pair : pairs) {
        const py::tuple entry = py::tuple(py::reinterpret_borrow<py::object>(pair));
        if (entry.size() != 2)
            throw py::value_error("any_container entries must be (identifier, object) pairs");
        ids.push_back(std::make_shared<const any_id>(id_from(entry[0])));
        objects.push_back(std::make_shared<const any_object>(object_from(entry[1])));
    }
}

void add_entries(any_container& c, py::handle entries)
{
    std::vector<std::shared_ptr<const any_id>> ids;
    std::vector<std::shared_ptr<const any_object>> objects;
    split_entries(entries, ids, objects);
    c.update(ids, objects);
}

std::shared_ptr<any_container> make_container(py::handle entries, py::handle objects)
{
    if (entries.is_none())
        return std::make_shared<any_container>();
    std::vector<std::shared_ptr<const any_id>> ids;
    std::vector<std::shared_ptr<const any_object>> values;
    if (objects.is_none()) {
        split_entries(entries, ids, values);
    } else {
        for (py::handle id : entries)
            ids.push_back(std::make_shared<const any_id>(id_from(id)));
        for (py::handle object : objects)
            values.push_back(std::make_shared<const any_object>(object_from(object)));
    }
    return std::make_shared<any_container>(ids, values);
}

py::list keys_of(const any_container& c)
{
    py::list keys;
    for (const any_id& id : c.ids())
        keys.append(id_object(id));
    return keys;
}

}  // namespace

void add_container(py::module_& module)
{
    class_<any_container> container(
        module, "any_container",
        "A mapping from market data identifiers to market objects: any_container({id: curve,\n"
        "...}), any_container([(id, curve), ...]) or any_container(ids, objects). Supports in,\n"
        "[] (KeyError for an identifier it does not hold), len, iteration over the identifiers\n"
        "(in the order they were added, or a file's order), keys, values, items and get. The\n"
        "constructor refuses an identifier given twice (\"Duplicated key in data container\").");
    container
        .def(py::init(&make_container), py::arg("entries") = py::none(), py::arg("objects") = py::none())
        .def("__len__", [](const any_container& c) { return c.size(); })
        .def("__contains__",
             [](const any_container& c, py::handle id) {
                 return py::isinstance<market_data_id>(id) && c.contains(id_from(id));
             })
        .def("__getitem__",
             [](const any_container& c, py::handle id) {
                 const any_id key = id_from(id);
                 if (!c.contains(key))
                     throw py::key_error(py::repr(id).cast<std::string>());
                 return value_of(c, key);
             })
        .def(
            "get",
            [](const any_container& c, py::handle id, py::object otherwise) {
                if (!py::isinstance<market_data_id>(id) || !c.contains(id_from(id)))
                    return otherwise;
                return value_of(c, id_from(id));
            },
            py::arg("id"), py::arg("default") = py::none())
        .def("__iter__", [](const any_container& c) { return py::iter(keys_of(c)); })
        .def("keys", &keys_of, "The identifiers, in order.")
        .def(
            "values",
            [](const any_container& c) {
                py::list values;
                for (const any_id& id : c.ids())
                    values.append(value_of(c, id));
                return values;
            },
            "The objects, in the order of the identifiers.")
        .def(
            "items",
            [](const any_container& c) {
                py::list items;
                for (const any_id& id : c.ids())
                    items.append(py::make_tuple(id_object(id), value_of(c, id)));
                return items;
            },
            "(identifier, object) pairs, in order.")
        .def("update", &add_entries, py::arg("entries"),
             "Adds the entries whose identifier is not held yet; a held identifier keeps its object.")
        .def("__repr__", [](const any_container& c) {
            const std::vector<any_id> ids = c.ids();
            std::string text = "any_container({";
            for (std::size_t i = 0; i < ids.size(); ++i) {
                if (i == 3) {
                    text += ", ... (" + std::to_string(ids.size()) + " entries)";
                    break;
                }
                text += (i ? ", " : "") + py::repr(id_object(ids[i])).cast<std::string>() + ": " +
                        py::repr(value_of(c, ids[i])).cast<std::string>();
            }
            return text + "})";
        });
    def_persistence<any_container>(container);
}

}  // namespace korvex::python
