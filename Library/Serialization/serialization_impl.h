#pragma once

// Generic record writers (save) and readers (load) for JSON values and binary streams.
//
// A record starts with the class tag: the JSON member "Class", or a string in a stream. A
// null pointer is written as the record {"Class": "empty"} (the string "empty" alone in a
// stream); reading that marker leaves the target as its default constructor made it.
// After the tag come the fields, in JSON under their keys (read through the creating
// lookup, so a missing member reads as null and fails with the JSON library's type
// error), in a stream one after the other.
//
// Field encodings: numbers, booleans and keys as themselves; dates as their serial
// number; in JSON, which has no numbers for them, a NaN, +infinity and -infinity double or
// date as the strings "NaN", "Infinity" and "-Infinity" (read back where a double is
// read; a NaN comes back as the positive quiet NaN); vectors as arrays (an empty one left as null; null read back as empty) or, in a
// stream, a 32-bit count followed by the elements; a pointer to a fixed class as that
// class's record (reading always creates the object); a pointer to a polymorphic base as
// the record of the dynamic class, dispatched by tag through the serialization
// registries; a variant as its alternative's index and value.
//
// Nothing read from a file is trusted: counts are checked against the bytes that remain
// before anything is allocated, and a polymorphic record can only be read into a pointer
// of the base its class was registered with.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "Util/term_structure/term_structure.h"
#include "core/check_fail.h"
#include "core/demangle.h"
#include "core/multi_process_stream.h"
#include "serialization/access.h"
#include "serialization/serialization_registry.h"
#include "util/calendar.h"
#include "util/datetime.h"
#include "util/day_count_convention.h"
#include "util/key.h"

