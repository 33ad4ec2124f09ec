#include "serialization/access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/check_fail.h"
#include "serialization/crc32c.h"

namespace korvex::serialization {

namespace {

constexpr const char* source_file = "Foundation/serialization/access";

// The longest chain of symbolic links a write follows, as the kernel's own limit.
constexpr int max_symbolic_links = 40;

[[noreturn]] void fail(const SourceLocation& location, const std::string& path,
                       std::string_view what)
{
    details::check_fail(location, details::concat('"', path, "\" ", what));
}

[[noreturn]] void fail_with_errno(const SourceLocation& location, std::string_view action,
                                  const std::string& path, int error)
{
    details::check_fail(location,
                        details::concat("cannot ", action, " \"", path, "\": ", std::strerror(error)));
}

// Closes a descriptor on scope exit.
class file_descriptor
{
public:
    explicit file_descriptor(int fd) : fd_(fd) {}
    file_descriptor(const file_descriptor&) = delete;
    file_descriptor& operator=(const file_descriptor&) = delete;
    ~file_descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now and reports the result (close can report a delayed write error).
    int close()
    {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

// Writes all of `size` bytes; returns 0 or the errno of the failure.
int write_all(int fd, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

// The file a write to `path` replaces: `path` itself, or the file at the end of its chain of
// symbolic links (which need not exist yet), so that the links stay links and the file
// they name receives the content.
std::string write_target(const std::string& path)
{
    namespace fs = std::filesystem;
    fs::path target(path);
    for (int depth = 0; depth <= max_symbolic_links; ++depth) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(target, error)))
            return target.string();
        const fs::path link = fs::read_symlink(target, error);
        if (error)
            fail_with_errno({"write_target", source_file, __LINE__}, "write", path, error.value());
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    fail_with_errno({"write_target", source_file, __LINE__}, "write", path, ELOOP);
}

// What a write needs to know of its target before it starts.
struct target_file
{
    std::string name;                  // after symbolic links
    std::string folder;                // where the temporary file goes
    std::optional<mode_t> kept_mode;   // the mode of the regular file being replaced
};

target_file describe_target(const std::string& path)
{
    target_file target;
    target.name = write_target(path);
    const std::string folder = std::filesystem::path(target.name).parent_path().string();
    target.folder = folder.empty() ? "." : folder;
    struct stat status{};
    if (::stat(target.name.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        target.kept_mode = status.st_mode & 07777;
    return target;
}

// A short name for a temporary file in `folder`, whatever the length of the target's name
// (a valid target name thus always leaves room for it). Unique across threads and, with
// the random start, across processes; a clash is caught by O_EXCL or linkat's EEXIST.
std::string temporary_name(const std::string& folder)
{
    static const std::uint64_t start =
        (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x = start + 0x9E3779B97F4A7C15u * (counter.fetch_add(1) + 1);  // splitmix64
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    x ^= x >> 31;
    char suffix[13];
    std::snprintf(suffix, sizeof suffix, "%012llx",
                  static_cast<unsigned long long>(x & 0xFFFFFFFFFFFFull));
    return details::concat(folder, "/.korvex-", suffix);
}

// Writes the blocks and gives the file the replaced file's mode (a new file keeps the mode
// open gave it from the umask); 0 or the errno of the failure.
int fill(int fd, std::initializer_list<std::string_view> blocks, const target_file& target)
{
    for (const std::string_view block : blocks)
        if (const int error = write_all(fd, block.data(), block.size()); error != 0)
            return error;
    if (target.kept_mode && ::fchmod(fd, *target.kept_mode) != 0)
        return errno;
    return 0;
}

// Renames the complete temporary file over the target, or removes it and raises Error.
void rename_over(const std::string& path, const std::string& temporary, const target_file& target)
{
    if (::rename(temporary.c_str(), target.name.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail_with_errno({"rename_over", source_file, __LINE__}, "write", path, error);
    }
}

// The write through an unnamed file (O_TMPFILE), which gets a name only once it is
// complete, so a writer killed before that leaves nothing behind. False when the file
// system or the system cannot do it (no O_TMPFILE, no /proc to link through); the caller
// then writes through a named temporary file.
bool write_through_unnamed_file(const std::string& path, std::initializer_list<std::string_view> blocks,
                                const target_file& target)
{
    const int fd = ::open(target.folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    file_descriptor file(fd);
    if (const int error = fill(fd, blocks, target); error != 0)
        fail_with_errno({"write_through_unnamed_file", source_file, __LINE__}, "write", path,
                        error);
    const std::string self = details::concat("/proc/self/fd/", fd);
    // A new target gets the file under its own name at once; an existing one is replaced
    // by renaming a linked temporary name over it.
    if (!target.kept_mode &&
        ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = temporary_name(target.folder);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            rename_over(path, temporary, target);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// The write through a named temporary file beside the target, renamed over it when
// complete. A writer killed mid-write leaves the temporary file (".korvex-" and 12 hex
// digits) behind.
void write_through_named_file(const std::string& path, std::initializer_list<std::string_view> blocks,
                              const target_file& target)
{
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporary_name(target.folder);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            fail_with_errno({"write_through_named_file", source_file, __LINE__}, "write", path,
                            errno);
    }
    if (fd < 0)
        fail_with_errno({"write_through_named_file", source_file, __LINE__}, "write", path,
                        EEXIST);
    file_descriptor file(fd);
    int error = fill(fd, blocks, target);
    if (file.close() != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        fail_with_errno({"write_through_named_file", source_file, __LINE__}, "write", path,
                        error);
    }
    rename_over(path, temporary, target);
}

// Writes the blocks so that readers see the old file or the complete new one, never a
// part: a failed or interrupted write leaves the target as it was. See the header.
void write_atomically(const std::string& path,
                      std::initializer_list<std::string_view> blocks)
{
    const target_file target = describe_target(path);
    if (!write_through_unnamed_file(path, blocks, target))
        write_through_named_file(path, blocks, target);
}

// The whole content of a regular file. Opening does not wait (O_NONBLOCK), so a FIFO
// without a writer is refused like any other file that is not regular, instead of
// blocking; on a regular file the flag changes nothing.
template <class Bytes> Bytes read_file(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail_with_errno({"read_file", source_file, __LINE__}, "open", path, errno);
    file_descriptor file(fd);
    struct stat status{};
    if (::fstat(file.get(), &status) != 0)
        fail_with_errno({"read_file", source_file, __LINE__}, "read", path, errno);
    if (S_ISDIR(status.st_mode))
        fail_with_errno({"read_file", source_file, __LINE__}, "read", path, EISDIR);
    if (!S_ISREG(status.st_mode))
        fail({"read_file", source_file, __LINE__}, path, "is not a regular file");
    constexpr std::size_t chunk = 1 << 16;  // more room each time a growing file fills it
    Bytes content(status.st_size > 0 ? static_cast<std::size_t>(status.st_size) + 1 : chunk, 0);
    std::size_t size = 0;  // read so far, straight into the content
    for (;;) {
        const ssize_t got = ::read(file.get(), content.data() + size, content.size() - size);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail_with_errno({"read_file", source_file, __LINE__}, "read", path, errno);
        }
        if (got == 0)
            break;
        if ((size += static_cast<std::size_t>(got)) == content.size()) content.resize(size + chunk);
    }
    content.resize(size);
    return content;
}

template <class T>
void put_little_endian(char* out, T value)
{
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
}

template <class T>
T get_little_endian(const char* in)
{
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<T>(static_cast<unsigned char>(in[i])) << (8 * i);
    return value;
}

// Where binary content comes from, for the messages: a file ("<path>" ... file) or bytes
// in memory (The binary record ... record).
struct binary_origin
{
    std::string subject;
    const char* kind;
};

binary_origin file_origin(const std::string& path) { return {details::concat('"', path, '"'), "file"}; }
const binary_origin bytes_origin{"The binary record", "record"};

[[noreturn]] void fail(const SourceLocation& location, const binary_origin& origin, std::string_view what)
{
    details::check_fail(location, details::concat(origin.subject, ' ', what));
}

// The header of a binary file's content (or bytes) for a payload.
struct binary_header_bytes
{
    char data[access::binary_header_size];
};

binary_header_bytes binary_header(const std::uint8_t* payload, std::size_t size)
{
    binary_header_bytes header{};
    std::memcpy(header.data, access::binary_magic, 8);
    put_little_endian(header.data + 8, access::binary_format_version);
    put_little_endian(header.data + 12, crc32c(payload, size));
    put_little_endian(header.data + 16, static_cast<std::uint64_t>(size));
    return header;
}

// Checks the header of a binary file's content (or bytes) and returns its payload's size.
std::size_t checked_payload_size(const binary_origin& origin, std::string_view content)
{
    const std::string_view magic(access::binary_magic, 8);
    const std::size_t size = content.size();
    if (size == 0)
        fail({"checked_payload_size", source_file, __LINE__}, origin,
             details::concat("is empty, not a korvex binary ", origin.kind));
    if (content.substr(0, 8) != magic.substr(0, std::min<std::size_t>(size, 8)))
        fail({"checked_payload_size", source_file, __LINE__}, origin,
             details::concat("is not a korvex binary ", origin.kind));
    if (size < access::binary_header_size)
        fail({"checked_payload_size", source_file, __LINE__}, origin,
             details::concat("is truncated: ", size, " bytes, shorter than the ",
                             access::binary_header_size, "-byte header"));
    const auto version = get_little_endian<std::uint32_t>(content.data() + 8);
    if (version != access::binary_format_version)
        fail({"checked_payload_size", source_file, __LINE__}, origin,
             details::concat("has binary format version ", version, "; this build reads version ",
                             access::binary_format_version));
    const auto announced = get_little_endian<std::uint64_t>(content.data() + 16);
    const std::size_t present = size - access::binary_header_size;
    if (announced > present)
        fail({"checked_payload_size", source_file, __LINE__}, origin,
             details::concat("is truncated: the header announces ", announced,
                             " payload bytes, only ", present, " are present"));
    if (announced < present)
        fail({"checked_payload_size", source_file, __LINE__}, origin,
             details::concat("is corrupted: the header announces ", announced,
                             " payload bytes, but ", present, " follow"));
    const auto checksum = get_little_endian<std::uint32_t>(content.data() + 12);
    if (crc32c(content.data() + access::binary_header_size, present) != checksum)
        fail({"checked_payload_size", source_file, __LINE__}, origin,
             "is corrupted: its checksum does not match its content");
    return present;
}

// The deepest nesting of arrays and objects a JSON file may have. Our records nest a few
// dozen levels at most; far deeper documents would exhaust the stack when the JSON library
// copies a value recursively (at 100,000 levels), so they are refused while parsing.
constexpr std::size_t max_json_depth = 512;

// Builds the document as the JSON library's parser does, but stops the parse (false) at an
// array or object nested deeper than max_json_depth.
class depth_limited_builder
{
public:
    using json = nlohmann::ordered_json;

    explicit depth_limited_builder(json& document) : builder_(document) {}

    bool too_deep() const { return too_deep_; }

    bool start_object(std::size_t size) { return enter() && builder_.start_object(size); }
    bool end_object()
    {
        --depth_;
        return builder_.end_object();
    }
    bool start_array(std::size_t size) { return enter() && builder_.start_array(size); }
    bool end_array()
    {
        --depth_;
        return builder_.end_array();
    }

    bool null() { return builder_.null(); }
    bool boolean(bool value) { return builder_.boolean(value); }
    bool number_integer(json::number_integer_t value) { return builder_.number_integer(value); }
    bool number_unsigned(json::number_unsigned_t value) { return builder_.number_unsigned(value); }
    bool number_float(json::number_float_t value, const json::string_t& text)
    {
        return builder_.number_float(value, text);
    }
    bool string(json::string_t& value) { return builder_.string(value); }
    bool binary(json::binary_t& value) { return builder_.binary(value); }
    bool key(json::string_t& value) { return builder_.key(value); }
    bool parse_error(std::size_t position, const std::string& token, const nlohmann::detail::exception& e)
    {
        return builder_.parse_error(position, token, e);
    }

private:
    bool enter()
    {
        too_deep_ = ++depth_ > max_json_depth;
        return !too_deep_;
    }

    nlohmann::detail::json_sax_dom_parser<json> builder_;
    std::size_t depth_ = 0;
    bool too_deep_ = false;
};

}  // namespace

void access::write_json(const std::string& path, const nlohmann::ordered_json& document)
{
    const std::string text =
        document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::strict) + "\n";
    write_atomically(path, {text});
}

void access::read_json(const std::string& path, nlohmann::ordered_json& document)
{
    const std::string text = read_file<std::string>(path);
    nlohmann::ordered_json parsed;
    depth_limited_builder builder(parsed);
    try {
        nlohmann::ordered_json::sax_parse(text, &builder);
    } catch (const nlohmann::ordered_json::exception& e) {
        // A syntax error, or a number too large for a double (out_of_range).
        fail({"read_json", source_file, __LINE__}, path,
             details::concat("is not valid JSON: ", e.what()));
    }
    if (builder.too_deep())
        fail({"read_json", source_file, __LINE__}, path,
             details::concat("nests arrays and objects deeper than ", max_json_depth, " levels"));
    document = std::move(parsed);
}

void access::write_binary(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const auto header = binary_header(bytes.data(), bytes.size());
    write_atomically(path,
                     {std::string_view(header.data, binary_header_size),
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())});
}

void access::read_binary(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::vector<std::uint8_t> content = read_file<std::vector<std::uint8_t>>(path);
    (void)checked_payload_size(file_origin(path),
                               std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
    content.erase(content.begin(), content.begin() + binary_header_size);
    bytes = std::move(content);
}

std::vector<std::uint8_t> access::binary_bytes(const std::vector<std::uint8_t>& payload)
{
    const auto header = binary_header(payload.data(), payload.size());
    std::vector<std::uint8_t> bytes(binary_header_size + payload.size());
    std::memcpy(bytes.data(), header.data, binary_header_size);
    if (!payload.empty())
        std::memcpy(bytes.data() + binary_header_size, payload.data(), payload.size());
    return bytes;
}

std::vector<std::uint8_t> access::binary_payload(std::span<const std::uint8_t> bytes)
{
    (void)checked_payload_size(bytes_origin,
                               std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return std::vector<std::uint8_t>(bytes.begin() + binary_header_size, bytes.end());
}

}  // namespace korvex::serialization
