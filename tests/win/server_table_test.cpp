// The table of AppState on the process heap: rebuild, release and counting.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "net/server_table.h"

namespace {

class ServerTableTest : public testing::Test {
protected:
    void TearDown() override {
        RebuildServerTable(nullptr, 0);
        HeapFree(GetProcessHeap(), 0, app.servers);
        app.servers = nullptr;
    }
    static void Rebuild(const std::vector<unsigned char>& body) {
        RebuildServerTable(body.data(), static_cast<uint32_t>(body.size()));
    }
};

const std::vector<unsigned char> THREE_ENTRIES_TWO_SERVERS = {
    10, 0, 0, 1, 0x6D, 0x06, // 10.0.0.1:27910
    10, 0, 0, 1, 0x6D, 0x07, // 10.0.0.1:27911
    10, 0, 0, 1, 0x6D, 0x06, // again
};

TEST_F(ServerTableTest, RebuildMakesOneZeroedRecordPerDistinctServer) {
    Rebuild(THREE_ENTRIES_TWO_SERVERS);
    ASSERT_NE(app.servers, nullptr);
    EXPECT_EQ(app.serverCount, 2);
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, app.servers), 3 * sizeof(ServerRecord)) << "room for length / 6";
    EXPECT_EQ(app.servers[0].port, 27910);
    EXPECT_EQ(app.servers[1].port, 27911);
    EXPECT_EQ(CountUnanswered(), 2);
    app.servers[1].answered = 1;
    EXPECT_EQ(CountUnanswered(), 1);
}

TEST_F(ServerTableTest, SecondRebuildReplacesTheWholeTable) {
    Rebuild(THREE_ENTRIES_TWO_SERVERS);
    app.servers[0].answered = 1;
    app.servers[0].playerCount = 5;
    app.servers[0].hostname[0] = u'X';

    Rebuild({10, 0, 0, 1, 0x6D, 0x06});
    ASSERT_EQ(app.serverCount, 1);
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, app.servers), sizeof(ServerRecord));
    ServerRecord expected{};
    expected.addr = app.servers[0].addr;
    expected.port = 27910;
    EXPECT_EQ(std::memcmp(&app.servers[0], &expected, sizeof expected), 0) << "nothing of the previous run survives";
    EXPECT_EQ(CountUnanswered(), 1);
}

TEST_F(ServerTableTest, EmptyOrFragmentBodyGivesAnEmptyTable) {
    Rebuild(THREE_ENTRIES_TWO_SERVERS);
    Rebuild({1, 2, 3, 4, 5});
    EXPECT_NE(app.servers, nullptr) << "an array with room for no records";
    EXPECT_EQ(app.serverCount, 0);
    EXPECT_EQ(CountUnanswered(), 0);
    RebuildServerTable(nullptr, 0);
    EXPECT_EQ(app.serverCount, 0);
    EXPECT_EQ(CountUnanswered(), 0);
}

} // namespace
