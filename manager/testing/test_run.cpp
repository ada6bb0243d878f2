#include "test_run.h"

#include <cstdio>

#include "../../shared/address_text.h"
#include "../catalogue/catalogue_texts.h"
#include "probe_rules.h"
#include "testing_texts.h"

void OpenTestRun(TestRun* run, ProxyCatalogue* catalogue, const std::vector<int>& selectedRows,
                 const TestingSettings& settings) {
    run->cancel = 0;
    run->number += 1;
    run->open = 1;
    run->tested = run->alive = run->dead = 0;
    run->catalogue = catalogue;
    run->slot = catalogue->currentSlot;
    run->rows.clear();
    run->addresses.clear();
    run->socks.clear();
    const ServerList& list = catalogue->lists[run->slot];
    for (int row : selectedRows) {
        if (row < 0 || row >= list.Count()) continue;
        run->rows.push_back(row);
        run->addresses.push_back(list.Row(row).text[ServerAddress]);
        run->socks.push_back(ProbesWithSocks(list.Row(row).text[ServerTypeColumn].c_str()));
    }
    run->request = HttpProbeRequest(settings.probeHost.c_str());
    run->probes = settings.probes;
    run->timeoutTicks = settings.timeoutSeconds;
}

static int HoldsRow(const TestRun* run, int row) {
    return run->open && run->catalogue != nullptr && row >= 0 && row < run->catalogue->lists[run->slot].Count();
}

int MarkRowTesting(TestRun* run, int row) {
    if (!HoldsRow(run, row)) return -1;
    SetServerText(run->catalogue, run->slot, row, ServerStatus, StatusTestingText);
    SetServerText(run->catalogue, run->slot, row, ServerDelay, "");
    return ProbesWithSocks(run->catalogue->lists[run->slot].Row(row).text[ServerTypeColumn].c_str());
}

void ApplyVerdict(TestRun* run, const ProbeVerdict& verdict, const CheckTime& time) {
    if (verdict.run != run->number || !HoldsRow(run, verdict.row)) return;
    if (verdict.delay >= 0)
        SetServerText(run->catalogue, run->slot, verdict.row, ServerDelay, std::to_string(verdict.delay).c_str());
    SetServerText(run->catalogue, run->slot, verdict.row, ServerStatus,
                  verdict.alive ? StatusAliveText : StatusDeadText);
    run->tested += 1;
    if (verdict.alive) run->alive += 1;
    else run->dead += 1;
    std::string checked = LastCheckText(time.year, time.month, time.day, time.hour, time.minute);
    SetServerText(run->catalogue, run->slot, verdict.row, ServerLastCheck, checked.c_str());
}

void CloseTestRunRows(TestRun* run) {
    if (run->catalogue == nullptr) return;
    run->open = 0;
    ProxyCatalogue* catalogue = run->catalogue;
    const ServerList& list = catalogue->lists[run->slot];
    for (int row : run->rows)
        if (row < list.Count() && list.Row(row).text[ServerStatus] == StatusTestingText)
            SetServerText(catalogue, run->slot, row, ServerStatus, StatusUntestedText);
    if (run->slot == DeadSlot || catalogue->currentSlot != run->slot) return;
    std::vector<int> deadRows;
    for (int row = 0; row < list.Count(); ++row)
        if (EqualIgnoringCase(list.Row(row).text[ServerStatus].c_str(), "dead")) deadRows.push_back(row);
    MoveServersToCategory(catalogue, deadRows, DeadSlot);
}

std::string TestingProgressText(int tested, int selected) {
    char text[RowTextSize];
    snprintf(text, sizeof text, TestingProgressFormat, tested, selected);
    return text;
}

std::string TestingCountsText(int alive, int dead) {
    char text[RowTextSize];
    snprintf(text, sizeof text, TestingCountsFormat, alive, dead);
    return text;
}
