// Fuzz test of the recovery engine: mutated and truncated call-log database files run
// through both scanner passes (raw read, walk, decoding, merge) with the schema of the
// layout they were built with. Any out-of-bounds read or undefined behaviour is a
// finding of the sanitizers; the harness itself checks that the count pass (with every
// way of marking candidates the CPU runs) and the fill pass accept what a plain
// position-by-position walk of the format does.
//
// Two front ends share FuzzOneInput:
//  - libFuzzer: LLVMFuzzerTestOneInput (byte 0 picks the layout, the rest is the file).
//    The project compiles with GCC (-fexec-charset=CP936 is GCC's), so build the engine
//    and the harness with clang by hand, against a normal build's other libraries:
//      cmake --build build --target peldmark_fixtures peldmark_reader peldmark_ui
//      clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined
//        -DPELDMARK_LIBFUZZER -I. -I/usr/include/x86_64-linux-gnu/qt6
//        tests/recovery/fuzz_scanner.cpp recovery/*.cpp
//        build/tests/support/libpeldmark_fixtures.a build/reader/libpeldmark_reader.a
//        build/platform/ui/libpeldmark_ui.a build/platform/libpeldmark_platform.a
//        -lQt6Widgets -lQt6Gui -lQt6Core -lsqlite3 -o fuzz_scanner_libfuzzer
//      ./fuzz_scanner_libfuzzer -max_len=65536 corpus/   (seed corpus: --write-seeds)
//  - the standalone driver below (CI, ctest label "sanitize"): builds real fixture files
//    as seeds and runs N mutated or truncated copies of them:
//      fuzz_scanner [iterations=20000] [random-seed=1] [--write-seeds DIR]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/ui/wnd.h"
#include "recovery/main_window_ids.h"
#include "recovery/android_remnant.h"
#include "recovery/candidate_blocks.h"
#include "recovery/iphone_remnant.h"
#include "recovery/scanner.h"
#include "tests/recovery/recovery_test_support.h"
#include "tests/support/fixtures.h"

