// The server store on a clock of its own: what lists a server, what keeps it listed, what drops it.
#include "server_store.h"

#include "server_page.h"
#include "web_routes.h"

#include <gtest/gtest.h>

namespace skerrow_master {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const ListEntry SERVER = FromOctets(0x0A000001, 27910); // 10.0.0.1:27910

CheckTiming FastTiming() {
    CheckTiming timing;
    timing.retry_after = milliseconds(100);
    timing.tries = 3;
    timing.recheck = seconds(10);
    timing.heartbeat_recheck = seconds(5);
    timing.expire = seconds(60);
    return timing;
}

class StoreTest : public testing::Test {
protected:
    explicit StoreTest(StoreLimits limits = {})
        : store_(limits, FastTiming(), [this](const std::string& line) { log_.push_back(line); }) {}

    // Sends every due check, as the checker would; returns how many went out.
    int SendChecks() {
        int sent = 0;
        while (store_.NextCheck(now_)) {
            ++sent;
        }
        return sent;
    }
    void Pass(Clock::duration time) {
        now_ += time;
        store_.Sweep(now_);
    }
    std::string List(std::string_view mod = "") const {
        std::string body;
        store_.AppendList(mod, 10922, &body);
        return body;
    }
    void ListServer(const ListEntry& address, const char* gamename) {
        store_.Offer(address, now_);
        SendChecks();
        ASSERT_TRUE(store_.TakeReply(address, gamename, now_));
    }

