#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/error.h"
#include "serialization/access.h"
#include "serialization/crc32c.h"
#include "serialization/test_support.h"

namespace korvex::serialization {
namespace {

using korvex::testing::error_of;
using korvex::testing::file_bytes;
using korvex::testing::file_text;
using korvex::testing::temporary_folder;
using korvex::testing::write_file_bytes;
using korvex::testing::write_file_text;

constexpr const char* access_file = "Foundation/serialization/access";

std::vector<std::uint8_t> sample_payload()
{
    std::vector<std::uint8_t> bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

TEST(AccessJson, RoundTripKeepsMemberOrder)
{
    temporary_folder folder;
    nlohmann::ordered_json document;
    document["root"]["zeta"] = 1.5;
    document["root"]["alpha"] = "text \xc3\xa9";
    document["root"]["list"] = {1, 2, 3};
    access::write_json(folder.file("a.json"), document);

    nlohmann::ordered_json back;
    access::read_json(folder.file("a.json"), back);
    EXPECT_EQ(back, document);
    EXPECT_EQ(back["root"].begin().key(), "zeta");
    EXPECT_EQ(file_text(folder.file("a.json")), document.dump(2) + "\n");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"a.json"});
}

TEST(AccessJson, InvalidUtf8IsRefusedAndTheOldFileKept)
{
    temporary_folder folder;
    const std::string path = folder.file("a.json");
    write_file_text(path, "{\"root\": 1}");
    nlohmann::ordered_json document;
    document["root"] = std::string("\xff\xfe");
    EXPECT_THROW(access::write_json(path, document), nlohmann::ordered_json::type_error);
    EXPECT_EQ(file_text(path), "{\"root\": 1}");
    EXPECT_EQ(folder.entries().size(), 1u);
}

TEST(AccessJson, TextThatIsNotJsonNamesThePath)
{
    temporary_folder folder;
    for (const std::string text : {"", "{\"root\": ", "not json", "{\"a\": 1}}"}) {
        write_file_text(folder.file("bad.json"), text);
        nlohmann::ordered_json document;
        const Error e = error_of([&] { access::read_json(folder.file("bad.json"), document); });
        EXPECT_EQ(e.location(), (SourceLocation{"read_json", access_file, 430}));
        EXPECT_NE(e.message().find("\"" + folder.file("bad.json") + "\" is not valid JSON: "),
                  std::string::npos)
            << e.message();
        EXPECT_NE(e.message().find("parse_error"), std::string::npos) << e.message();
    }
}

TEST(AccessJson, NumberTooLargeForADoubleNamesThePath)
{
    temporary_folder folder;
    const std::string path = folder.file("big.json");
    write_file_text(path, "{\"root\": {\"rates\": 1e400}}");
    nlohmann::ordered_json document;
    const Error e = error_of([&] { access::read_json(path, document); });
    EXPECT_EQ(e.location(), (SourceLocation{"read_json", access_file, 430}));
    EXPECT_EQ(e.message(), "\"" + path +
                               "\" is not valid JSON: [json.exception.out_of_range.406] number "
                               "overflow parsing '1e400'");
}

// {"a": [[...]], "b": 0} with the array nested `depth` levels deep.
std::string nested_document(std::size_t depth)
{
    return "{\"a\": " + std::string(depth, '[') + std::string(depth, ']') + ", \"b\": 0}";
}

// 100,000 levels once overflowed the stack (the value was copied recursively when the
// object grew); 512 levels, the object included, are read, one more is refused.
TEST(AccessJson, NestingDeeperThan512LevelsIsRefused)
{
    temporary_folder folder;
    const std::string path = folder.file("deep.json");
    nlohmann::ordered_json document = {{"kept", true}};
    for (const std::size_t depth : {100000u, 512u}) {
        write_file_text(path, nested_document(depth));
        const Error e = error_of([&] { access::read_json(path, document); });
        EXPECT_EQ(e.location(), (SourceLocation{"read_json", access_file, 434}));
        EXPECT_EQ(e.message(), "\"" + path + "\" nests arrays and objects deeper than 512 levels");
        EXPECT_EQ(document, (nlohmann::ordered_json{{"kept", true}}));
    }
    write_file_text(path, nested_document(511));
    access::read_json(path, document);
    EXPECT_EQ(document["b"], 0);
    EXPECT_EQ(document["a"].flatten().size(), 1u);  // one empty array at the bottom
}

TEST(AccessFiles, MissingPathsNameThePathAndTheReason)
{
    temporary_folder folder;
    const std::string missing = folder.file("missing.bin");
    nlohmann::ordered_json document;
    std::vector<std::uint8_t> bytes;

    Error e = error_of([&] { access::read_json(missing, document); });
    EXPECT_EQ(e.message(), "cannot open \"" + missing + "\": " + std::strerror(ENOENT));
    e = error_of([&] { access::read_binary(missing, bytes); });
    EXPECT_EQ(e.message(), "cannot open \"" + missing + "\": " + std::strerror(ENOENT));
    EXPECT_EQ(e.location(), (SourceLocation{"read_file", access_file, 243}));

    const std::string in_missing_folder = folder.file("no/such/folder/a.bin");
    e = error_of([&] { access::write_binary(in_missing_folder, bytes); });
    EXPECT_EQ(e.message(), "cannot write \"" + in_missing_folder + "\": " + std::strerror(ENOENT));
    EXPECT_EQ(e.location(), (SourceLocation{"write_through_named_file", access_file, 208}));
    e = error_of([&] { access::write_json(in_missing_folder, document); });
    EXPECT_EQ(e.location(), (SourceLocation{"write_through_named_file", access_file, 208}));
}

TEST(AccessFiles, ReadingAFolderIsRefused)
{
    temporary_folder folder;
    std::vector<std::uint8_t> bytes;
    const Error e = error_of([&] { access::read_binary(folder.file(""), bytes); });
    EXPECT_NE(e.message().find(std::strerror(EISDIR)), std::string::npos) << e.message();
}

TEST(AccessFiles, FailedRenameRemovesTheTemporaryFile)
{
    temporary_folder folder;
    std::filesystem::create_directory(folder.file("target"));
    std::filesystem::create_directory(folder.file("target/inside"));
    const Error e =
        error_of([&] { access::write_binary(folder.file("target"), sample_payload()); });
    EXPECT_NE(e.message().find("cannot write \"" + folder.file("target") + "\": "),
              std::string::npos);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"target"});
}

