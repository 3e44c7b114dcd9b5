// Fuzz test of the recovery engine: mutated and truncated call-log database files run
// through both scanner passes (raw read, walk, decoding, merge) with the schema of the
// layout they were built with. Any out-of-bounds read or undefined behaviour is a
// finding of the sanitizers; the harness itself checks that the count pass, the fill
// pass and the list of accepted candidates (with every way of marking candidates the CPU
// runs, in turn) accept exactly the positions, remnant lengths and overlong flags of an
// independent reference walk of the format (reference_walk.h).
//
// Two front ends share FuzzOneInput:
//  - libFuzzer: LLVMFuzzerTestOneInput (byte 0 picks the layout, the rest is the file).
//    The project compiles with GCC (-fexec-charset=CP936 is GCC's), so build the engine
//    and the harness with clang by hand, against a normal build's other libraries:
//      cmake --build build --target peldmark_fixtures peldmark_reader peldmark_ui
//      clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined
//        -DPELDMARK_LIBFUZZER -I. -I/usr/include/x86_64-linux-gnu/qt6
//        tests/recovery/fuzz_scanner.cpp tests/recovery/reference_walk.cpp recovery/*.cpp
//        build/tests/support/libpeldmark_fixtures.a build/reader/libpeldmark_reader.a
//        build/platform/ui/libpeldmark_ui.a build/platform/libpeldmark_platform.a
//        -lQt6Widgets -lQt6Gui -lQt6Core -lsqlite3 -o fuzz_scanner_libfuzzer
//      ./fuzz_scanner_libfuzzer -max_len=65536 corpus/   (seed corpus: --write-seeds)
//  - the standalone driver below (CI, ctest label "sanitize"): builds real fixture files
//    of every page size as seeds and runs N mutated or truncated copies of them:
//      fuzz_scanner [iterations=20000] [random-seed=1] [--write-seeds DIR]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/support/scripted_modal_ui.h"
#include "platform/ui/wnd.h"
#include "recovery/candidate_blocks.h"
#include "recovery/raw_file.h"
#include "recovery/remnant_records.h"
#include "recovery/scanner.h"
#include "tests/recovery/recovery_test_support.h"
#include "tests/recovery/reference_walk.h"
#include "tests/support/fixtures.h"

