#pragma once

// The file entry points and pickling of the persistable classes of korvexmodules.Market.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <span>
#include <string_view>

#include <pybind11/pybind11.h>

#include "market_bindings.h"
#include "Serialization/serialization_impl.h"
#include "core/check_fail.h"
#include "core/multi_process_stream.h"
#include "serialization/access.h"

namespace korvex::python {

// What write_binary would put in a file, as Python bytes: pickles carry the header and its
// checksum, so a damaged pickle is refused.
template <class T>
pybind11::bytes pickled_bytes(const std::shared_ptr<const T>& object)
{
    const std::vector<std::uint8_t> bytes = T::write_to_bytes(object);
    return pybind11::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A new T from the bare binary record that pickles held before they carried the file's
// header, so those pickles still load; Error for a record that is damaged, truncated or
// followed by more bytes.
template <class T>
std::shared_ptr<const T> from_record_bytes(std::span<const std::uint8_t> record)
{
    multi_process_stream stream;
    stream.SetRawData(std::vector<std::uint8_t>(record.begin(), record.end()));
    std::shared_ptr<T> object = details::serialization_access::create<T>();
    details::load(stream, *object);
    if (stream.bytes_left() != 0)
        details::check_fail(SourceLocation{"from_record_bytes", "Python/Market/persistence", __LINE__},
                            details::concat("The pickled record is followed by ", stream.bytes_left(), " bytes"));
    return object;
}

// A new T read from pickled_bytes(), or from an older pickle's bare record; Error for bytes
// that are damaged, truncated or longer.
template <class T>
std::shared_ptr<const T> from_pickled_bytes(const pybind11::bytes& bytes)
{
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes.ptr(), &data, &size) != 0)
        throw pybind11::error_already_set();
    const std::span<const std::uint8_t> view{reinterpret_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size)};
    const std::string_view magic = serialization::access::binary_magic;
    if (view.size() >= magic.size() && std::string_view(data, magic.size()) != magic)
        return from_record_bytes<T>(view);
    return T::read_from_bytes(view);
}

// Adds to a Python class of T: the static read_json, read_binary and from_bytes, the methods
// write_json, write_binary, json_to_string and to_bytes, and pickling through to_bytes. The methods take
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
        .def(
            "to_bytes", [unwrap](const Self& self) { return pickled_bytes<T>(unwrap(self)); },
            "The content write_binary would give a file (header, checksum and record), as bytes.")
        .def_static(
            "from_bytes", [wrap](const py::bytes& data) { return wrap(from_pickled_bytes<T>(data)); },
            py::arg("data"),
            "Reads the object from bytes given by to_bytes (or a binary file's content); damaged,\n"
            "truncated or extended bytes raise Error.")
        .def(py::pickle([unwrap](const Self& self) { return pickled_bytes<T>(unwrap(self)); },
                        [wrap](const py::bytes& bytes) { return wrap(from_pickled_bytes<T>(bytes)); }));
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
