// The binary stream's readers. The input is a script: its first byte n, then n operation
// bytes, then the stream's bytes. The low three bits of an operation pick a read (int,
// unsigned, double, string, unsigned long long, bool, a Push array, or a run of doubles
// whose length the upper five bits give). The operations run until one fails, which it may do only with
// korvex::Error. Every value read is written again into a second stream, whose bytes must
// equal those the reads consumed: what the readers accept, the writers produce exactly.

#include <cstring>
#include <string>
#include <vector>

#include "core/cpu_allocator.h"
#include "core/error.h"
#include "core/multi_process_stream.h"
#include "fuzz_support.h"

namespace {

using korvex::multi_process_stream;

template <class T>
void copy_value(multi_process_stream& in, multi_process_stream& out)
{
    T value{};
    in >> value;
    out << value;
}

void copy_array(multi_process_stream& in, multi_process_stream& out)
{
    double* values = nullptr;
    unsigned count = 0;
    in.Pop(values, count);
    out.Push(values, count);
    korvex::cpu_allocator::free(values);
}

void copy_doubles(multi_process_stream& in, multi_process_stream& out, std::size_t count)
{
    std::vector<double> values(count);
    in.read_doubles(values.data(), count);
    out.write_doubles(values.data(), count);
}

void copy_one(unsigned operation, multi_process_stream& in, multi_process_stream& out)
{
    switch (operation % 8) {
    case 0: copy_value<int>(in, out); break;
    case 1: copy_value<unsigned int>(in, out); break;
    case 2: copy_value<double>(in, out); break;
    case 3: copy_value<std::string>(in, out); break;
    case 4: copy_value<unsigned long long>(in, out); break;
    case 5: copy_value<bool>(in, out); break;
    case 6: copy_array(in, out); break;
    default: copy_doubles(in, out, operation / 8); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t operations = std::min<std::size_t>(data[0], size - 1);
    const std::uint8_t* script = data + 1;
    multi_process_stream in;
    in.SetRawData(std::vector<std::uint8_t>(script + operations, data + size));
    multi_process_stream out;
    std::size_t consumed = 0;  // bytes taken by the reads that succeeded
    for (std::size_t i = 0; i < operations; ++i) {
        try {
            copy_one(script[i], in, out);
        } catch (const korvex::Error&) {
            break;
        }
        consumed = in.read_position();
    }
    const std::vector<std::uint8_t>& written = out.GetRawData();
    if (written.size() != consumed ||
        (consumed > 0 && std::memcmp(written.data(), in.GetRawData().data(), consumed) != 0))
        korvex::fuzzing::fault("the values read do not write back to the bytes they came from");
    return 0;
}

std::vector<std::vector<std::uint8_t>> korvex_fuzz_seeds()
{
    multi_process_stream stream;
    const double block[3] = {0.5, -1.0, 1e300};
    stream << -7 << 7u << 0.25 << std::string("korvex::currency") << 1ull << true;
    stream.Push(block, 3);
    stream.write_doubles(block, 3);
    // Each read once, the last a run of 3 doubles.
    std::vector<std::uint8_t> seed = {8, 0, 1, 2, 3, 4, 5, 6, 3 * 8 + 7};
    seed.insert(seed.end(), stream.GetRawData().begin(), stream.GetRawData().end());
    return {seed};
}