mode_t mode_of(const std::string& path)
{
    struct stat status{};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

mode_t current_umask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Every write below goes to `target` through both writers and checks what a
// rename-based write must keep: the replaced file's mode, symbolic links, room for the
// longest valid name, and no file left beside the target.
void expect_writes_keep_the_target(const temporary_folder& folder)
{
    namespace fs = std::filesystem;
    const std::string target = folder.file("target.json");
    write_file_text(target, "old");
    for (const mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0755}}) {
        ASSERT_EQ(::chmod(target.c_str(), mode), 0);
        access::write_binary(target, sample_payload());
        EXPECT_EQ(mode_of(target), mode);
        access::write_json(target, nlohmann::ordered_json{{"root", 1}});
        EXPECT_EQ(mode_of(target), mode);
    }
    const std::string fresh = folder.file("fresh.bin");
    access::write_binary(fresh, sample_payload());
    EXPECT_EQ(mode_of(fresh), 0666 & ~current_umask());

    // link.json -> chain.json -> target.json (relative links), and a dangling link.
    fs::create_symlink("target.json", folder.file("chain.json"));
    fs::create_symlink(folder.file("chain.json"), folder.file("link.json"));
    access::write_json(folder.file("link.json"), nlohmann::ordered_json{{"root", 2}});
    EXPECT_TRUE(fs::is_symlink(folder.file("link.json")));
    EXPECT_TRUE(fs::is_symlink(folder.file("chain.json")));
    EXPECT_EQ(file_text(target), "{\n  \"root\": 2\n}\n");
    fs::create_symlink("named.bin", folder.file("dangling.bin"));
    access::write_binary(folder.file("dangling.bin"), sample_payload());
    EXPECT_TRUE(fs::is_symlink(folder.file("dangling.bin")));
    EXPECT_EQ(file_bytes(folder.file("named.bin")).size(), access::binary_header_size + 100);

    const std::string longest = folder.file(std::string(255, 'n'));
    access::write_binary(longest, sample_payload());
    access::write_binary(longest, sample_payload());
    std::vector<std::uint8_t> back;
    access::read_binary(longest, back);
    EXPECT_EQ(back, sample_payload());

    std::vector<std::string> entries = folder.entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"chain.json", "dangling.bin", "fresh.bin", "link.json",
                                                 "named.bin", std::string(255, 'n'), "target.json"}));
}

