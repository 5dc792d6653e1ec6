// Which downloaded files may become the launcher: byte tables of complete, damaged and foreign
// executables and of what servers send instead.
#include "pe_test_image.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace kelvo;
using pe_test::Bytes;
using pe_test::ImageLayout;
using pe_test::MakeImage;

namespace {

ImageVerdict Check(const std::vector<std::byte>& file, std::uint16_t machine = kBuildMachine) {
    const std::size_t head = std::min(file.size(), kImageHeadLimit);
    return CheckExecutableImage(std::span<const std::byte>(file.data(), head), file.size(), machine);
}

std::vector<std::byte> Cut(std::vector<std::byte> b, std::size_t size) {
    b.resize(size);
    return b;
}

std::vector<std::byte> With16(std::vector<std::byte> b, std::size_t at, std::uint32_t v) {
    pe_test::Put16(b, at, v);
    return b;
}

std::vector<std::byte> With32(std::vector<std::byte> b, std::size_t at, std::uint32_t v) {
    pe_test::Put32(b, at, v);
    return b;
}

struct Case {
    const char* name;
    std::vector<std::byte> file;
    std::uint16_t machine;
    ImageVerdict verdict;
};

TEST(ExecutableImage, Table) {
    const std::uint16_t other = kBuildMachine == kMachineI386 ? kMachineAmd64 : kMachineI386;
    const std::vector<std::byte> good = MakeImage();
    const std::size_t pe = 0x80;
    const std::size_t table = pe + 24 + (kBuildMachine == kMachineI386 ? 224 : 240);
    const Case cases[] = {
        {"complete image", good, kBuildMachine, ImageVerdict::Runnable},
        {"i386 image on i386", MakeImage({.machine = kMachineI386}), kMachineI386, ImageVerdict::Runnable},
        {"amd64 image on amd64", MakeImage({.machine = kMachineAmd64}), kMachineAmd64,
         ImageVerdict::Runnable},
        {"i386 image on amd64", MakeImage({.machine = kMachineI386}), kMachineAmd64,
         ImageVerdict::WrongMachine},
        {"amd64 image on i386", MakeImage({.machine = kMachineAmd64}), kMachineI386,
         ImageVerdict::WrongMachine},
        {"other architecture", MakeImage({.machine = other}), kBuildMachine, ImageVerdict::WrongMachine},
        {"empty file", {}, kBuildMachine, ImageVerdict::NoDosHeader},
        {"zeroes of the right size", std::vector<std::byte>(good.size()), kBuildMachine,
         ImageVerdict::NoDosHeader},
        {"HTML page",
         Bytes("<!DOCTYPE html><html><head><title>Sign in to the network</title></head>"
               "<body>Accept the terms to continue.</body></html>"),
         kBuildMachine, ImageVerdict::NoDosHeader},
        {"MZ alone", Bytes("MZ"), kBuildMachine, ImageVerdict::NoDosHeader},
        {"DOS header one byte short", Cut(good, 0x3F), kBuildMachine, ImageVerdict::NoDosHeader},
        {"cut inside the PE signature", Cut(good, pe + 2), kBuildMachine, ImageVerdict::NoPeHeader},
        {"cut inside the section table", Cut(good, table + 40), kBuildMachine, ImageVerdict::NoPeHeader},
        {"no PE signature", With16(good, pe, 0x454E), kBuildMachine, ImageVerdict::NoPeHeader},
        {"signature offset past the end", With32(good, 0x3C, 0x7FFFFFF0), kBuildMachine,
         ImageVerdict::NoPeHeader},
        {"signature offset at the 4 GiB edge", With32(good, 0x3C, 0xFFFFFFFF), kBuildMachine,
         ImageVerdict::NoPeHeader},
        {"headers past the read limit", MakeImage({.peOffset = 0x10000}), kBuildMachine,
         ImageVerdict::NoPeHeader},
        {"headers just inside the read limit",
         MakeImage({.machine = kMachineAmd64, .peOffset = 0x10000 - 24 - 240 - 80}), kMachineAmd64,
         ImageVerdict::Runnable},
        {"library", MakeImage({.characteristics = 0x2102}), kBuildMachine, ImageVerdict::NotExecutable},
        {"object, not an image", MakeImage({.characteristics = 0x0100}), kBuildMachine,
         ImageVerdict::NotExecutable},
        {"no sections", MakeImage({.sections = 0}), kBuildMachine, ImageVerdict::NotExecutable},
        {"no optional header", MakeImage({.optionalSize = 1}), kBuildMachine, ImageVerdict::NotExecutable},
        {"PE32 header on amd64", MakeImage({.machine = kMachineAmd64, .magic = 0x10B}), kMachineAmd64,
         ImageVerdict::NotExecutable},
        {"PE32+ header on i386", MakeImage({.machine = kMachineI386, .magic = 0x20B}), kMachineI386,
         ImageVerdict::NotExecutable},
        {"last section one byte short", Cut(good, good.size() - 1), kBuildMachine, ImageVerdict::Truncated},
        {"cut after the first section", Cut(good, 0x400 + 0x200), kBuildMachine, ImageVerdict::Truncated},
        {"cut right after the headers", Cut(good, 0x400), kBuildMachine, ImageVerdict::Truncated},
        {"section data at the 4 GiB edge",
         With32(With32(good, table + 16, 0xFFFFFFFF), table + 20, 0xFFFFFFFF), kBuildMachine,
         ImageVerdict::Truncated},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Check(c.file, c.machine), c.verdict) << c.name;
}

TEST(ExecutableImage, SectionsWithoutFileDataNeedNoRoom) {
    std::vector<std::byte> image = MakeImage({.sections = 1});
    // A second section of uninitialised data: no size in the file, its offset anywhere.
    const std::size_t table = 0x80 + 24 + (kBuildMachine == kMachineI386 ? 224 : 240);
    pe_test::Put16(image, 0x80 + 6, 2);
    pe_test::Put32(image, table + 40 + 16, 0);
    pe_test::Put32(image, table + 40 + 20, 0x7FFFFFFF);
    EXPECT_EQ(Check(image), ImageVerdict::Runnable);
}

TEST(ExecutableImage, OnlyTheHeadIsRead) {
    // The verdict rests on the head and the size: a head shorter than the file is enough.
    const std::vector<std::byte> image = MakeImage({.sectionSize = 0x20000});
    EXPECT_EQ(
        CheckExecutableImage(std::span<const std::byte>(image.data(), 0x400), image.size(), kBuildMachine),
        ImageVerdict::Runnable);
    EXPECT_EQ(CheckExecutableImage(std::span<const std::byte>(image.data(), 0x400), image.size() - 1,
                                   kBuildMachine),
              ImageVerdict::Truncated);
}

} // namespace
