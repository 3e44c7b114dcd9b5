// Open and refill of a 100,000-row Android call log through the main window's Open
// command, the list model and its view included (Qt offscreen), with TZ unset and with
// TZ=CST-8. Target: under 1 s, and TZ unset within 10% of TZ=CST-8.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QWidget>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/peldmark_app.h"
#include "app/peldmark_dlg.h"
#include "app/resource_ids.h"
#include "app/resources.h"
#include "bench/bench_support.h"
#include "tests/support/scripted_modal_ui.h"
#include "reader/call_record.h"
#include "tests/support/fixtures.h"

namespace {

constexpr int kBenchRows = 100000;

void BM_OpenAndRefill100kAndroidRows(benchmark::State& state, const bench::Zone& zone)
{
    bench::UseZone(zone);
    fixtures::TempDir folder;
    const std::string path = folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(path, fixtures::AndroidLayout::Calls40,
                                   fixtures::GeneratedAndroidCalls(kBenchRows));

    RegisterPeldmarkResources();
    ScopedModalUi modal;
    CPeldmarkDlg dialog;
    theApp.m_pMainWnd = &dialog;
    if (!dialog.Create(IDD_PELDMARK_DIALOG)) {
        state.SkipWithError("the main window could not be created");
        return;
    }
    static_cast<QWidget*>(dialog.PeerWidget())->show();
    const double best = bench::BestSeconds(
        state, [&] { modal.ui.fileDialogAnswers.push_back(path); },
        [&] {
            dialog.SendMessage(WM_COMMAND, ID_OPEN_DATABASE);
            // The view takes the appended rows in one batch when events are processed.
            QCoreApplication::processEvents();
        });
    if (dialog.m_listCalls.GetItemCount() != kBenchRows) {
        state.SkipWithError("the list does not hold every row");
    }
    state.counters["rows"] = kBenchRows;
    bench::Figures().push_back({"Open and refill, 100,000 rows", zone.label, best * 1e3, "", ""});
    theApp.m_pMainWnd = nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    // No display is needed: the window is built on Qt's offscreen platform.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    for (const bench::Zone& zone : bench::kZones) {
        benchmark::RegisterBenchmark(
            (std::string("open_and_refill/100k_android_rows/") + zone.label).c_str(),
            [zone](benchmark::State& s) { BM_OpenAndRefill100kAndroidRows(s, zone); })
            ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
    }
    return bench::RunAndSummarize(argc, argv);
}
