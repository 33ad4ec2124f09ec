#pragma once

// The file entry points and pickling of the persistable classes of korvexmodules.Market.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>

#include "market_bindings.h"
#include "Serialization/serialization_impl.h"
#include "core/check_fail.h"
#include "core/multi_process_stream.h"

namespace korvex::python {

// The binary record of an object, as its binary file holds it after the file's header.
template <class T>
pybind11::bytes record_bytes(const std::shared_ptr<const T>& object)
{
    multi_process_stream stream;
    details::save(stream, object);
    const std::vector<std::uint8_t>& bytes = stream.GetRawData();
    return pybind11::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A new T read from its binary record; Error for a record that is damaged, truncated or
// followed by more bytes.
template <class T>
std::shared_ptr<T> from_record_bytes(const pybind11::bytes& record)
{
    const std::string text = record;
    multi_process_stream stream;
    stream.SetRawData(std::vector<std::uint8_t>(text.begin(), text.end()));
    std::shared_ptr<T> object = details::serialization_access::create<T>();
    details::load(stream, *object);
    if (stream.bytes_left() != 0)
        details::check_fail(SourceLocation{"from_record_bytes", "Python/Market/persistence", __LINE__},
                            details::concat("The pickled record is followed by ", stream.bytes_left(), " bytes"));
    return object;
}

// Adds to a Python class of T: the static read_json and read_binary, the methods write_json,
// write_binary and json_to_string, and pickling through the binary record. The methods take
// their object as a Self; `wrap` turns a std::shared_ptr<const T> into what Python receives,
// `unwrap` a Self into a std::shared_ptr<const T>.
template <class T, class Self, class Class, class Wrap, class Unwrap>
void def_persistence(Class& cls, Wrap wrap, Unwrap unwrap)
{
    namespace py = pybind11;
    // read_json and read_binary: `read` is T::read_from_json or T::read_from_binary.
    const auto reader = [wrap](std::shared_ptr<const T> (*read)(const std::string&)) {
        return [wrap, read](py::handle path) {
            const std::string file = path_text(path);
            std::shared_ptr<const T> object;
            {
                py::gil_scoped_release unlocked;
                object = read(file);
            }
            return wrap(object);
        };
    };
    // write_json and write_binary: `write` is T::write_to_json or T::write_to_binary.
    const auto writer = [unwrap](void (*write)(const std::string&, const std::shared_ptr<const T>&)) {
        return [unwrap, write](const Self& self, py::handle path) {
            const std::string file = path_text(path);
            const std::shared_ptr<const T> object = unwrap(self);
            py::gil_scoped_release unlocked;
            write(file, object);
        };
    };
    cls.def_static("read_json", reader(&T::read_from_json), py::arg("path"),
                   "Reads the object from a JSON file written by write_json.")
        .def_static("read_binary", reader(&T::read_from_binary), py::arg("path"),
                    "Reads the object from a binary file written by write_binary.")
        .def("write_json", writer(&T::write_to_json), py::arg("path"),
             "Writes the object to a JSON file {\"root\": record}, atomically.")
        .def("write_binary", writer(&T::write_to_binary), py::arg("path"),
             "Writes the object to a binary file (checksummed), atomically.")
        .def(
            "json_to_string", [unwrap](const Self& self) { return T::json_to_string(unwrap(self)); },
            "The object's JSON record, indented by 2 spaces.")
        .def(py::pickle([unwrap](const Self& self) { return record_bytes<T>(unwrap(self)); },
                        [wrap](const py::bytes& record) { return wrap(from_record_bytes<T>(record)); }));
}

// The same for a class whose Python objects hold the T itself.
template <class T, class Class>
void def_persistence(Class& cls)
{
    def_persistence<T, std::shared_ptr<T>>(
        cls, [](std::shared_ptr<const T> object) { return held(std::move(object)); },
        [](const std::shared_ptr<T>& self) { return std::shared_ptr<const T>(self); });
}

}  // namespace korvex::python