namespace {

// A layout the harness knows: the file name that selects its variant and the columns
// of its call table ("name TYPE", as table_info reports them).
struct FuzzLayout
{
    std::string fileName;
    bool iphone;
    std::vector<std::string> columns;
    reference_walk::Rules rules;   // the reference walk's name for the variant
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
    using reference_walk::Rules;
    static const std::vector<FuzzLayout> layouts = {
        {"contacts2.db", false, fixtures::AndroidLayoutColumns(AndroidLayout::Calls40),
         Rules::Contacts2Db},
        {"contacts2.db", false, fixtures::AndroidLayoutColumns(AndroidLayout::Calls60),
         Rules::Contacts2Db},
        {"call.db", false, fixtures::AndroidLayoutColumns(AndroidLayout::VendorCallDb),
         Rules::CallDb},
        {"logs.db", false, fixtures::AndroidLayoutColumns(AndroidLayout::VendorLogs),
         Rules::LogsDb},
        {"CallHistory.storedata", true, fixtures::IphoneLayoutColumns(IphoneLayout::Ios9),
         Rules::Iphone},
        {"CallHistory.storedata", true, fixtures::IphoneLayoutColumns(IphoneLayout::Ios10),
         Rules::Iphone},
        {"contacts2.db", false, PermissiveColumns(false), Rules::Contacts2Db},
        {"CallHistory.storedata", true, PermissiveColumns(true), Rules::Iphone},
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

RawBuffer BufferOf(const std::string& bytesWithZero)
{
    return RawBuffer{reinterpret_cast<const unsigned char*>(bytesWithZero.data()),
                     static_cast<std::int64_t>(bytesWithZero.size()) - 1};
}

[[noreturn]] void Differ(const char* what, std::size_t index, std::int64_t scanner,
                         std::int64_t reference)
{
    std::fprintf(stderr, "%s differ at accepted candidate %zu: scanner %lld, reference %lld\n",
                 what, index, static_cast<long long>(scanner), static_cast<long long>(reference));
    std::abort();
}

// The list of accepted candidates with another way of marking them each time (the
// passes of ScanDeletedRecords used the widest the CPU runs): the ways take turns from
// one input to the next, so that each meets every kind of input.
void CheckListedCandidates(const std::string& bytesWithZero, const FuzzLayout& layout,
                           const std::vector<reference_walk::Accepted>& expected)
{
    static const CandidateBlockKind kKinds[] = {CandidateBlockKind::Scalar,
                                                CandidateBlockKind::Sse2,
                                                CandidateBlockKind::Ssse3,
                                                CandidateBlockKind::Avx2};
    static std::size_t turn = 0;
    SetCandidateBlockKind(kKinds[turn++ % (sizeof kKinds / sizeof kKinds[0])]);
    const std::vector<AcceptedCandidate> listed =
        ListAcceptedCandidates(BufferOf(bytesWithZero), ScanVariantOf(layout.fileName));
    SetCandidateBlockKind(CandidateBlockKind::Best);
    for (std::size_t i = 0; i < listed.size() && i < expected.size(); ++i) {
        if (listed[i].position != expected[i].position) {
            Differ("positions", i, listed[i].position, expected[i].position);
        }
        if (listed[i].remnantLength != expected[i].remnantLength) {
            Differ("remnant lengths", i, listed[i].remnantLength, expected[i].remnantLength);
        }
    }
    if (listed.size() != expected.size()) {
        Differ("numbers of candidates", std::min(listed.size(), expected.size()),
               static_cast<std::int64_t>(listed.size()),
               static_cast<std::int64_t>(expected.size()));
    }
}

// The overlong flags of the records a fill pass keeps, as the merge reads them.
void CheckOverlongFlags(const std::string& bytesWithZero, const FuzzLayout& layout,
                        const std::vector<reference_walk::Accepted>& expected)
{
    const RawBuffer buffer = BufferOf(bytesWithZero);
    const CallLogVariant variant = ScanVariantOf(layout.fileName);
    std::vector<AcceptedCandidate> accepted;
    WalkRawBuffer(buffer, variant, &accepted, static_cast<std::int32_t>(expected.size()),
                  nullptr);
    RemnantRecords records(buffer, variant, accepted);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::int32_t overlong = records.Overlong(static_cast<std::int32_t>(i));
        if (overlong != (expected[i].overlong ? 1 : 0)) {
            Differ("overlong flags", i, overlong, expected[i].overlong ? 1 : 0);
        }
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
    const RawFileBytes read(path);
    std::int32_t counter = 0;
    ScanDeletedRecords(counter, &harness.window, read);
    const std::int32_t counted = counter;
    ScanDeletedRecords(counter, &harness.window, read);
    const std::vector<reference_walk::Accepted> expected =
        reference_walk::AcceptedCandidates(file, layout.rules, layout.columns);
    if (counter != counted || static_cast<std::size_t>(counted) != expected.size()) {
        std::fprintf(stderr, "accepted: count pass %d, fill pass %d, reference walk %zu\n",
                     counted, counter, expected.size());
        std::abort();
    }
    const std::string bytesWithZero = file + '\0';
    CheckListedCandidates(bytesWithZero, layout, expected);
    CheckOverlongFlags(bytesWithZero, layout, expected);
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

// Seeds: each layout's file with every page size from 512 to 65536, a third of the
// rows deleted; row ids from 1 on every other page size (a freed cell's freeblock header
// then covers its first bytes), two in three with auto-vacuum (full or incremental: a
// pointer-map page), logs.db with text messages and video calls.
std::vector<std::string> BuildSeeds(const std::string& dir)
{
    std::vector<std::string> seeds;
    for (std::size_t index = 0; index < Layouts().size(); ++index) {
        const FuzzLayout& layout = Layouts()[index];
        for (int pageSize = 512; pageSize <= 65536; pageSize *= 2) {
            const std::string path = dir + "/seed-" + std::to_string(seeds.size()) + "-" +
                                     layout.fileName;
            fixtures::BuildOptions options;
            options.pageSize = pageSize;
            options.firstRowid = seeds.size() % 2 == 0 ? 1 : 1001;
            const char* const kAutoVacuum[] = {"", "FULL", "INCREMENTAL"};
            options.autoVacuum = kAutoVacuum[seeds.size() % 3];
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
                for (std::size_t i = 0; i < calls.size(); ++i) {
                    calls[i].deleted = i % 3 == 0;
                    calls[i].logtype = i % 5 == 1 ? 300 : i % 5 == 2 ? 500 : 100;
                }
                fixtures::BuildAndroidDatabase(path, kinds[index % 4], calls, options);
            }
            seeds.push_back(std::string(1, static_cast<char>(index)) +
                            fixtures::ReadFileBytes(path));
        }
    }
    return seeds;
}

// Larger pages make larger seeds. Each seed is picked with the weight size^-1.5: small
// pages, whose runs meet many page ends, get most inputs, and every page size still
// gets some within the test's time.
std::discrete_distribution<std::size_t> SeedChoice(const std::vector<std::string>& seeds)
{
    std::vector<double> weights;
    for (const std::string& seed : seeds) {
        weights.push_back(std::pow(static_cast<double>(seed.size()), -1.5));
    }
    return std::discrete_distribution<std::size_t>(weights.begin(), weights.end());
}

// Bytes the record format gives meaning to: NULL, reserved types, varint continuation.
const unsigned char kInteresting[] = {0x00, 0x01, 0x05, 0x07, 0x08, 0x09, 0x0A, 0x0B,
                                      0x0C, 0x0D, 0x7F, 0x80, 0x81, 0xFF};

// The end of one of the input's whole pages (an index into the input, past the layout
// byte), or 0 when it has none.
std::size_t SomePageEnd(const std::string& input, std::mt19937_64& random)
{
    const std::size_t fileLength = input.size() - 1;
    if (fileLength < 18) {
        return 0;
    }
    std::size_t pageSize = static_cast<unsigned char>(input[1 + 16]) * 256 +
                           static_cast<unsigned char>(input[1 + 17]);
    pageSize = pageSize == 1 ? 65536 : pageSize < 512 ? 512 : pageSize;
    const std::size_t pages = fileLength / pageSize;
    return pages == 0 ? 0 : 1 + (1 + random() % pages) * pageSize;
}

// Cuts the file a little before or after the end of one of its pages, where the last
// whole page's limit and the bounds test meet.
void CutNearAPageEnd(std::string& input, std::mt19937_64& random)
{
    constexpr std::size_t kNear = 48;
    const std::size_t end = SomePageEnd(input, random);
    if (end != 0) {
        input.resize(std::min(end + random() % kNear - kNear / 2, input.size()));
    }
}

// Zero-filled space from a few bytes before a page's offset limits (P - 23, and P - 32
// on the last whole page) to a little past the page's end.
void ZeroAPageEnd(std::string& input, std::mt19937_64& random)
{
    const std::size_t end = SomePageEnd(input, random);
    if (end == 0) {
        return;
    }
    const std::size_t from = end - 36 + random() % 16;
    const std::size_t to = std::min(end + random() % 24, input.size());
    std::fill(input.begin() + static_cast<std::ptrdiff_t>(from),
              input.begin() + static_cast<std::ptrdiff_t>(to), '\0');
}

std::string Mutate(const std::string& seed, std::mt19937_64& random)
{
    std::string input = seed;
    const auto at = [&] { return 1 + random() % (input.size() - 1); };
    const int edits = 1 + static_cast<int>(random() % 16);
    for (int e = 0; e < edits && input.size() > 1; ++e) {
        switch (random() % 9) {
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
        case 3: {   // a header field the walk reads: mostly the page size (which then
                    // often holds no page size), else the reserved bytes or largest root
            static const std::size_t kFieldBytes[] = {16, 17, 16, 17, 16, 17, 20, 52, 55};
            const std::size_t field = 1 + kFieldBytes[random() % 9];
            if (input.size() > field) input[field] = static_cast<char>(random());
            break;
        }
        case 4: input.resize(1 + random() % input.size()); break;                    // truncate
        case 5: {   // zero-filled space
            const std::size_t from = at();
            const std::size_t run = std::min<std::size_t>(1 + random() % 64, input.size() - from);
            std::fill_n(input.begin() + static_cast<std::ptrdiff_t>(from), run, '\0');
            break;
        }
        case 6: CutNearAPageEnd(input, random); break;
        case 7: ZeroAPageEnd(input, random); break;
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
    std::discrete_distribution<std::size_t> pick = SeedChoice(seeds);
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t bytes = 0;
    // The seeds as they are, then `iterations` mutated or truncated copies.
    for (const std::string& seed : seeds) {
        FuzzOneInput(reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size());
    }
    for (long i = 0; i < iterations; ++i) {
        const std::string input = Mutate(seeds[pick(random)], random);
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
