#pragma once

// Shared pieces of the fuzz targets: a private scratch folder for the files a target
// writes and reads, and the way a target reports a broken property.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::fuzzing {

// A folder of this process under the system's temporary folder, removed at exit.
class scratch_folder
{
public:
    static const scratch_folder& instance()
    {
        static const scratch_folder folder;
        return folder;
    }

    std::string file(std::string_view name) const { return (path_ / name).string(); }

    ~scratch_folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

private:
    scratch_folder()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvex-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("korvex fuzz: cannot create a scratch folder");
            std::abort();
        }
        path_ = pattern;
    }

    std::filesystem::path path_;
};

// Reports a broken property and stops the process, which the fuzzer records as a crash.
[[noreturn]] inline void fault(std::string_view what)
{
    std::fprintf(stderr, "korvex fuzz: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

inline void write_file(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        fault("cannot write the scratch file " + path);
}

inline std::vector<std::uint8_t> read_file(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        fault("cannot read the scratch file " + path);
    std::uint8_t buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    return bytes;
}

}  // namespace korvex::fuzzing

// Every target defines the libFuzzer entry point, and lists the inputs its seed corpus
// starts from (written by our own writers), which `replay --write-seeds` stores.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
std::vector<std::vector<std::uint8_t>> korvex_fuzz_seeds();
