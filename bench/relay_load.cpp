// relay_load: measures TessaronRelay.exe side by side with a plain Win32
// forwarder under the same wine, socat, and a direct connection (the
// machine's own limit). The upstream servers run in threads of this process
// on 127.0.0.1; every candidate carries the same traffic to them. Prints one
// markdown table.
//
//   relay_load [--bin DIR] [--quick | --scale F] [--candidates LIST]
//              [--wine PATH] [--verbose]
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// ---------------------------------------------------------------- constants

static const int FirstPort = 47500;
static const int LastPort = 47600;
static const uint64_t MiB = 1ull << 20;
static const uint64_t GiB = 1ull << 30;
static const double MegaByte = 1e6;  // MB/s counts 10^6 bytes

static const uint64_t SingleStreamBytes = GiB;
// Each single-stream transfer runs this often; the table shows the median.
static const int SingleRepeats = 3;
static const int StreamCount = 64;
static const uint64_t StreamBytes = 32 * MiB;
static const double ConnectSeconds = 3.0;
static const int ConnectLimit = 50000;
static const int ConnectFailureLimit = 100;
static const int RequestSize = 100;
static const int ReplySize = 100;
static const int WarmupRounds = 1000;
static const int PingRounds = 20000;
static const double IdleSeconds = 5.0;
static const double QuickScale = 1.0 / 64;
// A 1-minute load average above this before the run means other work.
static const double BusyLoad = 0.5;

// Lower bounds that keep a scaled-down run meaningful.
static const uint64_t MinimumSingleBytes = 4 * MiB;
static const uint64_t MinimumStreamBytes = 256 * 1024;
static const double MinimumConnectSeconds = 0.5;
static const int MinimumRounds = 200;
static const double MinimumIdleSeconds = 1.0;

static const size_t IoBufferSize = 256 * 1024;
static const int ServerWorkers = StreamCount + 32;
static const int ServerBacklog = 256;
// Long enough for a stream that a relay leaves waiting while it serves others.
static const int SocketTimeoutSeconds = 60;
static const double TransferDeadlineSeconds = 180.0;
static const double PingDeadlineSeconds = 60.0;
static const double StreamConnectSeconds = 60.0;
static const double StartWaitSeconds = 60.0;
static const double StopWaitSeconds = 10.0;
static const double ProcessFindSeconds = 5.0;
static const double SettleSeconds = 0.5;
// The servers' accepting threads look at their stop flag this often and end
// after ServerLifetimeSeconds at the latest.
static const int AcceptWaitSeconds = 2;
static const double ServerLifetimeSeconds = 1800.0;
static const int PollMilliseconds = 20;
// A served connection that never ends gives up after this many reads.
static const int DrainReadLimit = 1 << 20;

// What a client asks of the upstream server: the first 16 bytes of each
// connection.
enum ServerMode : uint32_t { SinkMode = 1, SourceMode = 2, EchoMode = 3, ReplyMode = 4, SourceOnGoMode = 5 };

struct ServerRequest {
    uint32_t mode;
    uint32_t unused;
    uint64_t size;  // bytes to discard (sink, reply) or to send (source)
};
static_assert(sizeof(ServerRequest) == 16, "request header is 16 bytes");

// ---------------------------------------------------------------- time

typedef std::chrono::steady_clock Clock;

static double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