TEST(AccessWrites, KeepModeFollowSymbolicLinksAndLeaveNothingBeside)
{
    temporary_folder folder;
    expect_writes_keep_the_target(folder);
}

// The same guarantees where files cannot be linked in from /proc/self/fd, as on file
// systems without unnamed files: in a child process, in its own user and mount namespaces,
// with an empty /proc. Skipped where the system does not allow such namespaces.
TEST(AccessWrites, WithoutUnnamedFilesTheNamedTemporaryFileKeepsTheGuarantees)
{
    temporary_folder folder;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", "/proc", "tmpfs", 0, nullptr) != 0)
            ::_exit(77);
        expect_writes_keep_the_target(folder);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no user and mount namespaces here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's failures above";
}

TEST(AccessWrites, SymbolicLinkLoopIsRefused)
{
    temporary_folder folder;
    std::filesystem::create_symlink("b", folder.file("a"));
    std::filesystem::create_symlink("a", folder.file("b"));
    const Error e = error_of([&] { access::write_binary(folder.file("a"), sample_payload()); });
    EXPECT_EQ(e.message(), "cannot write \"" + folder.file("a") + "\": " + std::strerror(ELOOP));
    EXPECT_EQ(e.location(), (SourceLocation{"write_target", access_file, 101}));
}

// A writer killed mid-write (here by exceeding its file size limit, SIGXFSZ) leaves the
// old file and nothing beside it.
TEST(AccessWrites, KilledWriterLeavesNothingBehind)
{
    temporary_folder folder;
    const int probe = ::open(folder.file("").c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (probe < 0)
        GTEST_SKIP() << "this file system has no unnamed files";
    ::close(probe);
    const std::string target = folder.file("target.bin");
    access::write_binary(target, sample_payload());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit no_core{0, 0};
        const rlimit small_files{4096, 4096};
        ::setrlimit(RLIMIT_CORE, &no_core);
        ::setrlimit(RLIMIT_FSIZE, &small_files);
        access::write_binary(target, std::vector<std::uint8_t>(1 << 20, 7));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"target.bin"});
    std::vector<std::uint8_t> back;
    access::read_binary(target, back);
    EXPECT_EQ(back, sample_payload());
}

TEST(AccessReads, OnlyRegularFilesAreRead)
{
    temporary_folder folder;
    const std::string fifo = folder.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {std::string("/dev/zero"), fifo}) {
        std::vector<std::uint8_t> bytes;
        nlohmann::ordered_json document;
        for (const Error& e : {error_of([&] { access::read_binary(path, bytes); }),
                               error_of([&] { access::read_json(path, document); })}) {
            EXPECT_EQ(e.message(), "\"" + path + "\" is not a regular file");
            EXPECT_EQ(e.location(), (SourceLocation{"read_file", access_file, 251}));
        }
    }
    // A symbolic link to a regular file is read as that file.
    access::write_binary(folder.file("a.bin"), sample_payload());
    std::filesystem::create_symlink("a.bin", folder.file("link.bin"));
    std::vector<std::uint8_t> back;
    access::read_binary(folder.file("link.bin"), back);
    EXPECT_EQ(back, sample_payload());
}

TEST(AccessBinary, RoundTripAndHeaderLayout)
{
    temporary_folder folder;
    const std::string path = folder.file("a.bin");
    const std::vector<std::uint8_t> payload = sample_payload();
    access::write_binary(path, payload);

    const std::vector<std::uint8_t> file = file_bytes(path);
    ASSERT_EQ(file.size(), access::binary_header_size + payload.size());
    EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "KORVEXBF");
    std::uint32_t version = 0;
    std::uint32_t checksum = 0;
    std::uint64_t length = 0;
    std::memcpy(&version, file.data() + 8, 4);
    std::memcpy(&checksum, file.data() + 12, 4);
    std::memcpy(&length, file.data() + 16, 8);
    EXPECT_EQ(version, 1u);
    EXPECT_EQ(checksum, crc32c(payload.data(), payload.size()));
    EXPECT_EQ(length, payload.size());

    std::vector<std::uint8_t> back{1, 2, 3};
    access::read_binary(path, back);
    EXPECT_EQ(back, payload);

    access::write_binary(path, {});
    access::read_binary(path, back);
    EXPECT_TRUE(back.empty());
}

