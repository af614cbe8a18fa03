#include "link_fixture.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>

#include "angle.h"

std::set<DWORD> ThreadsOf(DWORD pid) {
    std::set<DWORD> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return threads;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == pid) threads.insert(entry.th32ThreadID);
    }
    CloseHandle(snapshot);
    return threads;
}

std::set<DWORD> SettledThreadsOf(DWORD pid, DWORD quietMs, DWORD guardMs) {
    const ULONGLONG end = GetTickCount64() + guardMs;
    std::set<DWORD> threads = ThreadsOf(pid);
    ULONGLONG since = GetTickCount64();
    while (GetTickCount64() - since < quietMs && GetTickCount64() < end) {
        Sleep(20);
        std::set<DWORD> now = ThreadsOf(pid);
        if (now != threads) {
            threads = std::move(now);
            since = GetTickCount64();
        }
    }
    return threads;
}

std::vector<DWORD> NewThreads(const std::set<DWORD>& before, const std::set<DWORD>& after) {
    std::vector<DWORD> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    return added;
}

ThreadWatch::~ThreadWatch() {
    if (thread_) CloseHandle(thread_);
}

bool ThreadWatch::Open(DWORD threadId) {
    thread_ = OpenThread(SYNCHRONIZE, FALSE, threadId);
    return thread_ != nullptr;
}

bool ThreadWatch::Ended() const {
    return thread_ && WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0;
}

bool ThreadWatch::WaitForEnd(DWORD guardMs, long long* endedAt) const {
    if (!thread_ || WaitForSingleObject(thread_, guardMs) != WAIT_OBJECT_0) return false;
    *endedAt = NowMicros();
    return true;
}

bool CarriesAttitude(const EngineCall& call, int32_t pitchRaw, int32_t bankRaw) {
    return call.name == "RotateNode" && call.args.size() == 4 && call.args[0] == "0" &&
           call.args[1] == LoggedFloat(RawToDegrees(pitchRaw)) && call.args[2] == "0" &&
           call.args[3] == LoggedFloat(RawToDegrees(bankRaw));
}

size_t FindRotate(const std::vector<EngineCall>& calls, int32_t pitchRaw, int32_t bankRaw,
                  long long fromMicros) {
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].micros >= fromMicros && CarriesAttitude(calls[i], pitchRaw, bankRaw)) return i;
    }
    return calls.size();
}

std::vector<EngineCall> CallsSince(const std::vector<EngineCall>& calls, const char* name,
                                   long long fromMicros) {
    std::vector<EngineCall> kept;
    for (const EngineCall& call : calls) {
        if (call.micros >= fromMicros && call.name == name) kept.push_back(call);
    }
    return kept;
}

std::vector<RecordEntry> ExchangesOf(const std::vector<RecordEntry>& entries) {
    std::vector<RecordEntry> kept;
    for (const RecordEntry& entry : entries) {
        if (!entry.change) kept.push_back(entry);
    }
    return kept;
}

long long Percentile(std::vector<long long> values, double fraction) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    size_t rank = size_t(fraction * double(values.size()) + 0.999999);
    rank = std::clamp<size_t>(rank, 1, values.size());
    return values[rank - 1];
}

long long Median(std::vector<long long> values) {
    return Percentile(std::move(values), 0.5);
}

void ReportFigure(const std::string& name, double value, const char* unit) {
    std::printf("[ figure   ] %s: %.3f %s\n", name.c_str(), value, unit);
    std::fflush(stdout);
    ::testing::Test::RecordProperty(name, std::to_string(value) + " " + unit);
}

void LinkTest::SetUp() {
    ASSERT_TRUE(NoServerWindow(5000)) << "a simulator server window is open; the gauge would "
                                         "find it instead of the test's own stand-in";
}

HWND LinkTest::StartRecordedGauge() {
    std::string error;
    HWND gauge = StartGauge(EngineBuild::Recording, &error);
    EXPECT_NE(gauge, nullptr) << error;
    if (!gauge) return nullptr;
    if (!run.WaitForCalls("FlipBuffers", 1, kStepGuardMs)) {
        ADD_FAILURE() << "no first frame:\n" << Describe(run.EngineLog());
        return nullptr;
    }
    return gauge;
}

StandInProcess* LinkTest::StartStandIn(std::vector<std::string> args, long long* readyAt) {
    const std::string path = run.PathOf("standin" + std::to_string(standIns.size()) + ".log");
    args.push_back("--record");
    args.push_back(path);
    auto standIn = std::make_unique<StandInProcess>(args);
    if (readyAt) *readyAt = NowMicros();
    if (!standIn->Started()) {
        ADD_FAILURE() << standIn->Error();
        return nullptr;
    }
    standIns.push_back(std::move(standIn));
    recordPaths.push_back(path);
    return standIns.back().get();
}

std::vector<RecordEntry> LinkTest::Record(size_t index) {
    std::vector<RecordEntry> entries;
    std::string error;
    if (index >= recordPaths.size() || !ReadServerRecord(recordPaths[index], &entries, &error)) {
        ADD_FAILURE() << "stand-in " << index << "'s record: " << error;
    }
    return entries;
}

bool LinkTest::WaitForExchanges(size_t index, uint64_t bytes, uint32_t reply, size_t count,
                                long long fromMicros, DWORD guardMs) {
    return WaitUntil(
        [&] {
            size_t seen = 0;
            for (const RecordEntry& e : Record(index)) {
                seen += !e.change && e.micros >= fromMicros && e.bytes == bytes && e.reply == reply;
            }
            return seen >= count;
        },
        guardMs);
}

bool LinkTest::WaitForRotate(int32_t pitchRaw, int32_t bankRaw, long long fromMicros, DWORD guardMs,
                             EngineCall* call) {
    return WaitUntil(
        [&] {
            const std::vector<EngineCall> calls = run.EngineLog();
            const size_t at = FindRotate(calls, pitchRaw, bankRaw, fromMicros);
            if (at == calls.size()) return false;
            *call = calls[at];
            return true;
        },
        guardMs);
}