namespace korvex::details {

using json = nlohmann::ordered_json;

inline constexpr const char* null_marker = "empty";

inline constexpr const char* serialization_source = "Library/Serialization/serialization_impl";
inline constexpr SourceLocation variant_save_location{"save", "Library\\Serialization/serialization_impl", 262};
inline constexpr SourceLocation variant_load_location{"load", "Library\\Serialization/serialization_impl", 286};

// The base class each registered class is read as, by class tag (see class_registration).
KORVEX_MARKET_API Registry<std::string, const std::type_info*>& registered_storage_types();

// Opens the private members of persistable classes to the generic code.
struct serialization_access
{
    template <class T> struct constructing_allocator;  // defined below
    // A new object made by T's (possibly private) default constructor, in one allocation.
    template <class T>
    static std::shared_ptr<T> create()
    {
        return std::allocate_shared<T>(constructing_allocator<T>());
    }
    template <class Archive, class T>
    static void save(Archive& archive, const T& obj)
    {
        obj.save(archive);
    }
    template <class Archive, class T>
    static void load(Archive& archive, T& obj)
    {
        obj.load(archive);
    }
};

// The class tag of an object: the readable name of its dynamic type when the class is
// polymorphic, of its static type otherwise.
template <class T>
const std::string& class_tag(const T& obj)
{
    return class_tag_of(typeid(obj));
}
inline std::string& tag_buffer();  // where stream readers read class tags (defined below)

// ---------------------------------------------------------------------------------------
// Declarations, so that every overload is visible from every template below.

void save(json& j, double value);
void save(json& j, int value);
void save(json& j, unsigned int value);
void save(json& j, bool value);
void save(json& j, const std::string& value);
void save(json& j, const key& value);
void save(json& j, const datetime& value);
void save(json& j, const calendar& value);
void save(json& j, const day_count_convention& value);
void load(json& j, double& value);
void load(json& j, int& value);
void load(json& j, unsigned int& value);
void load(json& j, bool& value);
void load(json& j, std::string& value);
void load(json& j, key& value);
void load(json& j, datetime& value);
void load(json& j, calendar& value);
void load(json& j, day_count_convention& value);

void save(multi_process_stream& s, double value);
void save(multi_process_stream& s, int value);
void save(multi_process_stream& s, unsigned int value);
void save(multi_process_stream& s, bool value);
void save(multi_process_stream& s, const std::string& value);
void save(multi_process_stream& s, const key& value);
void save(multi_process_stream& s, const datetime& value);
void save(multi_process_stream& s, const calendar& value);
void save(multi_process_stream& s, const day_count_convention& value);
void load(multi_process_stream& s, double& value);
void load(multi_process_stream& s, int& value);
void load(multi_process_stream& s, unsigned int& value);
void load(multi_process_stream& s, bool& value);
void load(multi_process_stream& s, std::string& value);
void load(multi_process_stream& s, key& value);
void load(multi_process_stream& s, datetime& value);
void load(multi_process_stream& s, calendar& value);
void load(multi_process_stream& s, day_count_convention& value);

template <class Archive, class T>
    requires std::is_class_v<T>
void save(Archive& archive, const T& obj);
template <class Archive, class T>
    requires std::is_class_v<T>
void load(Archive& archive, T& obj);
template <class Archive, class T>
void save(Archive& archive, const T* obj);
template <class Archive, class T>
void save(Archive& archive, const std::shared_ptr<const T>& obj);
template <class Archive, class T>
void load(Archive& archive, std::shared_ptr<const T>& obj);
template <class T>
void save(json& j, const std::vector<T>& values);
template <class T>
void load(json& j, std::vector<T>& values);
template <class T>
void save(multi_process_stream& s, const std::vector<T>& values);
template <class T>
void load(multi_process_stream& s, std::vector<T>& values);
template <class... Ts>
void save(json& j, const std::variant<std::shared_ptr<const Ts>...>& value);
template <class... Ts>
void load(json& j, std::variant<std::shared_ptr<const Ts>...>& value);
template <class... Ts>
void save(multi_process_stream& s, const std::variant<std::shared_ptr<const Ts>...>& value);
template <class... Ts>
void load(multi_process_stream& s, std::variant<std::shared_ptr<const Ts>...>& value);

// ---------------------------------------------------------------------------------------
// Class tags.

// Starts the record of obj: its class tag.
template <class T>
void save_tag(json& j, const T& obj)
{
    j["Class"] = class_tag(obj);
}

template <class T>
void save_tag(multi_process_stream& s, const T& obj)
{
    s << class_tag(obj);
}

// The whole record of a null pointer.
inline void save_null_marker(json& j)
{
    j["Class"] = null_marker;
}

inline void save_null_marker(multi_process_stream& s)
{
    s << std::string(null_marker);
}

// Reads a record's class tag; false for the null marker, after which nothing more
// belongs to the record. The tag is not compared with the class being read.
inline bool load_tag(json& j)
{
    return j["Class"].get<std::string>() != null_marker;
}

inline bool load_tag(multi_process_stream& s)
{
    std::string& tag = tag_buffer();
    s >> tag;
    return tag != null_marker;
}

// ---------------------------------------------------------------------------------------
// Scalars.

// False only for a JSON number that the integer type T cannot hold. The JSON library
// would wrap such an integer (4294967296 read as an unsigned int gives 0) and converting
// such a floating-point number is undefined, so a file could otherwise turn an
// out-of-range number into an arbitrary valid one. Fractions within range are truncated
// toward zero, as the JSON library does.
template <class T>
bool holds_integer(const json& j)
{
    using limits = std::numeric_limits<T>;
    if (j.is_number_unsigned())
        return std::in_range<T>(j.get<std::uint64_t>());
    if (j.is_number_integer())
        return std::in_range<T>(j.get<std::int64_t>());
    if (j.is_number_float()) {
        const double number = j.get<double>();
        return number > static_cast<double>(limits::min()) - 1.0 &&
               number < static_cast<double>(limits::max()) + 1.0;
    }
    return true;  // not a number: the typed read raises the JSON library's type error
}

// The integer held by j; a number out of T's range is refused with Error.
template <class T>
T integer_from(const json& j)
{
    if (!holds_integer<T>(j))
        check_fail(SourceLocation{"integer_from", serialization_source, __LINE__},
                   concat("The number ", j.dump(), " does not fit in ", demangle(typeid(T).name())));
    return j.get<T>();
}

// The JSON strings of the doubles that JSON numbers cannot hold.
inline constexpr const char* nan_text = "NaN";
inline constexpr const char* infinity_text = "Infinity";
inline constexpr const char* negative_infinity_text = "-Infinity";

// The double a JSON string stands for, when it is one of the three texts above.
inline std::optional<double> non_finite_from(const json& j)
{
    if (!j.is_string())
        return std::nullopt;
    const std::string& text = j.get_ref<const std::string&>();
    if (text == nan_text)
        return std::numeric_limits<double>::quiet_NaN();
    if (text == infinity_text)
        return std::numeric_limits<double>::infinity();
    if (text == negative_infinity_text)
        return -std::numeric_limits<double>::infinity();
    return std::nullopt;
}

inline void save(json& j, double value)
{
    if (std::isfinite(value))
        j = value;
    else
        j = std::isnan(value) ? nan_text : value > 0.0 ? infinity_text : negative_infinity_text;
}
inline void save(json& j, int value) { j = value; }
inline void save(json& j, unsigned int value) { j = value; }
inline void save(json& j, bool value) { j = value; }
inline void save(json& j, const std::string& value) { j = value; }
inline void save(json& j, const key& value) { j = value.to_string(); }
inline void save(json& j, const datetime& value) { save(j, value.as_float()); }
// Any other string fails with the JSON library's type error, as any non-number does.
inline void load(json& j, double& value)
{
    const std::optional<double> non_finite = non_finite_from(j);
    value = non_finite ? *non_finite : j.get<double>();
}
inline void load(json& j, int& value) { value = integer_from<int>(j); }
inline void load(json& j, unsigned int& value) { value = integer_from<unsigned int>(j); }
inline void load(json& j, bool& value) { value = j.get<bool>(); }
inline void load(json& j, std::string& value) { value = j.get<std::string>(); }
inline void load(json& j, key& value) { value = j.get<std::string>(); }
inline void load(json& j, datetime& value)
{
    double serial = 0.0;
    load(j, serial);
    value = serial;
}

inline void save(multi_process_stream& s, double value) { s << value; }
inline void save(multi_process_stream& s, int value) { s << value; }
inline void save(multi_process_stream& s, unsigned int value) { s << value; }
inline void save(multi_process_stream& s, bool value) { s << value; }
inline void save(multi_process_stream& s, const std::string& value) { s << value; }
inline void save(multi_process_stream& s, const key& value) { s << value.to_string(); }
inline void save(multi_process_stream& s, const datetime& value) { s << value.as_float(); }
inline void load(multi_process_stream& s, double& value) { s >> value; }
inline void load(multi_process_stream& s, int& value) { s >> value; }
inline void load(multi_process_stream& s, unsigned int& value) { s >> value; }
inline void load(multi_process_stream& s, bool& value) { s >> value; }
inline void load(multi_process_stream& s, std::string& value) { s >> value; }
inline void load(multi_process_stream& s, key& value)
{
    std::string text;
    s >> text;
    value = std::move(text);
}
inline void load(multi_process_stream& s, datetime& value)
{
    double serial = 0.0;
    s >> serial;
    value = serial;
}

// ---------------------------------------------------------------------------------------
// Vectors.

template <class T>
void save(json& j, const std::vector<T>& values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        save(j[i], values[i]);
}

template <class T>
void load(json& j, std::vector<T>& values)
{
    const std::size_t count = j.is_null() ? 0 : j.size();
    values.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        load(j[i], values[i]);
}

// The fewest stream bytes one element of type T takes, so that a count read from a file
// can be checked against the bytes that remain before anything is allocated.
template <class T>
constexpr std::size_t smallest_encoding()
{
    if constexpr (std::is_same_v<T, bool>)
        return 2;  // type byte + 1
    else if constexpr (std::is_same_v<T, int> || std::is_same_v<T, unsigned int>)
        return 5;  // type byte + 4
    else
        return 9;  // type byte + 8: a double, a date, or a record's tag string length
}

// The 32-bit count that precedes a vector's elements in a stream.
inline unsigned int stream_count(std::size_t size)
{
    if (size > std::numeric_limits<unsigned int>::max())
        check_fail(SourceLocation{"stream_count", serialization_source, __LINE__},
                   concat("A vector of ", size, " elements is too long for a 32-bit count"));
    return static_cast<unsigned int>(size);
}

template <class T>
void save(multi_process_stream& s, const std::vector<T>& values)
{
    save(s, stream_count(values.size()));
    if constexpr (std::is_same_v<T, double>) {
        s.write_doubles(values.data(), values.size());
    } else if constexpr (std::is_same_v<T, datetime>) {
        std::vector<double> serials(values.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            serials[i] = values[i].as_float();
        s.write_doubles(serials.data(), serials.size());
    } else {
        for (const T& value : values)
            save(s, value);
    }
}

template <class T>
void load(multi_process_stream& s, std::vector<T>& values)
{
    unsigned int count = 0;
    load(s, count);
    if (std::size_t{count} * smallest_encoding<T>() > s.bytes_left())
        check_fail(SourceLocation{"load", serialization_source, __LINE__},
                   concat("A vector of ", count, " elements at offset ", s.read_position(),
                          " does not fit in the ", s.bytes_left(), " bytes left in the stream"));
    if constexpr (std::is_same_v<T, double>) {
        values.resize(count);
        s.read_doubles(values.data(), count);
    } else if constexpr (std::is_same_v<T, datetime>) {
        std::vector<double> serials(count);
        s.read_doubles(serials.data(), count);
        values.assign(serials.begin(), serials.end());
    } else {
        values.resize(count);
        for (T& value : values)
            load(s, value);
    }
}

// ---------------------------------------------------------------------------------------
// Records of classes with their own save and load, and pointers to a fixed class.

template <class Archive, class T>
    requires std::is_class_v<T>
void save(Archive& archive, const T& obj)
{
    serialization_access::save(archive, obj);
}

template <class Archive, class T>
    requires std::is_class_v<T>
void load(Archive& archive, T& obj)
{
    serialization_access::load(archive, obj);
}

// The record of *obj, or the null marker for a null pointer.
template <class Archive, class T>
void save(Archive& archive, const T* obj)
{
    if (obj == nullptr)
        save_null_marker(archive);
    else
        save(archive, *obj);
}

template <class Archive, class T>
void save(Archive& archive, const std::shared_ptr<const T>& obj)
{
    save(archive, obj.get());
}

// Always stores a new object: a null marker in the record gives a default-made one.
template <class Archive, class T>
void load(Archive& archive, std::shared_ptr<const T>& obj)
{
    std::shared_ptr<T> fresh = serialization_access::create<T>();
    load(archive, *fresh);
    obj = std::move(fresh);
}

// ---------------------------------------------------------------------------------------
// Nested forms of the outside types.

inline void save(json& j, const calendar& value)
{
    save_tag(j, value);
    save(j["use_weekends"], value.use_weekends());
    save(j["dates"], value.holidays());
}

inline void load(json& j, calendar& value)
{
    if (!load_tag(j))
        return;
    bool use_weekends = true;
    std::vector<datetime> holidays;
    load(j["use_weekends"], use_weekends);
    load(j["dates"], holidays);
    value.set_use_weekends(use_weekends);
    value.set_holidays(std::move(holidays));
    value.initialize();
}

inline void save(multi_process_stream& s, const calendar& value)
{
    save_tag(s, value);
    save(s, value.use_weekends());
    save(s, value.holidays());
}

inline void load(multi_process_stream& s, calendar& value)
{
    if (!load_tag(s))
        return;
    bool use_weekends = true;
    std::vector<datetime> holidays;
    load(s, use_weekends);
    load(s, holidays);
    value.set_use_weekends(use_weekends);
    value.set_holidays(std::move(holidays));
    value.initialize();
}

inline void save(json& j, const day_count_convention& value)
{
    save_tag(j, value);
    save(j["type"], static_cast<int>(value.type()));
    save(j["calendar"], value.holiday_calendar());
}

inline void load(json& j, day_count_convention& value)
{
    if (!load_tag(j))
        return;
    int type = 0;
    load(j["type"], type);
    std::shared_ptr<const calendar> holidays;
    load(j["calendar"], holidays);
    value.set_type(static_cast<day_count_convention_type>(type));
    value.set_calendar(std::move(holidays));
    value.initialize();
}

inline void save(multi_process_stream& s, const day_count_convention& value)
{
    save_tag(s, value);
    save(s, static_cast<int>(value.type()));
    save(s, value.holiday_calendar());
}

inline void load(multi_process_stream& s, day_count_convention& value)
{
    if (!load_tag(s))
        return;
    int type = 0;
    load(s, type);
    std::shared_ptr<const calendar> holidays;
    load(s, holidays);
    value.set_type(static_cast<day_count_convention_type>(type));
    value.set_calendar(std::move(holidays));
    value.initialize();
}

// ---------------------------------------------------------------------------------------
// Pointers to a polymorphic base, dispatched by the dynamic class tag.

// Refuses to read a record of class `tag` into a pointer to Base unless the class was
// registered to be read as Base.
template <class Base>
void check_storage_type(const std::string& tag)
{
    const auto stored = registered_storage_types().find_cached(tag);
    if (stored == nullptr || **stored != typeid(Base))
        check_fail(SourceLocation{"check_storage_type", serialization_source, __LINE__},
                   concat("A ", tag, " record cannot be read where a ",
                          demangle(typeid(Base).name()), " is expected"));
}

// The address of the most-derived object, which is what registry entries expect.
template <class Base>
void* most_derived_address(const std::shared_ptr<const Base>& obj)
{
    return const_cast<void*>(dynamic_cast<const void*>(obj.get()));
}

// A null pointer cannot be written: asking its dynamic type raises std::bad_typeid.
template <class Base>
void save_polymorphic(json& j, const std::shared_ptr<const Base>& obj)
{
    const std::string& tag = class_tag_of(typeid(*obj.get()));
    j["Class"] = tag;
    if (const auto entry = JsonSerializationRegistry().find_cached(tag))
        (*entry)(j, most_derived_address(obj), false);
}

template <class Base>
void save_polymorphic(multi_process_stream& s, const std::shared_ptr<const Base>& obj)
{
    const std::string& tag = class_tag_of(typeid(*obj.get()));
    s << tag;
    if (const auto entry = BinarySerializationRegistry().find_cached(tag))
        (*entry)(s, most_derived_address(obj), false);
}

// An unregistered tag (the null marker among them) leaves the pointer as it is.
template <class Base>
void load_polymorphic(json& j, std::shared_ptr<const Base>& obj)
{
    const std::string tag = j["Class"].get<std::string>();
    if (const auto entry = JsonSerializationRegistry().find_cached(tag)) {
        check_storage_type<Base>(tag);
        (*entry)(j, &obj, true);
    }
}

template <class Base>
void load_polymorphic(multi_process_stream& s, std::shared_ptr<const Base>& obj)
{
    std::string& tag = tag_buffer();
    s >> tag;
    if (const auto entry = BinarySerializationRegistry().find_cached(tag)) {
        check_storage_type<Base>(tag);
        (*entry)(s, &obj, true);
    }
}

// ---------------------------------------------------------------------------------------
// Variants of pointers to polymorphic bases.

// Replaces the content of the variant by a null pointer of alternative `index`.
template <class Variant, std::size_t... I>
void reset_to_alternative(Variant& value, std::size_t index, std::index_sequence<I...>)
{
    ((index == I ? static_cast<void>(value.template emplace<I>()) : static_cast<void>(0)), ...);
}

template <class... Ts>
void check_valued(const std::variant<std::shared_ptr<const Ts>...>& value)
{
    if (value.valueless_by_exception())
        check_fail(variant_save_location, "Cannot serialize a valueless variant.");
}

template <class... Ts>
void check_index(unsigned int index)
{
    if (index >= sizeof...(Ts))
        check_fail(variant_load_location, "Variant index out of range");
}

template <class... Ts>
void save(json& j, const std::variant<std::shared_ptr<const Ts>...>& value)
{
    check_valued(value);
    save(j["Index"], static_cast<unsigned int>(value.index()));
    std::visit([&j](const auto& alternative) { save_polymorphic(j["Value"], alternative); }, value);
}

template <class... Ts>
void load(json& j, std::variant<std::shared_ptr<const Ts>...>& value)
{
    // An index beyond unsigned int, or negative, is out of range as well.
    const json& stored_index = j["Index"];
    const unsigned int index = holds_integer<unsigned int>(stored_index)
                                   ? stored_index.get<unsigned int>()
                                   : std::numeric_limits<unsigned int>::max();
    check_index<Ts...>(index);
    reset_to_alternative(value, index, std::index_sequence_for<Ts...>{});
    std::visit([&j](auto& alternative) { load_polymorphic(j["Value"], alternative); }, value);
}

template <class... Ts>
void save(multi_process_stream& s, const std::variant<std::shared_ptr<const Ts>...>& value)
{
    check_valued(value);
    save(s, static_cast<unsigned int>(value.index()));
    std::visit([&s](const auto& alternative) { save_polymorphic(s, alternative); }, value);
}

template <class... Ts>
void load(multi_process_stream& s, std::variant<std::shared_ptr<const Ts>...>& value)
{
    unsigned int index = 0;
    load(s, index);
    check_index<Ts...>(index);
    reset_to_alternative(value, index, std::index_sequence_for<Ts...>{});
    std::visit([&s](auto& alternative) { load_polymorphic(s, alternative); }, value);
}

// ---------------------------------------------------------------------------------------
// File and text entry points of a persistable class T.

template <class T>
void write_to_json(const std::string& path, const std::shared_ptr<const T>& obj)
{
    json document;
    save(document["root"], obj);
    serialization::access::write_json(path, document);
}

template <class T>
std::shared_ptr<const T> read_from_json(const std::string& path)
{
    json document;
    serialization::access::read_json(path, document);
    if (!document.is_object())
        (void)std::as_const(document)["root"];  // the JSON library's type_error 305
    const auto root = document.find("root");
    if (root == document.end())
        check_fail(SourceLocation{"read_from_json", serialization_source, __LINE__},
                   concat("The JSON document of \"", path, "\" has no \"root\" member"));
    std::shared_ptr<T> obj = serialization_access::create<T>();
    load(*root, *obj);
    return obj;
}

template <class T>
void write_to_binary(const std::string& path, const std::shared_ptr<const T>& obj)
{
    multi_process_stream stream;
    save(stream, obj);
    serialization::access::write_binary(path, stream.GetRawData());
}

// A new T read from a binary record (a payload whose header was checked), through `stream`,
// which then holds what follows the record. Our writer leaves nothing after it: more bytes
// mean other content.
template <class T>
std::shared_ptr<const T> read_record(multi_process_stream& stream, std::vector<std::uint8_t> payload)
{
    stream.SetRawData(std::move(payload));
    std::shared_ptr<T> obj = serialization_access::create<T>();
    load(stream, *obj);
    return obj;
}

template <class T>
std::shared_ptr<const T> read_from_binary(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    serialization::access::read_binary(path, bytes);
    multi_process_stream stream;
    std::shared_ptr<const T> obj = read_record<T>(stream, std::move(bytes));
    if (stream.bytes_left() != 0)
        check_fail(SourceLocation{"read_from_binary", serialization_source, __LINE__},
                   concat('"', path, "\" holds ", stream.bytes_left(), " bytes after its record"));
    return obj;
}

template <class T>
std::vector<std::uint8_t> write_to_bytes(const std::shared_ptr<const T>& obj)
{
    multi_process_stream stream;
    save(stream, obj);
    return serialization::access::binary_bytes(stream.GetRawData());
}

template <class T>
std::shared_ptr<const T> read_from_bytes(std::span<const std::uint8_t> bytes)
{
    multi_process_stream stream;
    std::shared_ptr<const T> obj = read_record<T>(stream, serialization::access::binary_payload(bytes));
    if (stream.bytes_left() != 0)
        check_fail(SourceLocation{"read_from_bytes", serialization_source, __LINE__},
                   concat("The binary record holds ", stream.bytes_left(), " bytes after its object's record"));
    return obj;
}

template <class T>
std::string json_to_string(const std::shared_ptr<const T>& obj)
{
    json record;
    save(record, obj);
    return record.dump(2, ' ', false, json::error_handler_t::strict);
}

// ---------------------------------------------------------------------------------------
// Registration of a polymorphic class T, read through pointers to StoredAs.

// Adds T's JSON and binary entries to the two registries under T's class tag. With the
// load flag false an entry writes the record of the `const T*` it is given (a null
// pointer gives the null marker); with the flag true it reads a new T and stores it in
// the `std::shared_ptr<const StoredAs>` it is given. Meant for a namespace-scope object
// in T's source file, so that the registration runs when the library is loaded:
//     const details::class_registration<discount_curve_flat, market_data> registration;
template <class T, class StoredAs>
struct class_registration
{
    class_registration()
    {
        const std::string& tag = class_tag_of(typeid(T));
        JsonSerializationRegistry().add(tag, &entry<json>);
        BinarySerializationRegistry().add(tag, &entry<multi_process_stream>);
        registered_storage_types().add(tag, &typeid(StoredAs));
    }

    template <class Archive>
    static void entry(Archive& archive, void* target, bool load_flag)
    {
        if (!load_flag) {
            save(archive, static_cast<const T*>(target));
            return;
        }
        std::shared_ptr<T> fresh = serialization_access::create<T>();
        load(archive, *fresh);
        *static_cast<std::shared_ptr<const StoredAs>*>(target) = std::move(fresh);
    }
};

// ---------------------------------------------------------------------------------------
// Helpers declared above.

// A buffer for the class tags read from a stream, reused so that reading a tag longer
// than a short string allocates nothing. Each reader is done with the tag before it reads
// the next record.
inline std::string& tag_buffer()
{
    thread_local std::string buffer;
    return buffer;
}

// The allocator through which allocate_shared reaches the private default constructors.
template <class T>
struct serialization_access::constructing_allocator : std::allocator<T>
{
    constructing_allocator() = default;
    template <class U>
    constructing_allocator(const constructing_allocator<U>&) noexcept
    {
    }
    template <class U>
    struct rebind
    {
        using other = constructing_allocator<U>;
    };
    template <class U>
    static void construct(U* place)
    {
        ::new (static_cast<void*>(place)) U();
    }
    template <class U>
    static void destroy(U* place) noexcept
    {
        place->~U();
    }
};

}  // namespace korvex::details

// The seven entry points declared by KORVEX_PERSISTABLE(T), for T's source file.
#define KORVEX_DEFINE_PERSISTENCE(T)                                                      \
    void T::write_to_json(const std::string& path, const std::shared_ptr<const T>& obj)   \
    {                                                                                     \
        ::korvex::details::write_to_json<T>(path, obj);                                   \
    }                                                                                     \
    std::shared_ptr<const T> T::read_from_json(const std::string& path)                   \
    {                                                                                     \
        return ::korvex::details::read_from_json<T>(path);                                \
    }                                                                                     \
    void T::write_to_binary(const std::string& path, const std::shared_ptr<const T>& obj) \
    {                                                                                     \
        ::korvex::details::write_to_binary<T>(path, obj);                                 \
    }                                                                                     \
    std::shared_ptr<const T> T::read_from_binary(const std::string& path)                 \
    {                                                                                     \
        return ::korvex::details::read_from_binary<T>(path);                              \
    }                                                                                     \
    std::string T::json_to_string(const std::shared_ptr<const T>& obj)                    \
    {                                                                                     \
        return ::korvex::details::json_to_string<T>(obj);                                 \
    }                                                                                     \
    std::vector<std::uint8_t> T::write_to_bytes(const std::shared_ptr<const T>& obj)      \
    {                                                                                     \
        return ::korvex::details::write_to_bytes<T>(obj);                                 \
    }                                                                                     \
    std::shared_ptr<const T> T::read_from_bytes(std::span<const std::uint8_t> bytes)      \
    {                                                                                     \
        return ::korvex::details::read_from_bytes<T>(bytes);                              \
    }

// Defines the four record functions of a class whose record is its class tag followed by a
// fixed list of members, then its file entry points (KORVEX_DEFINE_PERSISTENCE). The class
// lists its members once, in record order, in a private
//   template <class Self, class Visit> static void members(Self& self, Visit&& visit);
// that calls visit(key, member) for each: JSON keeps them under their keys, the binary record
// in that order. A read of the null marker leaves the object as constructed; any other read
// ends with the class's initialize(), which validates it.
#define KORVEX_DEFINE_MEMBER_PERSISTENCE(T)                                                    \
    void T::save(nlohmann::ordered_json& record) const                                        \
    {                                                                                         \
        ::korvex::details::save_tag(record, *this);                                           \
        members(*this, [&](const char* key, const auto& value) {                              \
            ::korvex::details::save(record[key], value);                                      \
        });                                                                                   \
    }                                                                                         \
    void T::load(nlohmann::ordered_json& record)                                              \
    {                                                                                         \
        if (!::korvex::details::load_tag(record))                                             \
            return;                                                                           \
        members(*this, [&](const char* key, auto& value) { ::korvex::details::load(record[key], value); }); \
        initialize();                                                                         \
    }                                                                                         \
    void T::save(::korvex::multi_process_stream& record) const                                \
    {                                                                                         \
        ::korvex::details::save_tag(record, *this);                                           \
        members(*this, [&](const char*, const auto& value) { ::korvex::details::save(record, value); }); \
    }                                                                                         \
    void T::load(::korvex::multi_process_stream& record)                                      \
    {                                                                                         \
        if (!::korvex::details::load_tag(record))                                             \
            return;                                                                           \
        members(*this, [&](const char*, auto& value) { ::korvex::details::load(record, value); }); \
        initialize();                                                                         \
    }                                                                                         \
    KORVEX_DEFINE_PERSISTENCE(T)

// ---------------------------------------------------------------------------------------
// The record of a term structure: "Class", "x", "y", "type".

namespace korvex {

template <class Values>
void term_structure<Values>::save(nlohmann::ordered_json& record) const
{
    details::save_tag(record, *this);
    details::save(record["x"], x_);
    details::save(record["y"], y_);
    details::save(record["type"], static_cast<int>(type_));
}

template <class Values>
void term_structure<Values>::load(nlohmann::ordered_json& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record["x"], x_);
    details::load(record["y"], y_);
    int type = 0;
    details::load(record["type"], type);
    type_ = type;
}

template <class Values>
void term_structure<Values>::save(multi_process_stream& record) const
{
    details::save_tag(record, *this);
    details::save(record, x_);
    details::save(record, y_);
    details::save(record, static_cast<int>(type_));
}

template <class Values>
void term_structure<Values>::load(multi_process_stream& record)
{
    if (!details::load_tag(record))
        return;
    details::load(record, x_);
    details::load(record, y_);
    int type = 0;
    details::load(record, type);
    type_ = type;
}

}  // namespace korvex