TEST(AccessBinary, EveryTruncationIsRefused)
{
    temporary_folder folder;
    const std::string path = folder.file("a.bin");
    access::write_binary(path, sample_payload());
    const std::vector<std::uint8_t> whole = file_bytes(path);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        write_file_bytes(path, {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)});
        std::vector<std::uint8_t> bytes{42};
        const Error e = error_of([&] { access::read_binary(path, bytes); });
        const std::string expected = size == 0 ? "\"" + path + "\" is empty, not a korvex binary file"
                                               : "\"" + path + "\" is truncated: ";
        EXPECT_EQ(e.message().substr(0, expected.size()), expected) << size;
        EXPECT_EQ(bytes, std::vector<std::uint8_t>{42}) << "output changed at size " << size;
    }
}

TEST(AccessBinary, EveryFlippedByteIsRefused)
{
    temporary_folder folder;
    const std::string path = folder.file("a.bin");
    access::write_binary(path, sample_payload());
    const std::vector<std::uint8_t> whole = file_bytes(path);
    for (std::size_t i = 0; i < whole.size(); ++i) {
        std::vector<std::uint8_t> damaged = whole;
        damaged[i] ^= 0x20;
        write_file_bytes(path, damaged);
        std::vector<std::uint8_t> bytes;
        const Error e = error_of([&] { access::read_binary(path, bytes); });
        EXPECT_EQ(e.message().substr(0, path.size() + 3), "\"" + path + "\" ") << i;
        EXPECT_TRUE(bytes.empty());
    }
}

TEST(AccessBinary, FilesThatAreNotOursAreRefused)
{
    temporary_folder folder;
    const std::string path = folder.file("other.bin");
    std::vector<std::uint8_t> bytes;

    write_file_text(path, "{\"root\": {\"Class\": \"empty\"}}");
    EXPECT_EQ(error_of([&] { access::read_binary(path, bytes); }).message(),
              "\"" + path + "\" is not a korvex binary file");

    std::vector<std::uint8_t> newer = file_bytes((access::write_binary(path, sample_payload()), path));
    newer[8] = 2;
    write_file_bytes(path, newer);
    EXPECT_EQ(error_of([&] { access::read_binary(path, bytes); }).message(),
              "\"" + path + "\" has binary format version 2; this build reads version 1");

    std::vector<std::uint8_t> longer = file_bytes((access::write_binary(path, sample_payload()), path));
    longer.push_back(0);
    write_file_bytes(path, longer);
    EXPECT_EQ(error_of([&] { access::read_binary(path, bytes); }).message(),
              "\"" + path + "\" is corrupted: the header announces 100 payload bytes, but 101 follow");
}

TEST(AccessBinary, BytesInMemoryAreTheFileAndAreCheckedAsOne)
{
    temporary_folder folder;
    const std::string path = folder.file("a.bin");
    access::write_binary(path, sample_payload());
    const std::vector<std::uint8_t> bytes = access::binary_bytes(sample_payload());
    ASSERT_EQ(bytes, file_bytes(path));
    EXPECT_EQ(access::binary_payload(bytes), sample_payload());
    EXPECT_TRUE(access::binary_payload(access::binary_bytes({})).empty());

    EXPECT_EQ(error_of([&] { access::binary_payload({}); }).message(),
              "The binary record is empty, not a korvex binary record");
    EXPECT_EQ(error_of([&] { access::binary_payload(std::span(bytes).first(30)); }).message(),
              "The binary record is truncated: the header announces 100 payload bytes, only 6 are present");
    const std::vector<std::uint8_t> other{'{', '}'};
    EXPECT_EQ(error_of([&] { access::binary_payload(other); }).message(),
              "The binary record is not a korvex binary record");
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::vector<std::uint8_t> damaged = bytes;
        damaged[i] ^= 0x01;
        const Error e = error_of([&] { access::binary_payload(damaged); });
        EXPECT_EQ(e.message().substr(0, 18), "The binary record ") << i;
        EXPECT_EQ(e.location().function, std::string("checked_payload_size"));
    }
}

TEST(AccessBinary, HugeAnnouncedLengthAllocatesNothing)
{
    temporary_folder folder;
    const std::string path = folder.file("a.bin");
    access::write_binary(path, sample_payload());
    std::vector<std::uint8_t> file = file_bytes(path);
    for (std::size_t i = 16; i < 24; ++i)
        file[i] = 0xFF;
    write_file_bytes(path, file);
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(error_of([&] { access::read_binary(path, bytes); }).message(),
              "\"" + path + "\" is truncated: the header announces 18446744073709551615 payload "
                            "bytes, only 100 are present");
}

}  // namespace
}  // namespace korvex::serialization
