// make_samples <dir>: writes one small database of each kind the program opens, for a
// person to try Open and Recover on. Each holds a dozen calls, a few of them deleted
// with their remnants still in the file.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "tests/support/fixtures.h"

namespace {

constexpr int kCallsPerSample = 12;
// Deleted calls: outgoing and missed ones (an incoming call's type is stored as the
// content-free integer 1, which the Android remnant rules refuse).
constexpr int kDeletedCalls[] = {1, 5, 10};
// A text message kept in logs.db's table; the program leaves it out of the list.
constexpr int kTextMessageIndex = 7;
constexpr int kSmsLogtype = 300;
// An iPhone call whose number iOS could not place.
constexpr int kUnplacedIndex = 3;

std::vector<fixtures::AndroidCall> sampleAndroidCalls()
{
    std::vector<fixtures::AndroidCall> calls = fixtures::GeneratedAndroidCalls(kCallsPerSample);
    for (int index : kDeletedCalls)
        calls[index].deleted = true;
    return calls;
}

std::vector<fixtures::IphoneCall> sampleIphoneCalls()
{
    std::vector<fixtures::IphoneCall> calls = fixtures::GeneratedIphoneCalls(kCallsPerSample);
    calls[kUnplacedIndex].location = u8"<<RecentsNumberLocationNotFound>>";
    for (int index : kDeletedCalls)
        calls[index].deleted = true;
    return calls;
}

void writeSamples(const std::string& dir)
{
    using fixtures::AndroidLayout;
    std::filesystem::create_directories(dir);
    const auto android = sampleAndroidCalls();
    fixtures::BuildAndroidDatabase(dir + "/contacts2.db", AndroidLayout::Calls60, android);
    fixtures::BuildAndroidDatabase(dir + "/call.db", AndroidLayout::VendorCallDb, android);
    auto logs = android;
    logs[kTextMessageIndex].logtype = kSmsLogtype;
    fixtures::BuildAndroidDatabase(dir + "/logs.db", AndroidLayout::VendorLogs, logs);
    const auto iphone = sampleIphoneCalls();
    fixtures::BuildIphoneDatabase(dir + "/CallHistory.storedata", fixtures::IphoneLayout::Ios10,
                                  iphone);
    fixtures::BuildIphoneDatabase(dir + "/call_history.db", fixtures::IphoneLayout::Ios9, iphone);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_samples <dir>\n");
        return 2;
    }
    try {
        writeSamples(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_samples: %s\n", e.what());
        return 1;
    }
    std::printf("samples written to %s\n", argv[1]);
    return 0;
}
