#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstring>
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
        EXPECT_EQ(e.location(), (SourceLocation{"read_json", access_file, 75}));
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
    EXPECT_EQ(e.location(), (SourceLocation{"read_json", access_file, 75}));
    EXPECT_EQ(e.message(), "\"" + path +
                               "\" is not valid JSON: [json.exception.out_of_range.406] number "
                               "overflow parsing '1e400'");
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
    EXPECT_EQ(e.location(), (SourceLocation{"read_binary", access_file, 120}));

    const std::string in_missing_folder = folder.file("no/such/folder/a.bin");
    e = error_of([&] { access::write_binary(in_missing_folder, bytes); });
    EXPECT_EQ(e.message(), "cannot write \"" + in_missing_folder + "\": " + std::strerror(ENOENT));
    EXPECT_EQ(e.location(), (SourceLocation{"write_binary", access_file, 95}));
    e = error_of([&] { access::write_json(in_missing_folder, document); });
    EXPECT_EQ(e.location(), (SourceLocation{"write_json", access_file, 60}));
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
