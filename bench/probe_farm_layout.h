// The fake proxy servers of the server-testing benchmark as both of its
// programs see them: probe_farm (native) serves them, probe_bench.exe (under
// wine) tests them. Every address lies in 127.77.0.0/16, on one port.
#pragma once

#include <cstddef>
#include <cstdio>

const int FarmServerCount = 1000;
const int FarmPort = 47700;
const int FarmAnswerDelayMs = 50;
// The farm's own line-based control connection: "reset", "stats".
const char FarmControlHost[] = "127.77.0.1";

enum FarmKind { FarmAlive, FarmDead, FarmRefusing, FarmSilent, FarmKindCount };

// Of every ten servers in list order: four alive, four dead, one refusing
// (no listener) and one silent (accepts, reads, never answers).
inline FarmKind FarmKindOf(int server) {
    int place = server % 10;
    if (place < 4) return FarmAlive;
    if (place < 8) return FarmDead;
    return place == 8 ? FarmRefusing : FarmSilent;
}

// 127.77.1.1 to 127.77.4.250.
inline void FarmHost(int server, char* text, size_t size) {
    std::snprintf(text, size, "127.77.%d.%d", 1 + server / 250, 1 + server % 250);
}

const char FarmAliveReply[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
const char FarmDeadReply[] = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n";

// The answer to "stats": what the farm did since the last "reset".
struct FarmStats {
    int accepted[FarmKindCount];
    int replied;
    int closedBeforeReply;  // the tester hung up before the answer was due
    int mostOpen;           // connections open at once
    double latenessMedianUs;  // answer sent after its due time
    double latenessWorstUs;
    double cpuMs;  // the farm's own CPU time
};

const char FarmStatsFormat[] = "alive %d dead %d refusing %d silent %d replied %d early %d open %d late %lf %lf cpu %lf\n";