namespace {

// A layout the harness knows: the file name that selects its variant and the columns
// of its call table ("name TYPE", as table_info reports them).
struct FuzzLayout
{
    std::string fileName;
    bool iphone;
    std::vector<std::string> columns;
};

// Every column of a type no rule tests, named after the decoded columns, so that
// reserved and huge serial types reach the decoders' content placement.
std::vector<std::string> PermissiveColumns(bool iphone)
{
    const std::vector<std::string> android = {"name", "date", "type", "duration", "number",
                                              "geocoded_location"};
    const std::vector<std::string> apple = {"zdate", "zduration", "zlocation", "zaddress",
                                            "zoriginated"};
    std::vector<std::string> columns = {"_id"};
    for (int i = 0; i < 40; ++i) {
        const auto& names = iphone ? apple : android;
        columns.push_back(names[i % names.size()] + " NUMERIC");
    }
    return columns;
}

const std::vector<FuzzLayout>& Layouts()
{
    using fixtures::AndroidLayout;
    using fixtures::IphoneLayout;
    static const std::vector<FuzzLayout> layouts = {
        {"contacts2.db", false, fixtures::AndroidLayoutColumns(AndroidLayout::Calls40)},
        {"contacts2.db", false, fixtures::AndroidLayoutColumns(AndroidLayout::Calls60)},
        {"call.db", false, fixtures::AndroidLayoutColumns(AndroidLayout::VendorCallDb)},
        {"logs.db", false, fixtures::AndroidLayoutColumns(AndroidLayout::VendorLogs)},
        {"CallHistory.storedata", true, fixtures::IphoneLayoutColumns(IphoneLayout::Ios9)},
        {"CallHistory.storedata", true, fixtures::IphoneLayoutColumns(IphoneLayout::Ios10)},
        {"contacts2.db", false, PermissiveColumns(false)},
        {"CallHistory.storedata", true, PermissiveColumns(true)},
    };
    return layouts;
}

void SetSchema(const FuzzLayout& layout)
{
    recovery_test::SetSchemaFromLayout(layout.iphone ? ColumnSchema.iphone : ColumnSchema.android,
                                       layout.columns);
}

// The main window of the merge (window-less, with the call list as control 1000) and
// the folder the inputs are written to.
struct Harness : recovery_test::MainWindowWithList
{
    fixtures::TempDir dir;
};

Harness& TheHarness()
{
    static Harness harness;
    return harness;
}

// The walk exactly as the format describes it, position by position with no shortcut:
// the scanner's count must equal it.
std::int32_t ReferenceCount(const std::string& file, const FuzzLayout& layout)
{
    const std::string bytes = file + '\0';
    const RawBuffer buffer{reinterpret_cast<const unsigned char*>(bytes.data()),
                           static_cast<std::int64_t>(file.size())};
    const std::int64_t pageSize = ReadPageSize(buffer);
    if (pageSize == 0) {
        return 0;
    }
    const auto android = std::make_unique<ColumnRules>();
    const auto iphone = std::make_unique<IphoneRules>();
    if (layout.iphone) {
        CompileIphoneRules(ColumnSchema.iphone, *iphone);
    } else {
        CompileAndroidRules(ScanVariantOf(layout.fileName), ColumnSchema.android, *android);
    }
    CandidateHeader header;
    const std::int64_t pages = buffer.fileLength / pageSize;
    std::int32_t accepted = 0;
    for (std::int64_t page = 0; page < pages; ++page) {
        const std::int64_t limit = pageSize - (page == pages - 1 ? 32 : 23);
        for (std::int64_t offset = 0; offset < limit;) {
            std::int64_t length = 0;
            const std::int64_t x = page * pageSize + offset;
            const bool ok = layout.iphone
                                ? MatchIphoneRecord(nullptr, x, &length, buffer, *iphone, header)
                                : MatchCandidateByColumn(buffer, x, *android, header);
            accepted += ok ? 1 : 0;
            offset += ok ? 22 : 1;
        }
    }
    return accepted;
}

// The count pass with another way of marking candidates (the passes above used the
// widest the CPU runs): it must count what the position-by-position walk does. The ways
// take turns from one input to the next, so every one of them meets every kind of input
// while each input costs one extra pass only.
void CheckAnotherBlockKind(const std::string& file, const FuzzLayout& layout,
                           std::int32_t expected)
{
    static const CandidateBlockKind kKinds[] = {CandidateBlockKind::Scalar,
                                                CandidateBlockKind::Sse2,
                                                CandidateBlockKind::Ssse3,
                                                CandidateBlockKind::Avx2};
    static std::size_t turn = 0;
    const CandidateBlockKind kind = kKinds[turn++ % (sizeof kKinds / sizeof kKinds[0])];
    if (!SetCandidateBlockKind(kind)) {
        return;
    }
    const std::string bytes = file + '\0';
    const RawBuffer buffer{reinterpret_cast<const unsigned char*>(bytes.data()),
                           static_cast<std::int64_t>(file.size())};
    const std::int32_t counted =
        WalkRawBuffer(buffer, ScanVariantOf(layout.fileName), nullptr, 0, nullptr);
    SetCandidateBlockKind(CandidateBlockKind::Best);
    if (counted != expected) {
        std::fprintf(stderr, "accepted: block kind %d %d, position by position %d\n",
                     static_cast<int>(kind), counted, expected);
        std::abort();
    }
}

}  // namespace

// One input: byte 0 picks the layout, the rest is the database file.
void FuzzOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return;
    }
    Harness& harness = TheHarness();
    const FuzzLayout& layout = Layouts()[data[0] % Layouts().size()];
    SetSchema(layout);
    const std::string path = harness.dir.File(layout.fileName);
    const std::string file(reinterpret_cast<const char*>(data) + 1, size - 1);
    // A new file each time: rewriting one in place makes ext4 flush it at every close.
    std::remove(path.c_str());
    fixtures::WriteFileBytes(path, file);
    ScopedModalUi modal;
    std::int32_t counter = 0;
    ScanDeletedRecords(counter, &harness.window, path);
    const std::int32_t counted = counter;
    ScanDeletedRecords(counter, &harness.window, path);
    const std::int32_t expected = ReferenceCount(file, layout);
    if (counter != counted || counted != expected) {
        std::fprintf(stderr, "accepted: count pass %d, fill pass %d, position by position %d\n",
                     counted, counter, expected);
        std::abort();
    }
    CheckAnotherBlockKind(file, layout, expected);
    CallRecordTable.Reset();
    harness.list.DeleteAllItems();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzOneInput(data, size);
    return 0;
}