static Clock::time_point After(double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

static bool Passed(Clock::time_point deadline) { return Clock::now() >= deadline; }

static void SleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// ---------------------------------------------------------------- sockets

static sockaddr_in Loopback(int port) {
    sockaddr_in where;
    std::memset(&where, 0, sizeof where);
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    where.sin_port = htons((uint16_t)port);
    return where;
}

// Blocking calls give up after SocketTimeoutSeconds; connect too.
static void LimitWaits(int fd) {
    timeval limit = {SocketTimeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

static void SetNoDelay(int fd) {
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

static int ConnectTo(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    LimitWaits(fd);
    sockaddr_in to = Loopback(port);
    if (connect(fd, (sockaddr*)&to, sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

static bool WriteAll(int fd, const char* bytes, size_t length) {
    while (length > 0) {
        ssize_t sent = send(fd, bytes, length, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        length -= (size_t)sent;
    }
    return true;
}

static bool ReadExact(int fd, char* bytes, size_t length) {
    while (length > 0) {
        ssize_t got = recv(fd, bytes, length, 0);
        if (got <= 0) return false;
        bytes += got;
        length -= (size_t)got;
    }
    return true;
}

// Sends total bytes from buffer (cycled); false when it stops early.
static bool SendVolume(int fd, const std::vector<char>& buffer, uint64_t total, Clock::time_point deadline) {
    uint64_t done = 0;
    while (done < total && !Passed(deadline)) {
        size_t chunk = (size_t)std::min<uint64_t>(buffer.size(), total - done);
        if (!WriteAll(fd, buffer.data(), chunk)) return false;
        done += chunk;
    }
    return done == total;
}

// Reads until total bytes have come; returns how many came.
static uint64_t ReceiveVolume(int fd, std::vector<char>& buffer, uint64_t total, Clock::time_point deadline) {
    uint64_t done = 0;
    while (done < total && !Passed(deadline)) {
        size_t want = (size_t)std::min<uint64_t>(buffer.size(), total - done);
        ssize_t got = recv(fd, buffer.data(), want, 0);
        if (got <= 0) break;
        done += (uint64_t)got;
    }
    return done;
}

// Reads and drops everything until the peer ends (or the reads run out).
static void DrainUntilEnd(int fd, std::vector<char>& buffer) {
    for (int i = 0; i < DrainReadLimit; ++i) {
        if (recv(fd, buffer.data(), buffer.size(), 0) <= 0) return;
    }
}

static bool SendRequest(int fd, ServerMode mode, uint64_t size) {
    ServerRequest request = {mode, 0, size};
    return WriteAll(fd, (const char*)&request, sizeof request);
}

static std::vector<char> PatternBuffer(size_t size) {
    std::vector<char> buffer(size);
    for (size_t i = 0; i < size; ++i) buffer[i] = (char)(i * 31 + 7);
    return buffer;
}

// ---------------------------------------------------------------- /proc

static std::string ReadFileText(const std::string& path) {
    std::string text;
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return text;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    std::fclose(file);
    return text;
}

// Fields of /proc/PID/stat after the command name, from field 3 (state) on.
static std::vector<std::string> StatFields(pid_t pid) {
    std::vector<std::string> fields;
    std::string text = ReadFileText("/proc/" + std::to_string(pid) + "/stat");
    size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos) return fields;
    size_t at = nameEnd + 2;
    while (at < text.size()) {
        size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        fields.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return fields;
}

static const int StateField = 3;
static const int UserTimeField = 14;  // then stime, cutime, cstime
static const int StartTimeField = 22;

static std::string StatField(const std::vector<std::string>& fields, int number) {
    size_t index = (size_t)(number - StateField);
    return index < fields.size() ? fields[index] : std::string();
}

// utime + stime + cutime + cstime in clock ticks (children count once
// reaped, which is how socat's per-connection processes show up); -1 when
// the process is gone.
static long long CpuTicks(pid_t pid) {
    std::vector<std::string> fields = StatFields(pid);
    if (fields.empty()) return -1;
    long long ticks = 0;
    for (int f = UserTimeField; f < UserTimeField + 4; ++f) ticks += std::atoll(StatField(fields, f).c_str());
    return ticks;
}

static long long StartTicks(pid_t pid) {
    std::vector<std::string> fields = StatFields(pid);
    return fields.empty() ? -1 : std::atoll(StatField(fields, StartTimeField).c_str());
}

static bool ProcessAlive(pid_t pid) {
    std::vector<std::string> fields = StatFields(pid);
    if (fields.empty()) return false;
    std::string state = StatField(fields, StateField);
    return state != "Z" && state != "X";
}

// A "Vm...:" value of /proc/PID/status in KiB; -1 when missing.
static long StatusKib(pid_t pid, const char* key) {
    std::string text = ReadFileText("/proc/" + std::to_string(pid) + "/status");
    size_t at = text.find(key);
    if (at == std::string::npos) return -1;
    return std::atol(text.c_str() + at + std::strlen(key));
}

static std::string CommandLine(pid_t pid) {
    std::string text = ReadFileText("/proc/" + std::to_string(pid) + "/cmdline");
    std::replace(text.begin(), text.end(), '\0', ' ');
    return text;
}

static std::vector<pid_t> AllProcesses() {
    std::vector<pid_t> pids;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return pids;
    while (dirent* entry = readdir(proc)) {
        pid_t pid = (pid_t)std::atoi(entry->d_name);
        if (pid > 0) pids.push_back(pid);
    }
    closedir(proc);
    return pids;
}

// A live process whose command line holds the name, started no earlier than
// sinceTicks; -1 when there is none.
static pid_t FindProcess(const char* name, long long sinceTicks) {
    for (pid_t pid : AllProcesses()) {
        if (CommandLine(pid).find(name) == std::string::npos) continue;
        if (StartTicks(pid) >= sinceTicks && ProcessAlive(pid)) return pid;
    }
    return -1;
}

static pid_t WaitForProcess(const char* name, long long sinceTicks) {
    Clock::time_point deadline = After(ProcessFindSeconds);
    while (!Passed(deadline)) {
        pid_t pid = FindProcess(name, sinceTicks);
        if (pid > 0) return pid;
        SleepSeconds(PollMilliseconds / 1000.0);
    }
    return -1;
}

// The wineserver of our prefix (the one whose environment names it), or the
// only wineserver there is.
static pid_t FindWineserver(const std::string& prefix) {
    std::vector<pid_t> servers;
    for (pid_t pid : AllProcesses()) {
        std::string name = ReadFileText("/proc/" + std::to_string(pid) + "/comm");
        if (name.compare(0, 10, "wineserver") == 0) servers.push_back(pid);
    }
    std::string wanted = "WINEPREFIX=" + prefix;
    for (pid_t pid : servers) {
        std::string environment = ReadFileText("/proc/" + std::to_string(pid) + "/environ");
        size_t at = environment.find(wanted);
        if (at != std::string::npos && (at == 0 || environment[at - 1] == '\0') &&
            (at + wanted.size() == environment.size() || environment[at + wanted.size()] == '\0'))
            return pid;
    }
    return servers.size() == 1 ? servers[0] : -1;
}

static const int PortCount = 65536;
static const char* const ListenState = "0A";

// The local ports of the machine's TCP sockets (any state, or listening
// ones only), from /proc/net/tcp and tcp6, read in one pass.
static std::vector<bool> PortsInUse(bool listeningOnly) {
    std::vector<bool> used(PortCount, false);
    const char* tables[] = {"/proc/net/tcp", "/proc/net/tcp6"};
    for (const char* table : tables) {
        std::string text = ReadFileText(table);
        size_t line = text.find('\n');  // after the heading
        while (line != std::string::npos && line + 1 < text.size()) {
            size_t next = text.find('\n', line + 1);
            // One row at a time: sscanf on the whole rest would measure all of it.
            std::string row = text.substr(line + 1, next == std::string::npos ? std::string::npos : next - line - 1);
            line = next;
            char local[64], state[8];
            if (std::sscanf(row.c_str(), "%*d: %63s %*s %7s", local, state) != 2) continue;
            const char* colon = std::strrchr(local, ':');
            if (colon != nullptr && (!listeningOnly || std::strcmp(state, ListenState) == 0))
                used[(size_t)std::strtol(colon + 1, nullptr, 16) % PortCount] = true;
        }
    }
    return used;
}

static bool PortInUse(int port, bool listeningOnly) { return PortsInUse(listeningOnly)[(size_t)port]; }

// A TcpExt counter of /proc/net/netstat (a heading line of names, then a
// line of values); -1 when missing.
static long long TcpExtCounter(const char* name) {
    std::string text = ReadFileText("/proc/net/netstat");
    size_t names = text.find("TcpExt:");
    size_t values = names == std::string::npos ? names : text.find("TcpExt:", names + 1);
    if (values == std::string::npos) return -1;
    std::string heading = text.substr(names, text.find('\n', names) - names);
    std::string numbers = text.substr(values, text.find('\n', values) - values);
    size_t h = 0, n = 0;
    while (h != std::string::npos && n != std::string::npos) {
        size_t hEnd = heading.find(' ', h), nEnd = numbers.find(' ', n);
        if (heading.compare(h, hEnd == std::string::npos ? std::string::npos : hEnd - h, name) == 0)
            return std::atoll(numbers.c_str() + n);
        h = hEnd == std::string::npos ? hEnd : hEnd + 1;
        n = nEnd == std::string::npos ? nEnd : nEnd + 1;
    }
    return -1;
}

// ---------------------------------------------------------------- server

// The upstream servers: a pool of threads that each accept one connection
// and serve it by the mode its first 16 bytes ask for.
struct LoadServer {
    int listener = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::vector<std::thread> workers;
};

static void ServeSink(int fd, uint64_t size, std::vector<char>& buffer) {
    Clock::time_point deadline = After(TransferDeadlineSeconds);
    if (ReceiveVolume(fd, buffer, size, deadline) != size) return;
    char done = 1;
    WriteAll(fd, &done, 1);
    DrainUntilEnd(fd, buffer);
}

static void ServeSource(int fd, uint64_t size, const std::vector<char>& pattern, std::vector<char>& buffer) {
    if (!SendVolume(fd, pattern, size, After(TransferDeadlineSeconds))) return;
    shutdown(fd, SHUT_WR);
    DrainUntilEnd(fd, buffer);
}

// Confirms the connection with one byte, then sends once the client's byte
// comes.
static void ServeSourceOnGo(int fd, uint64_t size, const std::vector<char>& pattern, std::vector<char>& buffer) {
    char byte = 'c';
    if (!WriteAll(fd, &byte, 1) || !ReadExact(fd, &byte, 1)) return;
    ServeSource(fd, size, pattern, buffer);
}

static void ServeEcho(int fd, std::vector<char>& buffer) {
    SetNoDelay(fd);
    Clock::time_point deadline = After(TransferDeadlineSeconds);
    while (!Passed(deadline)) {
        ssize_t got = recv(fd, buffer.data(), buffer.size(), 0);
        if (got <= 0 || !WriteAll(fd, buffer.data(), (size_t)got)) return;
    }
}

static void ServeReply(int fd, uint64_t size, const std::vector<char>& pattern, std::vector<char>& buffer) {
    if (size > buffer.size() || !ReadExact(fd, buffer.data(), (size_t)size)) return;
    WriteAll(fd, pattern.data(), ReplySize);
}

static void ServeConnection(int fd, const std::vector<char>& pattern, std::vector<char>& buffer) {
    LimitWaits(fd);
    ServerRequest request;
    if (!ReadExact(fd, (char*)&request, sizeof request)) return;
    switch (request.mode) {
    case SinkMode: ServeSink(fd, request.size, buffer); break;
    case SourceMode: ServeSource(fd, request.size, pattern, buffer); break;
    case EchoMode: ServeEcho(fd, buffer); break;
    case ReplyMode: ServeReply(fd, request.size, pattern, buffer); break;
    case SourceOnGoMode: ServeSourceOnGo(fd, request.size, pattern, buffer); break;
    default: break;
    }
}

static void ServerWorker(LoadServer* server, const std::vector<char>* pattern) {
    std::vector<char> buffer(IoBufferSize);
    Clock::time_point end = After(ServerLifetimeSeconds);
    while (!server->stopping.load() && !Passed(end)) {
        int fd = accept4(server->listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) SleepSeconds(PollMilliseconds / 1000.0);
            continue;
        }
        ServeConnection(fd, *pattern, buffer);
        close(fd);
    }
}

static bool ListenOnFreePort(LoadServer* server) {
    std::vector<bool> used = PortsInUse(false);
    for (int port = FirstPort; port <= LastPort; ++port) {
        if (used[(size_t)port]) continue;
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        timeval acceptWait = {AcceptWaitSeconds, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &acceptWait, sizeof acceptWait);
        sockaddr_in local = Loopback(port);
        if (bind(fd, (sockaddr*)&local, sizeof local) == 0 && listen(fd, ServerBacklog) == 0) {
            server->listener = fd;
            server->port = port;
            return true;
        }
        close(fd);
    }
    return false;
}

static bool StartServer(LoadServer* server, const std::vector<char>* pattern) {
    if (!ListenOnFreePort(server)) return false;
    for (int i = 0; i < ServerWorkers; ++i) server->workers.emplace_back(ServerWorker, server, pattern);
    return true;
}

// Wakes every accepting worker (shutdown makes accept fail) and joins them.
static void StopServer(LoadServer* server) {
    server->stopping.store(true);
    shutdown(server->listener, SHUT_RDWR);
    for (std::thread& worker : server->workers) worker.join();
    close(server->listener);
}

// ---------------------------------------------------------------- options

enum CandidateKind { DirectCandidate, RelayCandidate, ForwarderCandidate, SocatCandidate };
static const int CandidateKinds = 4;
static const char* const CandidateNames[CandidateKinds] = {"direct", "relay", "forwarder", "socat"};
static const char* const CandidateTitles[CandidateKinds] = {
    "direct (no relay)", "TessaronRelay.exe (wine)", "plain_forwarder.exe (wine)", "socat"};

struct Sizes {
    uint64_t singleBytes;
    uint64_t streamBytes;
    double connectSeconds;
    int warmupRounds;
    int pingRounds;
    double idleSeconds;
};

struct Options {
    std::string binFolder = "build/windows/bin";
    std::string wine;
    std::string prefix;
    std::string socat;
    double scale = 1.0;
    bool wanted[CandidateKinds] = {true, true, true, true};
    bool socatAsked = false;
    bool verbose = false;
    Sizes sizes;
};

static std::string FindOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    size_t at = 0;
    while (at <= folders.size()) {
        size_t end = folders.find(':', at);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = folders.substr(at, end - at) + "/" + program;
        if (end > at && access(candidate.c_str(), X_OK) == 0) return candidate;
        at = end + 1;
    }
    return std::string();
}

static Sizes ScaledSizes(double scale) {
    Sizes sizes;
    sizes.singleBytes = std::max(MinimumSingleBytes, (uint64_t)(SingleStreamBytes * scale));
    sizes.streamBytes = std::max(MinimumStreamBytes, (uint64_t)(StreamBytes * scale));
    sizes.connectSeconds = std::max(MinimumConnectSeconds, ConnectSeconds * scale);
    sizes.warmupRounds = std::max(MinimumRounds, (int)(WarmupRounds * scale));
    sizes.pingRounds = std::max(MinimumRounds, (int)(PingRounds * scale));
    sizes.idleSeconds = std::max(MinimumIdleSeconds, IdleSeconds * scale);
    return sizes;
}

static bool ChooseCandidates(Options* options, const std::string& list) {
    for (int k = 0; k < CandidateKinds; ++k) options->wanted[k] = false;
    size_t at = 0;
    while (at <= list.size()) {
        size_t end = list.find(',', at);
        if (end == std::string::npos) end = list.size();
        std::string name = list.substr(at, end - at);
        bool known = false;
        for (int k = 0; k < CandidateKinds; ++k) {
            if (name == CandidateNames[k]) options->wanted[k] = known = true;
        }
        if (!known) {
            std::fprintf(stderr, "unknown candidate '%s' (direct, relay, forwarder, socat)\n", name.c_str());
            return false;
        }
        at = end + 1;
    }
    options->socatAsked = options->wanted[SocatCandidate];
    return true;
}

static void PrintUsage() {
    std::fprintf(stderr,
                 "usage: relay_load [--bin DIR] [--quick | --scale F] [--candidates LIST] [--wine PATH] [--verbose]\n"
                 "  --bin DIR          folder with TessaronRelay.exe, bench_manager_host.exe, plain_forwarder.exe\n"
                 "  --quick            small sizes for a fast smoke run (scale 1/64)\n"
                 "  --scale F          sizes, rounds and durations times F (1 = the full run)\n"
                 "  --candidates LIST  comma-separated subset of direct,relay,forwarder,socat\n"
                 "  --wine PATH        the wine binary (default $WINE, then /usr/lib/wine/wine64)\n"
                 "  --verbose          keep the output of wine and socat\n");
}

static bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        bool hasValue = i + 1 < argc;
        if (option == "--bin" && hasValue) {
            options->binFolder = argv[++i];
        } else if (option == "--quick") {
            options->scale = QuickScale;
        } else if (option == "--scale" && hasValue) {
            options->scale = std::atof(argv[++i]);
            if (!(options->scale > 0)) return false;
        } else if (option == "--candidates" && hasValue) {
            if (!ChooseCandidates(options, argv[++i])) return false;
        } else if (option == "--wine" && hasValue) {
            options->wine = argv[++i];
        } else if (option == "--verbose") {
            options->verbose = true;
        } else {
            return false;
        }
    }
    return true;
}

static void CompleteOptions(Options* options) {
    const char* wine = std::getenv("WINE");
    if (options->wine.empty()) options->wine = wine != nullptr ? wine : "/usr/lib/wine/wine64";
    const char* prefix = std::getenv("WINEPREFIX");
    options->prefix = prefix != nullptr ? prefix : "";
    options->socat = FindOnPath("socat");
    options->sizes = ScaledSizes(options->scale);
}

// ---------------------------------------------------------------- candidates

struct RunningCandidate {
    CandidateKind kind;
    int port = 0;           // where clients connect
    pid_t child = -1;       // the process this program started
    pid_t measured = -1;    // the candidate process whose CPU and memory count
    int inputFd = -1;       // the child's standard input (its end ends it)
    int outputFd = -1;      // the child's standard output
    long baselineKib = -1;  // resident memory right after start
};

// A port of the range that no socket uses (not even one in TIME_WAIT, which
// would make the relay's bind fail), a new one for each candidate.
static int NextCandidatePort(int serverPort) {
    static int cursor = FirstPort;
    std::vector<bool> used = PortsInUse(false);
    for (; cursor <= LastPort; ++cursor) {
        if (cursor != serverPort && !used[(size_t)cursor]) return cursor++;
    }
    return -1;
}

// Starts a program with a pipe on its standard input and output (both of
// our ends close on exec, so no other child holds them).
static pid_t Spawn(const std::vector<std::string>& arguments, bool verbose, int* inputFd, int* outputFd) {
    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0) return -1;
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        return -1;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back((char*)argument.c_str());
    argv.push_back(nullptr);
    int quiet = verbose ? STDERR_FILENO : open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    if (!verbose) close(quiet);
    *inputFd = input[1];
    *outputFd = output[0];
    return pid;
}

// Waits for a child to end; kills it when it does not in time.
static void ReapChild(pid_t pid, double seconds) {
    Clock::time_point deadline = After(seconds);
    while (!Passed(deadline)) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        SleepSeconds(PollMilliseconds / 1000.0);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

static void WaitForProcessEnd(pid_t pid, double seconds) {
    Clock::time_point deadline = After(seconds);
    while (!Passed(deadline)) {
        if (!ProcessAlive(pid)) return;
        SleepSeconds(PollMilliseconds / 1000.0);
    }
    kill(pid, SIGKILL);
}

// Reads one line from the child's output within the time.
static std::string ReadLine(int fd, double seconds) {
    std::string line;
    Clock::time_point deadline = After(seconds);
    while (!Passed(deadline)) {
        pollfd readable = {fd, POLLIN, 0};
        if (poll(&readable, 1, PollMilliseconds * 10) <= 0) continue;
        char c;
        if (read(fd, &c, 1) != 1) break;
        if (c == '\n') break;
        if (c != '\r') line += c;
    }
    return line;
}

static bool WaitForListening(int port, pid_t child) {
    Clock::time_point deadline = After(StartWaitSeconds);
    while (!Passed(deadline)) {
        if (PortInUse(port, true)) return true;
        if (waitpid(child, nullptr, WNOHANG) == child) return false;
        SleepSeconds(PollMilliseconds / 1000.0);
    }
    return false;
}

static bool StartRelay(const Options& options, int serverPort, RunningCandidate* running) {
    std::vector<std::string> command = {options.wine, options.binFolder + "/bench_manager_host.exe",
                                        std::to_string(running->port),
                                        "127.0.0.1:" + std::to_string(serverPort)};
    running->child = Spawn(command, options.verbose, &running->inputFd, &running->outputFd);
    if (running->child < 0) return false;
    long long since = StartTicks(running->child);
    std::string line = ReadLine(running->outputFd, StartWaitSeconds);
    if (line != "ready") {
        std::fprintf(stderr, "relay: the host said '%s'\n", line.c_str());
        return false;
    }
    running->measured = WaitForProcess("TessaronRelay.exe", since);
    return running->measured > 0;
}

static bool StartForwarder(const Options& options, int serverPort, RunningCandidate* running) {
    std::vector<std::string> command = {options.wine, options.binFolder + "/plain_forwarder.exe",
                                        std::to_string(running->port), std::to_string(serverPort)};
    running->child = Spawn(command, options.verbose, &running->inputFd, &running->outputFd);
    if (running->child < 0) return false;
    long long since = StartTicks(running->child);
    if (!WaitForListening(running->port, running->child)) return false;
    running->measured = WaitForProcess("plain_forwarder.exe", since);
    return running->measured > 0;
}

static bool StartSocat(const Options& options, int serverPort, RunningCandidate* running) {
    std::vector<std::string> command = {
        options.socat, "TCP-LISTEN:" + std::to_string(running->port) + ",bind=127.0.0.1,reuseaddr,fork",
        "TCP:127.0.0.1:" + std::to_string(serverPort)};
    running->child = Spawn(command, options.verbose, &running->inputFd, &running->outputFd);
    if (running->child < 0) return false;
    running->measured = running->child;
    return WaitForListening(running->port, running->child);
}

static void StopCandidate(RunningCandidate* running) {
    if (running->kind == SocatCandidate && running->child > 0) kill(running->child, SIGTERM);
    // The host and the forwarder end when their input ends.
    if (running->inputFd >= 0) close(running->inputFd);
    if (running->child > 0) ReapChild(running->child, StopWaitSeconds);
    if (running->measured > 0 && running->measured != running->child)
        WaitForProcessEnd(running->measured, StopWaitSeconds);
    if (running->outputFd >= 0) close(running->outputFd);
    running->inputFd = running->outputFd = -1;
    running->child = running->measured = -1;
}

static bool StartCandidate(CandidateKind kind, const Options& options, int serverPort, RunningCandidate* running) {
    running->kind = kind;
    if (kind == DirectCandidate) {
        running->port = serverPort;
        return true;
    }
    running->port = NextCandidatePort(serverPort);
    if (running->port < 0) return false;
    bool started = kind == RelayCandidate       ? StartRelay(options, serverPort, running)
                   : kind == ForwarderCandidate ? StartForwarder(options, serverPort, running)
                                                : StartSocat(options, serverPort, running);
    if (!started) {
        StopCandidate(running);
        return false;
    }
    running->baselineKib = StatusKib(running->measured, "VmRSS:");
    return true;
}

// ---------------------------------------------------------------- measurements

static const double NotMeasured = NAN;

struct StreamRun {
    double aggregateMBs = NotMeasured;
    int complete = 0;                   // streams that got all their bytes
    double setupSeconds = NotMeasured;  // until all were connected
    double firstSeconds = NotMeasured;  // the first stream to have all its bytes
    double lastSeconds = NotMeasured;   // the last one (or the last to give up)
    double longestWait = NotMeasured;   // the longest any stream went without a byte
    // Handshakes the kernel dropped because a listen queue was full during
    // the run (TcpExt ListenOverflows, machine-wide).
    long long listenOverflows = -1;
};

struct Results {
    bool started = false;
    bool endedEarly = false;  // the candidate's process was gone before its measurements were done
    double uploadMBs = NotMeasured;
    double downloadMBs = NotMeasured;
    StreamRun oneByOne;
    StreamRun atOnce;
    double connectionsPerSecond = NotMeasured;
    double medianMicros = NotMeasured;
    double p99Micros = NotMeasured;
    double baselineMiB = NotMeasured;
    double peakMiB = NotMeasured;
    double idleCpuPercent = NotMeasured;
    double processCpuMsPerGB = NotMeasured;
    double wineserverCpuMsPerGB = NotMeasured;
};

static double Rate(uint64_t bytes, double seconds) { return seconds > 0 ? bytes / seconds / MegaByte : NotMeasured; }

// Upload: the client writes the volume, the server discards it and answers
// one byte once the last byte has arrived.
static double MeasureUpload(int port, uint64_t bytes, const std::vector<char>& pattern) {
    int fd = ConnectTo(port);
    if (fd < 0) return NotMeasured;
    Clock::time_point start = Clock::now();
    char done = 0;
    bool ok = SendRequest(fd, SinkMode, bytes) && SendVolume(fd, pattern, bytes, After(TransferDeadlineSeconds)) &&
              ReadExact(fd, &done, 1);
    double seconds = SecondsSince(start);
    close(fd);
    return ok ? Rate(bytes, seconds) : NotMeasured;
}

// Download: the server writes the volume; counted until the client has it all.
static double MeasureDownload(int port, uint64_t bytes) {
    int fd = ConnectTo(port);
    if (fd < 0) return NotMeasured;
    std::vector<char> buffer(IoBufferSize);
    Clock::time_point start = Clock::now();
    bool ok = SendRequest(fd, SourceMode, bytes) &&
              ReceiveVolume(fd, buffer, bytes, After(TransferDeadlineSeconds)) == bytes;
    double seconds = SecondsSince(start);
    close(fd);
    return ok ? Rate(bytes, seconds) : NotMeasured;
}

// 64 streams download at once. The clock starts when all are connected and
// let go together, and stops when the last byte of the last stream is in.
// Two ways to get there: one by one, each connection confirmed by the
// upstream server before the next (the data path alone), or all connecting
// at the same moment (the accept path under a burst as well).
enum StreamSetup { OneByOne, AllAtOnce };

struct StreamRace {
    std::mutex lock;
    std::condition_variable changed;
    int connected = 0;
    bool go = false;
    Clock::time_point start;
};

struct StreamOutcome {
    uint64_t received = 0;
    double doneSeconds = 0;  // since the start, when its last byte came (or it gave up)
    double longestWait = 0;  // the longest time without a byte, from the start on
};

// ReceiveVolume that also notes the longest wait between two reads.
static uint64_t ReceiveWatchingWaits(int fd, std::vector<char>& buffer, uint64_t total, StreamOutcome* outcome) {
    Clock::time_point deadline = After(TransferDeadlineSeconds);
    Clock::time_point last = Clock::now();
    uint64_t done = 0;
    while (done < total && !Passed(deadline)) {
        size_t want = (size_t)std::min<uint64_t>(buffer.size(), total - done);
        ssize_t got = recv(fd, buffer.data(), want, 0);
        outcome->longestWait = std::max(outcome->longestWait, SecondsSince(last));
        last = Clock::now();
        if (got <= 0) break;
        done += (uint64_t)got;
    }
    return done;
}

// The server confirms a one-by-one stream with a byte once the connection
// has reached it, and starts sending on the stream's "go" byte.
static int ConnectConfirmed(int port, uint64_t bytes) {
    int fd = ConnectTo(port);
    char confirmed = 0;
    if (fd >= 0 && SendRequest(fd, SourceOnGoMode, bytes) && ReadExact(fd, &confirmed, 1)) return fd;
    if (fd >= 0) close(fd);
    return -1;
}

static bool StartSending(int fd, StreamSetup setup, uint64_t bytes) {
    char go = 'g';
    return setup == OneByOne ? WriteAll(fd, &go, 1) : SendRequest(fd, SourceMode, bytes);
}

// fd: a confirmed connection (one by one), or -1 to connect here (at once).
static void RunStream(StreamRace* race, int port, int fd, StreamSetup setup, uint64_t bytes, StreamOutcome* outcome) {
    if (setup == AllAtOnce) fd = ConnectTo(port);
    std::unique_lock<std::mutex> hold(race->lock);
    ++race->connected;
    race->changed.notify_all();
    race->changed.wait_until(hold, After(StreamConnectSeconds + 1), [race] { return race->go; });
    bool go = race->go;
    Clock::time_point start = race->start;
    hold.unlock();
    if (fd < 0) return;
    std::vector<char> buffer(IoBufferSize);
    if (go && StartSending(fd, setup, bytes)) {
        outcome->received = ReceiveWatchingWaits(fd, buffer, bytes, outcome);
        outcome->doneSeconds = SecondsSince(start);
    }
    close(fd);
}

static void SummarizeStreams(const std::vector<StreamOutcome>& outcomes, uint64_t bytes, StreamRun* run) {
    double first = NotMeasured, last = 0, wait = 0;
    run->complete = 0;
    for (const StreamOutcome& outcome : outcomes) {
        last = std::max(last, outcome.doneSeconds);
        wait = std::max(wait, outcome.longestWait);
        if (outcome.received != bytes) continue;
        ++run->complete;
        first = std::isnan(first) ? outcome.doneSeconds : std::min(first, outcome.doneSeconds);
    }
    run->firstSeconds = first;
    run->lastSeconds = last;
    run->longestWait = wait;
    if (run->complete == StreamCount) run->aggregateMBs = Rate(bytes * StreamCount, last);
}

static std::vector<int> ConnectOneByOne(int port, uint64_t bytes) {
    std::vector<int> fds(StreamCount, -1);
    Clock::time_point deadline = After(StreamConnectSeconds);
    for (int i = 0; i < StreamCount && !Passed(deadline); ++i) fds[i] = ConnectConfirmed(port, bytes);
    return fds;
}

static void MeasureStreams(int port, StreamSetup setup, uint64_t bytes, StreamRun* run) {
    long long overflows = TcpExtCounter("ListenOverflows");
    Clock::time_point setupStart = Clock::now();
    std::vector<int> fds = setup == OneByOne ? ConnectOneByOne(port, bytes) : std::vector<int>(StreamCount, -1);
    StreamRace race;
    std::vector<StreamOutcome> outcomes(StreamCount);
    std::vector<std::thread> streams;
    for (int i = 0; i < StreamCount; ++i) streams.emplace_back(RunStream, &race, port, fds[i], setup, bytes, &outcomes[i]);
    std::unique_lock<std::mutex> hold(race.lock);
    race.changed.wait_until(hold, After(StreamConnectSeconds), [&race] { return race.connected == StreamCount; });
    run->setupSeconds = SecondsSince(setupStart);
    race.start = Clock::now();
    race.go = true;
    race.changed.notify_all();
    hold.unlock();
    for (std::thread& stream : streams) stream.join();
    SummarizeStreams(outcomes, bytes, run);
    long long overflowsAfter = TcpExtCounter("ListenOverflows");
    if (overflows >= 0 && overflowsAfter >= 0) run->listenOverflows = overflowsAfter - overflows;
}

// One connection per request: connect, ~100 bytes out, ~100 bytes back,
// close; sequential for a bounded time and count.
static double MeasureConnections(int port, double seconds) {
    std::vector<char> request(RequestSize, 'q');
    ServerRequest header = {ReplyMode, 0, RequestSize - sizeof(ServerRequest)};
    std::memcpy(request.data(), &header, sizeof header);
    char reply[ReplySize];
    int made = 0, failed = 0;
    Clock::time_point start = Clock::now();
    while (SecondsSince(start) < seconds && made < ConnectLimit && failed < ConnectFailureLimit) {
        int fd = ConnectTo(port);
        bool ok = fd >= 0 && WriteAll(fd, request.data(), request.size()) && ReadExact(fd, reply, sizeof reply);
        if (fd >= 0) close(fd);
        if (ok) {
            ++made;
        } else {
            ++failed;
        }
    }
    double elapsed = SecondsSince(start);
    return failed < ConnectFailureLimit ? made / elapsed : NotMeasured;
}

// One byte to the echo server and back, rounds times after a warm-up.
static void MeasureLatency(int port, int warmup, int rounds, Results* results) {
    int fd = ConnectTo(port);
    if (fd < 0 || !SendRequest(fd, EchoMode, 0)) {
        if (fd >= 0) close(fd);
        return;
    }
    SetNoDelay(fd);
    std::vector<double> micros;
    micros.reserve((size_t)rounds);
    Clock::time_point deadline = After(PingDeadlineSeconds);
    char byte = 'p';
    for (int i = 0; i < warmup + rounds && !Passed(deadline); ++i) {
        Clock::time_point sent = Clock::now();
        if (!WriteAll(fd, &byte, 1) || !ReadExact(fd, &byte, 1)) break;
        if (i >= warmup) micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
    }
    close(fd);
    if ((int)micros.size() < rounds) return;
    std::sort(micros.begin(), micros.end());
    results->medianMicros = micros[micros.size() / 2];
    results->p99Micros = micros[(size_t)std::ceil(micros.size() * 0.99) - 1];
}

static double TicksToMs(long long ticks) { return ticks * 1000.0 / (double)sysconf(_SC_CLK_TCK); }

static void MeasureIdleCpu(pid_t pid, double seconds, Results* results) {
    long long before = CpuTicks(pid);
    SleepSeconds(seconds);
    long long after = CpuTicks(pid);
    if (before >= 0 && after >= 0) results->idleCpuPercent = TicksToMs(after - before) / (seconds * 10.0);
}

static void Progress(const char* name, const char* what, double value, const char* unit) {
    if (std::isnan(value)) {
        std::fprintf(stderr, "  %-9s %-22s failed\n", name, what);
    } else {
        std::fprintf(stderr, "  %-9s %-22s %.1f %s\n", name, what, value, unit);
    }
}

// CPU of the candidate and of the wineserver over both single-stream runs.
struct CpuWindow {
    long long process = -1;
    long long wineserver = -1;
};

static CpuWindow SampleCpu(pid_t process, pid_t wineserver) {
    CpuWindow sample;
    if (process > 0) sample.process = CpuTicks(process);
    if (wineserver > 0) sample.wineserver = CpuTicks(wineserver);
    return sample;
}

static void RecordCpuCost(const CpuWindow& before, const CpuWindow& after, uint64_t bytes, bool wine,
                          Results* results) {
    double gigabytes = bytes / 1e9;
    if (before.process >= 0 && after.process >= 0)
        results->processCpuMsPerGB = TicksToMs(after.process - before.process) / gigabytes;
    if (wine && before.wineserver >= 0 && after.wineserver >= 0)
        results->wineserverCpuMsPerGB = TicksToMs(after.wineserver - before.wineserver) / gigabytes;
}

// The median of the measured values; not measured when any run failed.
static double Median(std::vector<double> values) {
    for (double value : values) {
        if (std::isnan(value)) return NotMeasured;
    }
    if (values.empty()) return NotMeasured;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

static void ReportStreams(const char* name, const char* what, const StreamRun& run) {
    Progress(name, what, run.aggregateMBs, "MB/s");
    std::fprintf(stderr,
                 "  %-9s   connected in %.2f s; %d of %d complete; first done after %.2f s, last after %.2f s; "
                 "longest wait for a byte %.2f s; listen overflows %lld\n",
                 name, run.setupSeconds, run.complete, StreamCount, run.firstSeconds, run.lastSeconds, run.longestWait,
                 run.listenOverflows);
}

static void MeasureCandidate(const RunningCandidate& running, const Options& options, pid_t wineserver,
                             const std::vector<char>& pattern, Results* results) {
    const Sizes& sizes = options.sizes;
    const char* name = CandidateNames[running.kind];
    bool wine = running.kind == RelayCandidate || running.kind == ForwarderCandidate;
    pid_t measured = running.measured;

    CpuWindow before = SampleCpu(measured, wineserver);
    std::vector<double> uploads, downloads;
    for (int i = 0; i < SingleRepeats; ++i) {
        uploads.push_back(MeasureUpload(running.port, sizes.singleBytes, pattern));
        Progress(name, "upload", uploads.back(), "MB/s");
        downloads.push_back(MeasureDownload(running.port, sizes.singleBytes));
        Progress(name, "download", downloads.back(), "MB/s");
    }
    results->uploadMBs = Median(uploads);
    results->downloadMBs = Median(downloads);
    SleepSeconds(SettleSeconds / 5);
    RecordCpuCost(before, SampleCpu(measured, wineserver), 2 * SingleRepeats * sizes.singleBytes, wine, results);

    MeasureStreams(running.port, OneByOne, sizes.streamBytes, &results->oneByOne);
    ReportStreams(name, "64 streams, one by one", results->oneByOne);
    MeasureStreams(running.port, AllAtOnce, sizes.streamBytes, &results->atOnce);
    ReportStreams(name, "64 streams, at once", results->atOnce);
    if (measured > 0) {
        results->peakMiB = StatusKib(measured, "VmHWM:") / 1024.0;
        results->baselineMiB = running.baselineKib / 1024.0;
    }

    results->connectionsPerSecond = MeasureConnections(running.port, sizes.connectSeconds);
    Progress(name, "connections", results->connectionsPerSecond, "/s");
    MeasureLatency(running.port, sizes.warmupRounds, sizes.pingRounds, results);
    Progress(name, "round trip median", results->medianMicros, "us");

    if (measured > 0) {
        SleepSeconds(SettleSeconds);
        MeasureIdleCpu(measured, sizes.idleSeconds, results);
        Progress(name, "idle CPU", results->idleCpuPercent, "%");
    }
}

// ---------------------------------------------------------------- report

static std::string Cell(double value, int decimals) {
    if (std::isnan(value)) return "–";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

static std::string Ratio(double relay, double forwarder, bool higherIsBetter, double target) {
    if (std::isnan(relay) || std::isnan(forwarder) || forwarder <= 0) return "n/a";
    double ratio = relay / forwarder;
    bool met = higherIsBetter ? ratio >= target : ratio <= target;
    char text[96];
    std::snprintf(text, sizeof text, "%.2f (target %s %.2f: %s)", ratio, higherIsBetter ? "≥" : "≤", target,
                  met ? "met" : "missed");
    return text;
}

static std::string AggregateCell(const StreamRun& run) {
    if (run.complete == StreamCount) return Cell(run.aggregateMBs, 0);
    return "– (" + std::to_string(run.complete) + "/" + std::to_string(StreamCount) + " done)";
}

static std::string CountCell(long long count) { return count >= 0 ? std::to_string(count) : "–"; }

static void PrintTable(const Results results[], const bool ran[]) {
    std::printf("| candidate | upload MB/s | download MB/s | 64 streams MB/s | 64 streams first / last done s | "
                "64 at once MB/s | 64 at once longest wait s | 64 at once listen overflows | connections/s | "
                "RTT median µs | RTT p99 µs | RSS at start MiB | RSS peak MiB | idle CPU %% | CPU ms/GB | "
                "wineserver CPU ms/GB |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int k = 0; k < CandidateKinds; ++k) {
        if (!ran[k]) continue;
        const Results& r = results[k];
        if (!r.started) {
            std::printf("| %s | did not start | | | | | | | | | | | | | | |\n", CandidateTitles[k]);
            continue;
        }
        if (r.endedEarly) {
            std::printf("| %s | ended during its run | | | | | | | | | | | | | | |\n", CandidateTitles[k]);
            continue;
        }
        std::string doneTimes = Cell(r.oneByOne.firstSeconds, 2) + " / " + Cell(r.oneByOne.lastSeconds, 2);
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n",
                    CandidateTitles[k], Cell(r.uploadMBs, 0).c_str(), Cell(r.downloadMBs, 0).c_str(),
                    AggregateCell(r.oneByOne).c_str(), doneTimes.c_str(), AggregateCell(r.atOnce).c_str(),
                    Cell(r.atOnce.longestWait, 2).c_str(), CountCell(r.atOnce.listenOverflows).c_str(),
                    Cell(r.connectionsPerSecond, 0).c_str(), Cell(r.medianMicros, 1).c_str(),
                    Cell(r.p99Micros, 1).c_str(), Cell(r.baselineMiB, 1).c_str(), Cell(r.peakMiB, 1).c_str(),
                    Cell(r.idleCpuPercent, 2).c_str(), Cell(r.processCpuMsPerGB, 0).c_str(),
                    Cell(r.wineserverCpuMsPerGB, 0).c_str());
    }
}

static void PrintRatios(const Results& relay, const Results& forwarder) {
    const double SingleTarget = 0.90, AggregateTarget = 0.80, LatencyTarget = 1.20;
    std::printf("\nRelay / forwarder: upload %s; download %s; 64 streams %s; RTT median %s. "
                "Besides: 64 at once %s, RTT p99 %s, connections/s %s.\n",
                Ratio(relay.uploadMBs, forwarder.uploadMBs, true, SingleTarget).c_str(),
                Ratio(relay.downloadMBs, forwarder.downloadMBs, true, SingleTarget).c_str(),
                Ratio(relay.oneByOne.aggregateMBs, forwarder.oneByOne.aggregateMBs, true, AggregateTarget).c_str(),
                Ratio(relay.medianMicros, forwarder.medianMicros, false, LatencyTarget).c_str(),
                Cell(relay.atOnce.aggregateMBs / forwarder.atOnce.aggregateMBs, 2).c_str(),
                Cell(relay.p99Micros / forwarder.p99Micros, 2).c_str(),
                Cell(relay.connectionsPerSecond / forwarder.connectionsPerSecond, 2).c_str());
}

static std::string CpuModel() {
    std::string text = ReadFileText("/proc/cpuinfo");
    size_t at = text.find("model name");
    if (at == std::string::npos) return "unknown CPU";
    size_t colon = text.find(':', at);
    size_t end = text.find('\n', at);
    if (colon == std::string::npos || colon + 2 > end) return "unknown CPU";
    return text.substr(colon + 2, end - colon - 2);
}

static std::string WineVersion(const std::string& wine) {
    std::string command = "'" + wine + "' --version 2>/dev/null </dev/null";
    FILE* output = popen(command.c_str(), "r");
    if (output == nullptr) return "wine: unknown";
    char line[256] = "";
    if (std::fgets(line, sizeof line, output) == nullptr) line[0] = '\0';
    pclose(output);
    std::string version = line;
    while (!version.empty() && (version.back() == '\n' || version.back() == '\r')) version.pop_back();
    return version.empty() ? "wine: unknown" : version;
}

static std::string Today() {
    char text[64];
    time_t now = time(nullptr);
    tm utc;
    gmtime_r(&now, &utc);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
    return text;
}

static std::string SizeText(uint64_t bytes) {
    char text[32];
    if (bytes >= GiB && bytes % GiB == 0) {
        std::snprintf(text, sizeof text, "%llu GiB", (unsigned long long)(bytes / GiB));
    } else {
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (double)MiB);
    }
    return text;
}

// The 1-minute load average: other work on the machine skews every figure.
static std::string LoadAverage() {
    std::string text = ReadFileText("/proc/loadavg");
    return text.substr(0, text.find(' '));
}

static void PrintMachine(const Options& options, const std::string& loadBefore) {
    utsname system;
    uname(&system);
    const Sizes& s = options.sizes;
    std::printf("\nMachine: %ld cores (nproc), %s, Linux %s, %s. Date: %s. Load average before the run: %s.\n",
                sysconf(_SC_NPROCESSORS_ONLN), CpuModel().c_str(), system.release, WineVersion(options.wine).c_str(),
                Today().c_str(), loadBefore.c_str());
    std::printf("Sizes: %s each way single-stream (median of %d), %d streams × %s, connections for %.1f s, %d round trips "
                "after %d warm-up, idle %.1f s (scale %g).\n",
                SizeText(s.singleBytes).c_str(), SingleRepeats, StreamCount, SizeText(s.streamBytes).c_str(), s.connectSeconds,
                s.pingRounds, s.warmupRounds, s.idleSeconds, options.scale);
}

// ---------------------------------------------------------------- main

static bool CheckWineSetup(const Options& options) {
    if (options.prefix.empty()) {
        std::fprintf(stderr, "WINEPREFIX is not set (source tools/wine-env first)\n");
        return false;
    }
    const char* programs[] = {"TessaronRelay.exe", "bench_manager_host.exe", "plain_forwarder.exe"};
    for (const char* program : programs) {
        std::string path = options.binFolder + "/" + program;
        if (access(path.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "missing %s (build the Windows tree)\n", path.c_str());
            return false;
        }
    }
    if (FindProcess("TessaronRelay.exe", 0) > 0) {
        std::fprintf(stderr, "a TessaronRelay.exe runs already; end it first\n");
        return false;
    }
    return true;
}

static bool NeedsWine(const Options& options) {
    return options.wanted[RelayCandidate] || options.wanted[ForwarderCandidate];
}

static void DropUnavailableSocat(Options* options) {
    if (!options->wanted[SocatCandidate] || !options->socat.empty()) return;
    options->wanted[SocatCandidate] = false;
    std::fprintf(stderr, "socat is not on PATH: its row is left out%s\n",
                 options->socatAsked ? "" : " (apt-get install socat adds it)");
}

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        PrintUsage();
        return 2;
    }
    CompleteOptions(&options);
    DropUnavailableSocat(&options);
    if (NeedsWine(options) && !CheckWineSetup(options)) return 1;

    std::string loadBefore = LoadAverage();
    if (std::atof(loadBefore.c_str()) > BusyLoad)
        std::fprintf(stderr, "the machine is busy (load average %s): the figures will be low\n", loadBefore.c_str());
    std::vector<char> pattern = PatternBuffer(IoBufferSize);
    LoadServer server;
    if (!StartServer(&server, &pattern)) {
        std::fprintf(stderr, "no free port for the upstream server in %d-%d\n", FirstPort, LastPort);
        return 1;
    }
    pid_t wineserver = NeedsWine(options) ? FindWineserver(options.prefix) : -1;
    if (NeedsWine(options) && wineserver < 0)
        std::fprintf(stderr, "no wineserver found (start it with $WINESERVER -p 60): its CPU is not counted\n");

    Results results[CandidateKinds];
    for (int k = 0; k < CandidateKinds; ++k) {
        if (!options.wanted[k]) continue;
        std::fprintf(stderr, "== %s\n", CandidateTitles[k]);
        RunningCandidate running;
        results[k].started = StartCandidate((CandidateKind)k, options, server.port, &running);
        if (results[k].started) {
            MeasureCandidate(running, options, wineserver, pattern, &results[k]);
            results[k].endedEarly = running.measured > 0 && !ProcessAlive(running.measured);
            if (results[k].endedEarly) std::fprintf(stderr, "  %s ended during its run\n", CandidateNames[k]);
            StopCandidate(&running);
        } else {
            std::fprintf(stderr, "  %s did not start\n", CandidateNames[k]);
        }
    }
    StopServer(&server);

    PrintTable(results, options.wanted);
    if (options.wanted[RelayCandidate] && options.wanted[ForwarderCandidate])
        PrintRatios(results[RelayCandidate], results[ForwarderCandidate]);
    PrintMachine(options, loadBefore);
    return 0;
}
