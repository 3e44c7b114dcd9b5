// Open and refill of a 100,000-row Android call log through the main window's Open
// command, the list model and its view included (Qt offscreen). Target: under 1 s.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QWidget>

#include <cstdlib>
#include <memory>

#include "app/peldmark_app.h"
#include "app/peldmark_dlg.h"
#include "app/resource_ids.h"
#include "app/resources.h"
#include "platform/testing.h"
#include "reader/call_record.h"
#include "tests/support/fixtures.h"

namespace {

constexpr int kBenchRows = 100000;

void BM_OpenAndRefill100kAndroidRows(benchmark::State& state)
{
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
    for (auto _ : state) {
        modal.ui.fileDialogAnswers.push_back(path);
        dialog.SendMessage(WM_COMMAND, ID_OPEN_DATABASE);
        // The view takes the appended rows in one batch when events are processed.
        QCoreApplication::processEvents();
        if (dialog.m_listCalls.GetItemCount() != kBenchRows) {
            state.SkipWithError("the list does not hold every row");
            break;
        }
    }
    state.counters["rows"] = kBenchRows;
    theApp.m_pMainWnd = nullptr;
}
BENCHMARK(BM_OpenAndRefill100kAndroidRows)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv)
{
    // No display is needed: the window is built on Qt's offscreen platform, and the
    // calls' times are printed at UTC+8 as in the tests.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TZ", "CST-8", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
