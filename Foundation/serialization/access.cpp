#include "serialization/access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/check_fail.h"
#include "serialization/crc32c.h"

namespace korvex::serialization {

namespace {

constexpr const char* source_file = "Foundation/serialization/access";
constexpr SourceLocation write_json_location{"write_json", source_file, 60};
constexpr SourceLocation read_json_location{"read_json", source_file, 75};
constexpr SourceLocation write_binary_location{"write_binary", source_file, 95};
constexpr SourceLocation read_binary_location{"read_binary", source_file, 120};

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

// A name for the temporary file beside `path` that no other writer in this or another
// process uses at the same time.
std::string temporary_name(const std::string& path)
{
    static std::atomic<unsigned long> counter{0};
    return details::concat(path, ".tmp.", ::getpid(), '.', counter.fetch_add(1));
}

// Writes the blocks to a temporary file beside `path` and renames it over `path`, so that
// readers see the old file or the complete new one, never a part: a failed or interrupted
// write leaves the target as it was. On any failure the temporary file is removed and
// `Error` is raised. The file is not forced to disk (no fsync): the write is atomic for the
// processes of this machine, and durability against a power cut is left to the file
// system, as for ordinary file writes.
void write_atomically(const SourceLocation& location, const std::string& path,
                      std::initializer_list<std::string_view> blocks)
{
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporary_name(path);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            fail_with_errno(location, "write", path, errno);
    }
    if (fd < 0)
        fail_with_errno(location, "write", path, EEXIST);
    file_descriptor file(fd);
    int error = 0;
    for (const std::string_view block : blocks)
        if (error == 0)
            error = write_all(file.get(), block.data(), block.size());
    if (file.close() != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        fail_with_errno(location, "write", path, error);
    }
}

// The whole content of a file.
std::string read_file(const SourceLocation& location, const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail_with_errno(location, "open", path, errno);
    file_descriptor file(fd);
    struct stat status{};
    if (::fstat(file.get(), &status) != 0)
        fail_with_errno(location, "read", path, errno);
    if (S_ISDIR(status.st_mode))
        fail_with_errno(location, "read", path, EISDIR);
    std::string content;
    if (status.st_size > 0)
        content.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail_with_errno(location, "read", path, errno);
        }
        if (got == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
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

// Checks the header of a binary file's content and returns its payload's size.
std::size_t checked_payload_size(const std::string& path, const std::string& content)
{
    const std::string_view magic(access::binary_magic, 8);
    const std::size_t size = content.size();
    if (size == 0)
        fail(read_binary_location, path, "is empty, not a korvex binary file");
    if (std::string_view(content).substr(0, 8) != magic.substr(0, std::min<std::size_t>(size, 8)))
        fail(read_binary_location, path, "is not a korvex binary file");
    if (size < access::binary_header_size)
        fail(read_binary_location, path,
             details::concat("is truncated: ", size, " bytes, shorter than the ",
                             access::binary_header_size, "-byte header"));
    const auto version = get_little_endian<std::uint32_t>(content.data() + 8);
    if (version != access::binary_format_version)
        fail(read_binary_location, path,
             details::concat("has binary format version ", version, "; this build reads version ",
                             access::binary_format_version));
    const auto announced = get_little_endian<std::uint64_t>(content.data() + 16);
    const std::size_t present = size - access::binary_header_size;
    if (announced > present)
        fail(read_binary_location, path,
             details::concat("is truncated: the header announces ", announced,
                             " payload bytes, only ", present, " are present"));
    if (announced < present)
        fail(read_binary_location, path,
             details::concat("is corrupted: the header announces ", announced,
                             " payload bytes, but ", present, " follow"));
    const auto checksum = get_little_endian<std::uint32_t>(content.data() + 12);
    if (crc32c(content.data() + access::binary_header_size, present) != checksum)
        fail(read_binary_location, path, "is corrupted: its checksum does not match its content");
    return present;
}

}  // namespace

void access::write_json(const std::string& path, const nlohmann::ordered_json& document)
{
    const std::string text =
        document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::strict) + "\n";
    write_atomically(write_json_location, path, {text});
}

void access::read_json(const std::string& path, nlohmann::ordered_json& document)
{
    const std::string text = read_file(read_json_location, path);
    try {
        document = nlohmann::ordered_json::parse(text);
    } catch (const nlohmann::ordered_json::exception& e) {
        // A syntax error, or a number too large for a double (out_of_range).
        fail(read_json_location, path, details::concat("is not valid JSON: ", e.what()));
    }
}

void access::write_binary(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    char header[binary_header_size];
    std::memcpy(header, binary_magic, 8);
    put_little_endian(header + 8, binary_format_version);
    put_little_endian(header + 12, crc32c(bytes.data(), bytes.size()));
    put_little_endian(header + 16, static_cast<std::uint64_t>(bytes.size()));
    write_atomically(write_binary_location, path,
                     {std::string_view(header, sizeof header),
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())});
}

void access::read_binary(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    const std::string content = read_file(read_binary_location, path);
    const std::size_t payload = checked_payload_size(path, content);
    const auto* first = reinterpret_cast<const std::uint8_t*>(content.data()) + binary_header_size;
    bytes.assign(first, first + payload);
}

}  // namespace korvex::serialization
