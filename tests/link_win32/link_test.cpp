// The live link end to end: the real horizon.exe, with the recording engine,
// against real simstandin.exe servers that come, go, and answer badly, seen from
// both sides (the engine's call log and the stand-in's record).
#include <windows.h>

#include <string>
#include <vector>

#include "angle.h"
#include "attitude_source.h"
#include "link_fixture.h"

namespace {

// Attitudes no other test draws: about 10.35 degrees nose-up with 82.8 degrees of
// left bank, then 33.3 nose-down with 151.1 of right bank.
constexpr int32_t kPitchA = -123456789, kBankA = 987654321;
constexpr int32_t kPitchB = 397284691, kBankB = -1803000000;

// Guards: a healthy link needs a fraction of each.
constexpr DWORD kLinkGuardMs = 5000;

// Whether the frames since `fromMicros` show one change of the attitude from
// `before` to `after`: the last frame carries `after`, none follows it, and a frame
// before it can only be one whose pass came between the poll worker's store of
// the pitch and its store of the bank (one new value, one old). Empty when so.
std::string DrawnOnce(const std::vector<EngineCall>& calls, long long fromMicros,
                      AttitudeRaw before, AttitudeRaw after) {
    const std::vector<EngineCall> frames = CallsSince(calls, "RotateNode", fromMicros);
    if (frames.empty() || !CarriesAttitude(frames.back(), after.pitch, after.bank) ||
        frames.size() > 2) {
        return "expected the new attitude drawn once, got:\n" + Describe(frames);
    }
    if (frames.size() == 2 && !CarriesAttitude(frames[0], after.pitch, before.bank) &&
        !CarriesAttitude(frames[0], before.pitch, after.bank)) {
        return "a frame of neither attitude before the new one:\n" + Describe(frames);
    }
    return "";
}

std::string Text(const std::vector<RecordEntry>& exchanges, size_t from = 0, size_t most = 12) {
    std::string out;
    for (size_t i = from; i < exchanges.size() && i < from + most; ++i) {
        const RecordEntry& e = exchanges[i];
        out += "  " + std::to_string(e.micros) + " " + std::to_string(e.bytes) + " " +
               std::to_string(e.reads) + " " + std::to_string(e.writes) + " " +
               std::to_string(e.reply) + "\n";
    }
    return out;
}

// The gauge starts with no simulator; the simulator comes afterwards.
TEST_F(LinkTest, ComesUpWhenTheSimulatorStartsAndDrawsItsAttitudeOnce) {
    ASSERT_NE(StartRecordedGauge(), nullptr);
    const std::set<DWORD> threadsDown = SettledThreadsOf(run.Pid(), 500, kLinkGuardMs);
    // A second without a simulator: the connect worker tries and finds nothing,
    // and the gauge stays on its first, level frame.
    Sleep(700);
    std::vector<EngineCall> calls = run.EngineLog();
    ASSERT_EQ(CallsSince(calls, "RotateNode", 0).size(), 1u) << Describe(calls);
    EXPECT_TRUE(CarriesAttitude(CallsSince(calls, "RotateNode", 0)[0], 0, 0));

    long long readyAt = 0;
    ASSERT_NE(StartStandIn({"--attitude", "fixed", "--pitch-raw", std::to_string(kPitchA),
                            "--bank-raw", std::to_string(kBankA)},
                           &readyAt),
              nullptr);
    EngineCall drawn;
    ASSERT_TRUE(WaitForRotate(kPitchA, kBankA, readyAt, kLinkGuardMs, &drawn))
        << "the stand-in's attitude was not drawn:\n"
        << Describe(run.EngineLog());
    // Half a second of polling to look at.
    ASSERT_TRUE(WaitForExchanges(0, kPollBytes, 1, 300, readyAt, kLinkGuardMs));
    Sleep(100);

    const std::vector<RecordEntry> exchanges = ExchangesOf(Record(0));
    ASSERT_FALSE(exchanges.empty());
    // The open: a first handshake batch with the write, any later ones without it,
    // then nothing but the poll batch, every one answered 1.
    const RecordEntry& open = exchanges.front();
    EXPECT_EQ(open.bytes, kFirstHandshakeBytes) << Text(exchanges);
    EXPECT_EQ(open.reads, 2u);
    EXPECT_EQ(open.writes, 1u);
    size_t firstPoll = 1;
    while (firstPoll < exchanges.size() && exchanges[firstPoll].bytes == kLaterHandshakeBytes)
        ++firstPoll;
    std::vector<long long> intervals;
    for (size_t i = firstPoll; i < exchanges.size(); ++i) {
        const RecordEntry& e = exchanges[i];
        ASSERT_TRUE(e.bytes == kPollBytes && e.reads == 3 && e.writes == 0 && e.reply == 1)
            << "exchange " << i << " is not a poll:\n"
            << Text(exchanges, i > 3 ? i - 3 : 0);
        if (i > firstPoll) intervals.push_back(e.micros - exchanges[i - 1].micros);
    }
    ASSERT_GE(intervals.size(), 100u);
    const long long median = Median(intervals);
    ReportFigure("stand-in ready -> first handshake exchange", double(open.micros - readyAt) / 1e3,
                 "ms");
    ReportFigure("first handshake exchange -> RotateNode", double(drawn.micros - open.micros) / 1e3,
                 "ms");
    ReportFigure("median interval between polls", double(median) / 1e3, "ms");
    ReportFigure("90th percentile interval between polls", double(Percentile(intervals, 0.9)) / 1e3,
                 "ms");
    // A loose guard: the poll worker pauses 1 ms after each exchange.
    EXPECT_LT(median, 10000);
    EXPECT_GE(median, 900) << "the poll worker does not pause its millisecond";
    EXPECT_LT(open.micros - readyAt, 5000000) << "the connect worker tries once a second";

    // The attitude does not move: one frame drew it, and none followed.
    calls = run.EngineLog();
    EXPECT_EQ(DrawnOnce(calls, readyAt, {0, 0}, {kPitchA, kBankA}), "");
    const size_t at = FindRotate(calls, kPitchA, kBankA, readyAt);
    ASSERT_LT(at + 1, calls.size());
    EXPECT_EQ(
        MatchCall(calls[at + 1], "RotateEntity2 3 0 0 " + LoggedFloat(RawToDegrees(kBankA)) + " 0"),
        "");
    // The link brought exactly one more thread: the poll worker.
    EXPECT_EQ(NewThreads(threadsDown, ThreadsOf(run.Pid())).size(), 1u);
}

// The simulator killed: the poll worker's exchange fails nine times, the link goes
// down and its worker ends; the picture stays; a new simulator brings it back.
TEST_F(LinkTest, SurvivesTheSimulatorKilledAndFollowsTheNextOne) {
    ASSERT_NE(StartRecordedGauge(), nullptr);
    const std::set<DWORD> threadsDown = SettledThreadsOf(run.Pid(), 500, kLinkGuardMs);
    long long readyAt = 0;
    StandInProcess* first = StartStandIn(
        {"--pitch-raw", std::to_string(kPitchA), "--bank-raw", std::to_string(kBankA)}, &readyAt);
    ASSERT_NE(first, nullptr);
    EngineCall drawn;
    ASSERT_TRUE(WaitForRotate(kPitchA, kBankA, readyAt, kLinkGuardMs, &drawn))
        << Describe(run.EngineLog());
    const std::vector<DWORD> pollers = NewThreads(threadsDown, ThreadsOf(run.Pid()));
    ASSERT_EQ(pollers.size(), 1u) << "no one poll worker with the link up";
    ThreadWatch poller;
    ASSERT_TRUE(poller.Open(pollers[0]));

    // Taken before the kill: the server's window is gone no earlier than this.
    const long long killedAt = NowMicros();
    first->Kill();
    long long pollerEndedAt = 0;
    ASSERT_TRUE(poller.WaitForEnd(kLinkGuardMs, &pollerEndedAt))
        << "the poll worker still runs with the simulator gone";
    const long long down = pollerEndedAt - killedAt;
    ReportFigure("simulator killed -> poll worker ended", double(down) / 1e3, "ms");
    // Nine attempts with a pause of 100 ms after each come first.
    EXPECT_GE(down, 880000) << "the link went down before the exchange's nine attempts";

    // A while without a simulator: nothing is drawn, the last attitude stays.
    Sleep(700);
    const std::set<DWORD> threadsAfter = ThreadsOf(run.Pid());
    EXPECT_EQ(threadsAfter, threadsDown) << "a poll worker runs with the link down";
    long long readyAgainAt = 0;
    ASSERT_NE(
        StartStandIn({"--pitch-raw", std::to_string(kPitchB), "--bank-raw", std::to_string(kBankB)},
                     &readyAgainAt),
        nullptr);
    std::vector<EngineCall> calls = run.EngineLog();
    EXPECT_TRUE(CallsSince(calls, "RotateNode", killedAt).empty()) << "drawn with no simulator:\n"
                                                                   << Describe(calls);

    EngineCall again;
    ASSERT_TRUE(WaitForRotate(kPitchB, kBankB, readyAgainAt, kLinkGuardMs, &again))
        << Describe(run.EngineLog());
    EXPECT_EQ(DrawnOnce(run.EngineLog(), killedAt, {kPitchA, kBankA}, {kPitchB, kBankB}), "");
    const std::vector<RecordEntry> exchanges = ExchangesOf(Record(1));
    ASSERT_FALSE(exchanges.empty());
    EXPECT_EQ(exchanges.front().bytes, kFirstHandshakeBytes) << Text(exchanges);
    ReportFigure("second simulator ready -> its first handshake exchange",
                 double(exchanges.front().micros - readyAgainAt) / 1e3, "ms");
    EXPECT_LT(exchanges.front().micros - readyAgainAt, 5000000);
    EXPECT_EQ(NewThreads(threadsDown, ThreadsOf(run.Pid())).size(), 1u)
        << "one new poll worker with the link back";
}

// A server that answers 2: the poll's exchange fails at once (no retry), the link
// goes down, a reopen that meets the fault fails too, and once the server
// answers 1 again the link comes back and the picture follows the simulator.
TEST_F(LinkTest, BadReplyDropsTheLinkAtOnceUntilTheServerAnswersOneAgain) {
    ASSERT_NE(StartRecordedGauge(), nullptr);
    const std::set<DWORD> threadsDown = SettledThreadsOf(run.Pid(), 500, kLinkGuardMs);
    // Exchange 0 is the handshake; polls follow about once a millisecond, so the
    // fault comes a second or more after the link, long after the poll worker
    // has been seen. It lasts for the failing poll and one reopen.
    const uint32_t faultAt = 1200;
    long long readyAt = 0;
    ASSERT_NE(StartStandIn({"--attitude", "steps", "--step-ms", "100", "--fault-after",
                            std::to_string(faultAt), "--fault-count", "2", "--reply", "2"},
                           &readyAt),
              nullptr);
    ASSERT_TRUE(WaitForExchanges(0, kPollBytes, 1, 1, readyAt, kLinkGuardMs));
    ASSERT_TRUE(WaitUntil([&] { return NewThreads(threadsDown, ThreadsOf(run.Pid())).size() == 1; },
                          kLinkGuardMs));
    ThreadWatch poller;
    ASSERT_TRUE(poller.Open(NewThreads(threadsDown, ThreadsOf(run.Pid()))[0]));
    long long pollerEndedAt = 0;
    ASSERT_TRUE(poller.WaitForEnd(20000, &pollerEndedAt)) << "the link never went down";

    // Back: the handshake answered 1 after the faults, and polls after it.
    ASSERT_TRUE(WaitForExchanges(0, kPollBytes, 1, 10, pollerEndedAt, 3 * kLinkGuardMs));
    const std::vector<RecordEntry> exchanges = ExchangesOf(Record(0));
    ASSERT_GT(exchanges.size(), faultAt + 3);
    const RecordEntry& failed = exchanges[faultAt];
    const RecordEntry& refusedOpen = exchanges[faultAt + 1];
    const RecordEntry& reopen = exchanges[faultAt + 2];
    const std::string around = Text(exchanges, faultAt - 2, 8);
    EXPECT_TRUE(failed.bytes == kPollBytes && failed.reply == 2) << around;
    // No poll after the bad reply: the next exchange is already a reopen.
    EXPECT_TRUE(refusedOpen.bytes == kFirstHandshakeBytes && refusedOpen.reply == 2) << around;
    EXPECT_TRUE(reopen.bytes == kFirstHandshakeBytes && reopen.reply == 1) << around;
    EXPECT_TRUE(exchanges[faultAt + 3].bytes == kPollBytes && exchanges[faultAt + 3].reply == 1)
        << around;
    ReportFigure("bad reply -> poll worker ended", double(pollerEndedAt - failed.micros) / 1e3,
                 "ms");
    ReportFigure("bad reply -> reopen attempt", double(refusedOpen.micros - failed.micros) / 1e3,
                 "ms");
    ReportFigure("refused reopen -> next reopen", double(reopen.micros - refusedOpen.micros) / 1e3,
                 "ms");
    EXPECT_LT(pollerEndedAt - failed.micros, 1000000) << "the link stayed up after a bad reply";
    EXPECT_LT(refusedOpen.micros - failed.micros, 5000000);
    // The connect worker pauses a second after its failed attempt.
    EXPECT_GE(reopen.micros - refusedOpen.micros, 900000);

    // While down, nothing new is drawn: only what the last good polls brought,
    // whose pass may come just after the failed exchange (and, should the pass
    // fall between the poll worker's two stores, a frame with one value of each).
    // Afterwards a step that began after the link came back is drawn.
    const std::vector<RecordEntry> entries = Record(0);
    long long start = -1;
    for (const RecordEntry& e : entries) {
        if (e.change) {
            start = e.micros;
            break;
        }
    }
    ASSERT_GE(start, 0) << "no step in the record";
    const AttitudeRaw lastPolled =
        SteppedAttitude(StepAt(100, exchanges[faultAt - 1].micros - start));
    const AttitudeRaw polledBefore =
        SteppedAttitude(StepAt(100, exchanges[faultAt - 2].micros - start));
    std::vector<EngineCall> whileDown;
    for (const EngineCall& call : CallsSince(run.EngineLog(), "RotateNode", failed.micros)) {
        if (call.micros < reopen.micros) whileDown.push_back(call);
    }
    EXPECT_LE(whileDown.size(), 2u) << Describe(whileDown);
    for (const EngineCall& call : whileDown) {
        bool polled = false;
        for (int32_t pitch : {lastPolled.pitch, polledBefore.pitch}) {
            for (int32_t bank : {lastPolled.bank, polledBefore.bank})
                polled = polled || CarriesAttitude(call, pitch, bank);
        }
        EXPECT_TRUE(polled) << "drawn while down: " << Describe(call);
    }
    if (!whileDown.empty()) {
        EXPECT_TRUE(CarriesAttitude(whileDown.back(), lastPolled.pitch, lastPolled.bank))
            << Describe(whileDown);
    }
    const uint64_t later = StepAt(100, reopen.micros - start) + 1;
    const AttitudeRaw next = SteppedAttitude(later);
    EngineCall drawn;
    EXPECT_TRUE(WaitForRotate(next.pitch, next.bank, reopen.micros, kLinkGuardMs, &drawn))
        << "step " << later << " was not drawn after the link came back:\n"
        << Describe(CallsSince(run.EngineLog(), "RotateNode", reopen.micros));
}

// A server that answers 1 but breaks the batch's headers: the client's walk
// stops at the broken record and copies nothing from there on, the exchange still
// succeeds and the link stays up. Values that were not copied are not new values:
// the gauge keeps drawing the attitude it had (the poll worker once stored 0 for
// them and drew a level pitch or bank for the length of the fault).
struct BrokenHeaders {
    const char* tamper;
    const char* what;
};

class BrokenHeadersTest : public LinkTest, public ::testing::WithParamInterface<BrokenHeaders> {};

TEST_P(BrokenHeadersTest, KeepTheAttitudeTheWalkDidNotCopy) {
    ASSERT_NE(StartRecordedGauge(), nullptr);
    const uint32_t faultAt = 800, faultCount = 400;
    long long readyAt = 0;
    ASSERT_NE(
        StartStandIn({"--pitch-raw", std::to_string(kPitchA), "--bank-raw", std::to_string(kBankA),
                      "--fault-after", std::to_string(faultAt), "--fault-count",
                      std::to_string(faultCount), "--tamper", GetParam().tamper},
                     &readyAt),
        nullptr);
    EngineCall drawn;
    ASSERT_TRUE(WaitForRotate(kPitchA, kBankA, readyAt, kLinkGuardMs, &drawn))
        << Describe(run.EngineLog());
    // Well past the fault, with good polls after it.
    ASSERT_TRUE(WaitUntil([&] { return ExchangesOf(Record(0)).size() > faultAt + faultCount + 50; },
                          3 * kLinkGuardMs));
    const std::vector<RecordEntry> exchanges = ExchangesOf(Record(0));
    for (size_t i = 0; i < exchanges.size(); ++i) {
        ASSERT_EQ(exchanges[i].reply, 1u) << "exchange " << i;
        ASSERT_EQ(exchanges[i].bytes, i == 0 ? kFirstHandshakeBytes : kPollBytes)
            << "exchange " << i << ": the link went down";
    }
    const std::vector<EngineCall> calls = run.EngineLog();
    EXPECT_EQ(DrawnOnce(calls, readyAt, {0, 0}, {kPitchA, kBankA}), "")
        << "with " << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Tamper, BrokenHeadersTest,
    ::testing::Values(BrokenHeaders{"type", "the first record's type broken: nothing copied"},
                      BrokenHeaders{"offset", "the second record's offset changed: only the pitch "
                                              "copied"}),
    [](const auto& row) { return std::string(row.param.tamper); });

// Moved, also past the screen's top-left corner, and closed while the poll
// worker runs: the settings hold the last position, and the simulator lives on.
TEST_F(LinkTest, MovedAndClosedWhileTheLinkIsUpSavesTheLastPosition) {
    HWND gauge = StartRecordedGauge();
    ASSERT_NE(gauge, nullptr);
    long long readyAt = 0;
    StandInProcess* standIn = StartStandIn({"--attitude", "script"}, &readyAt);
    ASSERT_NE(standIn, nullptr);
    ASSERT_TRUE(WaitForExchanges(0, kPollBytes, 1, 1, readyAt, kLinkGuardMs));

    const POINT moves[] = {{120, 80}, {-25, -15}};
    for (const POINT& to : moves) {
        ASSERT_TRUE(SetWindowPos(gauge, nullptr, to.x, to.y, 0, 0,
                                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
        RECT frame{};
        EXPECT_TRUE(WaitUntil(
            [&] { return GetWindowRect(gauge, &frame) && frame.left == to.x && frame.top == to.y; },
            kStepGuardMs));
    }
    // Polled and drawn after the last move: the link is up as the close comes.
    const long long movedAt = NowMicros();
    ASSERT_TRUE(WaitForExchanges(0, kPollBytes, 1, 20, movedAt, kLinkGuardMs));
    ASSERT_TRUE(WaitUntil(
        [&] { return !CallsSince(run.EngineLog(), "RotateNode", movedAt).empty(); }, kLinkGuardMs))
        << "the scripted attitude is not drawn";

    DWORD code = 1;
    std::string settings, error;
    const long long closeAt = NowMicros();
    ASSERT_TRUE(CloseGauge(gauge, &code, &settings, &error)) << error;
    ReportFigure("close asked -> gauge ended, link up", double(NowMicros() - closeAt) / 1e3, "ms");
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(settings, SettingsFor(-25, -15));

    // The gauge left in the middle of its session; the stand-in goes on serving.
    EXPECT_TRUE(standIn->child().Running());
    ServerCounts counts{};
    EXPECT_TRUE(standIn->Close(&counts)) << standIn->child().Output();
    EXPECT_GT(counts.exchanges, 20u);
}

// A simulator that stops answering holds the poll worker in its exchange, with
// the link's lock, for nine time-outs of 2 s: the main loop does not wait for it,
// so the gauge still closes, saves and exits with 0 well within that time.
TEST_F(LinkTest, ClosesWhileTheSimulatorHangs) {
    HWND gauge = StartRecordedGauge();
    ASSERT_NE(gauge, nullptr);
    long long readyAt = 0;
    StandInProcess* standIn = StartStandIn({"--fault-after", "200", "--hang"}, &readyAt);
    ASSERT_NE(standIn, nullptr);
    ASSERT_TRUE(standIn->child().WaitForLine("simstandin: hanging", kLinkGuardMs))
        << standIn->child().Output();
    Sleep(300); // the poll worker waits in its exchange
    DWORD code = 1;
    std::string settings, error;
    const long long closeAt = NowMicros();
    ASSERT_TRUE(CloseGauge(gauge, &code, &settings, &error)) << error;
    ReportFigure("close asked -> gauge ended, simulator hung", double(NowMicros() - closeAt) / 1e3,
                 "ms");
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(settings, SettingsFor(0, 0));
    // CloseGauge's guard (kStepGuardMs, 10 s) is well below what the exchange has
    // left (over 18 s): a gauge that waited for its poll worker fails there.
}

} // namespace
