// One run of "Test Server": the servers it tests, its counts, and what it
// writes into their rows. The functions here run on the window thread; the
// batch and probe threads read only the cancel flag, the request and the
// settings, which stay as they are while the run's probes are in flight.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "../catalogue/proxy_catalogue.h"
#include "testing_settings.h"

struct TestRun {
    std::atomic<int> cancel{0};  // set when the user closes the dialog
    int number = 0;              // bumped at each opening; a verdict names its run
    int open = 0;                // verdicts may still be written into the rows
    int tested = 0;              // verdicts issued in this run
    int alive = 0;
    int dead = 0;
    ProxyCatalogue* catalogue = nullptr;
    int slot = 0;                        // the list under test: the current one at opening
    std::vector<int> rows;               // its selected rows, ascending
    std::vector<std::string> addresses;  // their addresses at opening
    std::vector<int> socks;              // 1 where the type text asks for the SOCKS greeting
    std::string request;                 // the HTTP probe request
    int probes = DefaultProbeCount;
    int timeoutTicks = DefaultProbeTimeoutSeconds;
};

// A probe's outcome on its way to the row.
struct ProbeVerdict {
    int run;
    int row;
    int alive;
    int delay;  // milliseconds to the first reply bytes; -1 when none arrived
};

// The local time of a verdict, for the last-check text.
struct CheckTime {
    int year, month, day, hour, minute;
};

// Clears the counts and the cancel flag and takes the selected rows of the
// current list, with their addresses, as the run's servers.
void OpenTestRun(TestRun* run, ProxyCatalogue* catalogue, const std::vector<int>& selectedRows,
                 const TestingSettings& settings);

// A probe starts: the row reads "Testing" and its delay is emptied. Returns
// 1 when the row is probed with the SOCKS greeting, 0 for the HTTP request,
// -1 when the run no longer holds the row.
int MarkRowTesting(TestRun* run, int row);

// Writes a verdict into its row (delay when one came, status, last check)
// and counts it. A verdict of another run, or one arriving after the run
// gave its rows up, changes nothing.
void ApplyVerdict(TestRun* run, const ProbeVerdict& verdict, const CheckTime& time);

// The closing of the run's rows: no verdict is written any more, the run's
// rows still "Testing" read "Untested" again, and unless the list under test
// is "Dead" every Dead row of it moves to "Dead" in one pass, in the order
// in which they stand (a server "Dead" holds already is dropped).
void CloseTestRunRows(TestRun* run);

// The dialog's two lines: "Testing %d of %d servers" with the verdicts
// issued and the rows selected, and "Alive: %d    Dead: %d".
std::string TestingProgressText(int tested, int selected);
std::string TestingCountsText(int alive, int dead);
