// Runs a fuzz target without fuzzing, for the test build (any compiler, no libFuzzer):
//   replay_<target> <file or folder>...    runs every file once through the target
//   replay_<target> --write-seeds <folder> stores the target's seed inputs there
// A broken property aborts, as under the fuzzer; an exception the target lets through
// ends the program with its message and the input's name.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

namespace fs = std::filesystem;

// The files named, folders expanded to their files, in name order so runs repeat.
std::vector<fs::path> inputs(int argc, char** argv)
{
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        if (fs::is_directory(path)) {
            for (const auto& entry : fs::recursive_directory_iterator(path))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else {
            files.push_back(path);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

int write_seeds(const fs::path& folder)
{
    fs::create_directories(folder);
    const std::vector<std::vector<std::uint8_t>> seeds = korvex_fuzz_seeds();
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const std::string name = (folder / ("seed-" + std::to_string(i))).string();
        korvex::fuzzing::write_file(name, seeds[i].data(), seeds[i].size());
    }
    std::printf("wrote %zu seeds to %s\n", seeds.size(), folder.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--write-seeds")
        return write_seeds(argv[2]);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file or folder>... | --write-seeds <folder>\n", argv[0]);
        return 2;
    }
    const std::vector<fs::path> files = inputs(argc, argv);
    for (const fs::path& file : files) {
        const std::vector<std::uint8_t> bytes = korvex::fuzzing::read_file(file.string());
        try {
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: uncaught exception: %s\n", file.c_str(), e.what());
            return 1;
        }
    }
    std::printf("replayed %zu inputs\n", files.size());
    return files.empty() ? 1 : 0;
}