#ifndef PELDMARK_LIBFUZZER
namespace {

// Seeds: each layout's file with 512- and 1024-byte pages, a third of the rows deleted.
std::vector<std::string> BuildSeeds(const std::string& dir)
{
    std::vector<std::string> seeds;
    for (std::size_t index = 0; index < Layouts().size(); ++index) {
        const FuzzLayout& layout = Layouts()[index];
        for (const int pageSize : {512, 1024}) {
            const std::string path = dir + "/seed-" + std::to_string(seeds.size()) + "-" +
                                     layout.fileName;
            fixtures::BuildOptions options;
            options.pageSize = pageSize;
            if (layout.iphone) {
                auto calls = fixtures::GeneratedIphoneCalls(24);
                for (std::size_t i = 0; i < calls.size(); i += 3) calls[i].deleted = true;
                fixtures::BuildIphoneDatabase(path, index == 4 ? fixtures::IphoneLayout::Ios9
                                                               : fixtures::IphoneLayout::Ios10,
                                              calls, options);
            } else {
                const fixtures::AndroidLayout kinds[] = {
                    fixtures::AndroidLayout::Calls40, fixtures::AndroidLayout::Calls60,
                    fixtures::AndroidLayout::VendorCallDb, fixtures::AndroidLayout::VendorLogs};
                auto calls = fixtures::GeneratedAndroidCalls(24);
                for (std::size_t i = 0; i < calls.size(); i += 3) calls[i].deleted = true;
                fixtures::BuildAndroidDatabase(path, kinds[index % 4], calls, options);
            }
            seeds.push_back(std::string(1, static_cast<char>(index)) +
                            fixtures::ReadFileBytes(path));
        }
    }
    return seeds;
}

// Bytes the record format gives meaning to: NULL, reserved types, varint continuation.
const unsigned char kInteresting[] = {0x00, 0x01, 0x05, 0x07, 0x08, 0x09, 0x0A, 0x0B,
                                      0x0C, 0x0D, 0x7F, 0x80, 0x81, 0xFF};

std::string Mutate(const std::string& seed, std::mt19937_64& random)
{
    std::string input = seed;
    const auto at = [&] { return 1 + random() % (input.size() - 1); };
    const int edits = 1 + static_cast<int>(random() % 16);
    for (int e = 0; e < edits && input.size() > 1; ++e) {
        switch (random() % 6) {
        case 0: input[at()] = static_cast<char>(random()); break;
        case 1:
            input[at()] = static_cast<char>(kInteresting[random() % sizeof kInteresting]);
            break;
        case 2: {   // a run of continuation bytes: long and nine-byte varints
            const std::size_t from = at();
            const std::size_t run = 1 + random() % 12;
            for (std::size_t i = from; i < input.size() && i < from + run; ++i) input[i] = '\xFF';
            break;
        }
        case 3:   // the page-size field
            if (input.size() > 18) input[1 + 16 + random() % 2] = static_cast<char>(random());
            break;
        case 4: input.resize(1 + random() % input.size()); break;                    // truncate
        default: input[0] = static_cast<char>(random()); break;                      // layout
        }
    }
    return input;
}

}  // namespace

int main(int argc, char** argv)
{
    long iterations = 20000;
    unsigned long randomSeed = 1;
    std::vector<std::string> positional;
    std::string seedDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--write-seeds" && i + 1 < argc) {
            seedDir = argv[++i];
        } else {
            positional.push_back(arg);
        }
    }
    if (!positional.empty()) iterations = std::atol(positional[0].c_str());
    if (positional.size() > 1) randomSeed = std::strtoul(positional[1].c_str(), nullptr, 10);

    fixtures::TempDir seedBuild;
    const std::vector<std::string> seeds = BuildSeeds(seedBuild.Path());
    if (!seedDir.empty()) {
        for (std::size_t i = 0; i < seeds.size(); ++i) {
            fixtures::WriteFileBytes(seedDir + "/seed-" + std::to_string(i), seeds[i]);
        }
    }
    std::mt19937_64 random(randomSeed);
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t bytes = 0;
    // The seeds as they are, then `iterations` mutated or truncated copies.
    for (const std::string& seed : seeds) {
        FuzzOneInput(reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size());
    }
    for (long i = 0; i < iterations; ++i) {
        const std::string input = Mutate(seeds[random() % seeds.size()], random);
        FuzzOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
        bytes += input.size();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("fuzz_scanner: %ld mutated inputs from %zu seeds, %.1f MB through both passes "
                "in %.1f s\n",
                iterations, seeds.size(), bytes / 1e6, seconds);
    return 0;
}
#endif