    Clock::time_point now_ = Clock::time_point() + seconds(1000);
    std::vector<std::string> log_;
    ServerStore store_;
};

std::string Entry(const ListEntry& address) {
    std::string body;
    AppendListEntry(&body, address);
    return body;
}

TEST_F(StoreTest, AHeartbeatListsTheServerOnlyOnceItAnswersTheCheck) {
    EXPECT_EQ(store_.Offer(SERVER, now_), OfferResult::Added);
    EXPECT_EQ(List(), "") << "a candidate is not listed";
    EXPECT_FALSE(store_.TakeReply(SERVER, "ctf", now_)) << "no check sent yet: the reply is not ours";
    ASSERT_EQ(store_.NextCheck(now_), std::optional<ListEntry>(SERVER));
    EXPECT_TRUE(store_.TakeReply(SERVER, "ctf", now_));
    EXPECT_EQ(List(), Entry(SERVER));
    EXPECT_FALSE(store_.TakeReply(SERVER, "ctf", now_)) << "one reply per check";
    EXPECT_EQ(log_.back(), "listed 10.0.0.1:27910 gamename=ctf");
}

TEST_F(StoreTest, ACandidateThatNeverAnswersIsAskedThreeTimesAndForgotten) {
    store_.Offer(SERVER, now_);
    int sent = SendChecks();
    for (int pass = 0; pass < 10; ++pass) {
        Pass(milliseconds(100));
        sent += SendChecks();
    }
    EXPECT_EQ(sent, 3);
    EXPECT_EQ(store_.candidates(), 0u);
    EXPECT_EQ(store_.TakeCounts().unverified, 1u);
    EXPECT_EQ(store_.Offer(SERVER, now_), OfferResult::Added) << "a later heartbeat starts over";
}

TEST_F(StoreTest, AListedServerIsCheckedAgainAndDroppedOnlyAfterTheExpiryWithoutAnswers) {
    ListServer(SERVER, "ctf");
    // Its rounds come at its own moment of the 10 s cycle: the first after 5 to 15 s, then every 10 s.
    int waited = 0;
    for (; SendChecks() == 0 && waited < 20; ++waited) {
        Pass(seconds(1));
    }
    EXPECT_GE(waited, 5);
    EXPECT_LE(waited, 15);
    ASSERT_TRUE(store_.TakeReply(SERVER, "CTF", now_));
    EXPECT_EQ(log_.back(), "gamename 10.0.0.1:27910 ctf -> CTF");
    Pass(seconds(9));
    EXPECT_EQ(SendChecks(), 0);
    Pass(seconds(1));
    ASSERT_EQ(SendChecks(), 1) << "the round after the re-check interval";
    ASSERT_TRUE(store_.TakeReply(SERVER, "CTF", now_));

    // From now on it stays silent: listed through the failed rounds until 60 s after its last answer.
    for (int second = 1; second < 60; ++second) {
        Pass(seconds(1));
        SendChecks();
        ASSERT_EQ(store_.listed(), 1u) << "after " << second << " s";
    }
    Pass(seconds(1));
    EXPECT_EQ(store_.listed(), 0u);
    EXPECT_EQ(log_.back(), "unlisted 10.0.0.1:27910: no answer for the expiry time");
}

TEST_F(StoreTest, ServersListedTogetherAreCheckedAgainAtASteadyPace) {
    // 600 servers answer at the same moment (after a restart, say): their re-checks spread over the 10 s cycle.
    for (uint32_t i = 1; i <= 600; ++i) {
        store_.Offer(FromOctets(0x0A000000 + i, 27910), now_);
    }
    auto answer_all = [&] {
        int sent = 0;
        while (std::optional<ListEntry> next = store_.NextCheck(now_)) {
            EXPECT_TRUE(store_.TakeReply(*next, "ctf", now_));
            ++sent;
        }
        return sent;
    };
    ASSERT_EQ(answer_all(), 600);
    int checked = 0, busiest = 0;
    for (int second = 0; second < 20; ++second) {
        Pass(seconds(1));
        int sent = answer_all();
        checked += sent;
        busiest = std::max(busiest, sent);
    }
    EXPECT_EQ(store_.listed(), 600u);
    EXPECT_GE(checked, 600) << "each at least once in 20 s";
    EXPECT_LE(busiest, 100) << "60 a second on average, never all at once";
}

TEST_F(StoreTest, AHeartbeatOfAListedServerStartsARoundOnlyWhenTheLastOneIsOldEnough) {
    ListServer(SERVER, "ctf");
    EXPECT_EQ(store_.Offer(SERVER, now_ + seconds(4)), OfferResult::Known);
    EXPECT_FALSE(store_.HasChecksDue());
    EXPECT_EQ(store_.Offer(SERVER, now_ + seconds(5)), OfferResult::Known);
    EXPECT_TRUE(store_.HasChecksDue());
}

TEST_F(StoreTest, AShutdownUnlistsAtOnceAndAServerThatStillAnswersComesBack) {
    ListServer(SERVER, "ctf");
    store_.Shutdown(SERVER, now_);
    EXPECT_EQ(List(), "");
    EXPECT_EQ(SendChecks(), 1);
    ASSERT_TRUE(store_.TakeReply(SERVER, "ctf", now_)) << "a forged shutdown costs a server one round trip";
    EXPECT_EQ(List(), Entry(SERVER));

    store_.Shutdown(SERVER, now_);
    for (int pass = 0; pass < 10; ++pass) {
        SendChecks();
        Pass(milliseconds(100));
    }
    EXPECT_EQ(store_.listed() + store_.candidates(), 0u) << "a server that really left is forgotten";
}

TEST_F(StoreTest, TheListIsFilteredByGamenameIgnoringCaseAndCut) {
    const ListEntry a = FromOctets(0x0A000001, 1), b = FromOctets(0x0A000002, 2), c = FromOctets(0x0A000003, 3);
    ListServer(a, "CTF");
    ListServer(b, "ctf");
    ListServer(c, "action");
    EXPECT_EQ(List("Ctf").size(), 12u);
    EXPECT_EQ(List("action"), Entry(c));
    EXPECT_EQ(List("act"), "");
    EXPECT_EQ(List().size(), 18u);
    std::string cut;
    store_.AppendList("", 2, &cut);
    EXPECT_EQ(cut.size(), 12u);
    EXPECT_EQ(store_.ListedGameNames(), (std::vector<std::string>{"CTF", "action"}));

    // The filters answer is built again once the list has changed, at most once a second.
    FiltersText filters;
    EXPECT_EQ(filters.Get(store_, {}, now_), "CTF\nCTF\naction\naction\n");
    ListServer(FromOctets(0x0A000004, 4), "lithium");
    EXPECT_EQ(filters.Get(store_, {}, now_ + milliseconds(999)), "CTF\nCTF\naction\naction\n");
    EXPECT_EQ(filters.Get(store_, {}, now_ + seconds(1)), "CTF\nCTF\naction\naction\nlithium\nlithium\n");

    // The page (and the API) are made from a picture taken again once an answer or the list has changed, at most
    // every period, and each answer once per picture; the page sorts by its column, the most players first.
    AnswerCache answers(seconds(2));
    int built = 0;
    auto page = [&](PageSort sort, Clock::time_point when) {
        PageQuery query{"ctf", sort, 1};
        return *answers.Get(store_, PageKey(query), when, [&](const ListPicture& picture) {
            ++built;
            return BuildServerPage(picture, query);
        });
    };
    std::string before = page(PageSort::Players, now_);
    EXPECT_EQ(page(PageSort::Players, now_ + seconds(9)), before);
    EXPECT_EQ(built, 1) << "nothing changed: one answer for every request";
    Pass(seconds(15)); // their re-checks are due: one and a half intervals at the latest
    SendChecks();
    ServerStatus busy;
    busy.gamename = "ctf";
    busy.hostname = "Busy";
    busy.players.Add("p1", 1, 10);
    busy.players.Add("p2", 2, 20);
    ASSERT_TRUE(store_.TakeReply(b, busy, now_));
    std::string after = page(PageSort::Players, now_);
    EXPECT_EQ(built, 2);
    EXPECT_LT(after.find(">Busy<"), after.find(">10.0.0.1:1<")) << after;
    EXPECT_NE(after.find("p2 <small>2 frags, 20 ms</small>"), std::string::npos) << after;
    ASSERT_TRUE(store_.TakeReply(a, "CTF", now_));
    EXPECT_EQ(page(PageSort::Players, now_ + seconds(1)), after) << "within the period: the same picture";
    page(PageSort::Players, now_ + seconds(2));
    EXPECT_EQ(built, 3) << "a new picture once the period has passed";
    std::string by_address = page(PageSort::Address, now_ + seconds(2));
    EXPECT_EQ(built, 4);
    EXPECT_LT(by_address.find(">10.0.0.1:1<"), by_address.find(">Busy<"));
}

TEST_F(StoreTest, RestoredServersAreListedWithTheirAgeAndCheckedAtOnce) {
    const int64_t now_seconds = 2000000000;
    std::vector<SavedServer> saved = {
        {FromOctets(0x0A000001, 1), now_seconds - 30, "ctf"},
        {FromOctets(0x0A000002, 2), now_seconds - 60, "ctf"}, // as old as the expiry: listed only if it answers
        {FromOctets(0x0A000003, 3), now_seconds + 500,
         "action"},                                             // from a clock that ran ahead: counts as now, no later
        {FromOctets(0x0A000004, 4), now_seconds - 5000, "tdm"}, // a clock that jumped while the service was down
    };
    RestoreCounts taken = store_.Restore(saved, now_, now_seconds);
    EXPECT_EQ(taken.listed, 2u);
    EXPECT_EQ(taken.candidates, 2u);
    EXPECT_EQ(store_.listed(), 2u);
    EXPECT_EQ(store_.restore_pending(), 4u);
    EXPECT_EQ(SendChecks(), 4);
    ASSERT_TRUE(store_.TakeReply(FromOctets(0x0A000004, 4), "tdm", now_));
    EXPECT_EQ(store_.listed(), 3u);
    EXPECT_EQ(store_.restore_pending(), 3u);
    for (int pass = 0; pass < 10; ++pass) { // the others' rounds end unanswered
        Pass(milliseconds(100));
        SendChecks();
    }
    EXPECT_EQ(store_.restore_pending(), 0u);
    EXPECT_EQ(store_.candidates(), 0u) << "the old one that never answered is forgotten";
    EXPECT_EQ(store_.listed(), 3u) << "listed ones stay until their expiry";
    Pass(seconds(29));
    EXPECT_EQ(store_.listed(), 2u) << "the one last heard 30 s before the restart expired 30 s after it";
    std::vector<SavedServer> snapshot = store_.Snapshot(now_, now_seconds + 30);
    ASSERT_EQ(snapshot.size(), 2u);
    for (const SavedServer& server : snapshot) {
        EXPECT_EQ(server.last_answer, now_seconds) << server.gamename << ": last heard at the restart, no later";
    }
}

TEST_F(StoreTest, ChecksOfKnownServersGoFirstThenNewCandidatesNewestFirstThenRetries) {
    const ListEntry known = FromOctets(0x0A000001, 1), retried = FromOctets(0x0A000002, 2),
                    fresh = FromOctets(0x0A000003, 3), fresher = FromOctets(0x0A000004, 4);
    ListServer(known, "ctf");
    store_.Offer(retried, now_);
    ASSERT_EQ(store_.NextCheck(now_), std::optional<ListEntry>(retried));
    Pass(seconds(15)); // the known server's round is due (within one and a half intervals), the candidate's retry too
    store_.Offer(fresh, now_);
    store_.Offer(fresher, now_);
    EXPECT_EQ(store_.NextCheck(now_), std::optional<ListEntry>(known));
    EXPECT_EQ(store_.NextCheck(now_), std::optional<ListEntry>(fresher));
    EXPECT_EQ(store_.NextCheck(now_), std::optional<ListEntry>(fresh));
    EXPECT_EQ(store_.NextCheck(now_), std::optional<ListEntry>(retried));
    EXPECT_FALSE(store_.HasChecksDue());
}

TEST_F(StoreTest, UncheckableAddressesAreNeverAsked) {
    for (ListEntry address : {FromOctets(0x0A000001, 0), FromOctets(0x00000001, 27910), FromOctets(0xE0000001, 27910),
                              FromOctets(0xFFFFFFFF, 27910)}) {
        EXPECT_EQ(store_.Offer(address, now_), OfferResult::Uncheckable) << FormatAddress(address);
    }
    EXPECT_FALSE(store_.HasChecksDue());
    // The edges just inside are asked.
    for (ListEntry address : {FromOctets(0x01000000, 1), FromOctets(0xDFFFFFFF, 65535)}) {
        EXPECT_EQ(store_.Offer(address, now_), OfferResult::Added) << FormatAddress(address);
    }
}

class LimitedStoreTest : public StoreTest {
protected:
    LimitedStoreTest() : StoreTest(StoreLimits{6, 4, 3}) {}
};

TEST_F(LimitedStoreTest, FullTablesForgetTheOldestCandidateButNeverAListedServer) {
    for (uint16_t port = 1; port <= 3; ++port) {
        EXPECT_EQ(store_.Offer(FromOctets(0x0A000001, port), now_), OfferResult::Added);
    }
    EXPECT_EQ(store_.Offer(FromOctets(0x0A000001, 4), now_), OfferResult::AddressFull);
    EXPECT_EQ(store_.Offer(FromOctets(0x0A000002, 1), now_), OfferResult::Added);
    EXPECT_EQ(store_.Offer(FromOctets(0x0A000003, 1), now_), OfferResult::Added)
        << "four waiting: the oldest makes room";
    EXPECT_EQ(store_.candidates(), 4u);
    EXPECT_EQ(SendChecks(), 4) << "10.0.0.1:1 is no longer asked";
    EXPECT_FALSE(store_.TakeReply(FromOctets(0x0A000001, 1), "ctf", now_));
    ASSERT_TRUE(store_.TakeReply(FromOctets(0x0A000001, 2), "ctf", now_));
    ASSERT_TRUE(store_.TakeReply(FromOctets(0x0A000001, 3), "ctf", now_));
    EXPECT_EQ(store_.Offer(FromOctets(0x0A000003, 2), now_), OfferResult::Added);
    EXPECT_EQ(store_.Offer(FromOctets(0x0A000004, 1), now_), OfferResult::Added);
    EXPECT_EQ(store_.Offer(FromOctets(0x0A000005, 1), now_), OfferResult::Added)
        << "six in all: again the oldest candidate goes";
    EXPECT_EQ(store_.Offer(FromOctets(0x0A000002, 1), now_), OfferResult::Added) << "it was the one forgotten";
    EXPECT_EQ(store_.listed() + store_.candidates(), 6u);

    // Only listed servers left: nothing may make room for a newcomer.
    SendChecks();
    for (ListEntry address :
         {FromOctets(0x0A000002, 1), FromOctets(0x0A000003, 2), FromOctets(0x0A000004, 1), FromOctets(0x0A000005, 1)}) {
        EXPECT_TRUE(store_.TakeReply(address, "ctf", now_)) << FormatAddress(address);
    }
    EXPECT_EQ(store_.listed(), 6u);
    EXPECT_EQ(store_.Offer(FromOctets(0x0A000006, 1), now_), OfferResult::Full);
    StoreCounts counts = store_.TakeCounts();
    EXPECT_EQ(counts.refused, 2u);
    EXPECT_EQ(counts.evicted, 3u);
}

} // namespace

} // namespace skerrow_master
