// The server table: built from a master list body, shown by the window, and let go when replaced.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/run/server_table.h"
#include "windows/app/run_controller.h"
#include "windows/state/app_state.h"

namespace {

class ServerTableTest : public testing::Test {
protected:
    void TearDown() override { ShowServerTable(nullptr); }
    static std::shared_ptr<ServerTable> Build(const std::vector<unsigned char>& body) {
        return BuildServerTable(body.data(), static_cast<uint32_t>(body.size()), MasterSource(0));
    }
};

const std::vector<unsigned char> THREE_ENTRIES_TWO_SERVERS = {
    10, 0, 0, 1, 0x6D, 0x06, // 10.0.0.1:27910
    10, 0, 0, 1, 0x6D, 0x07, // 10.0.0.1:27911
    10, 0, 0, 1, 0x6D, 0x06, // again
};

TEST_F(ServerTableTest, ABodyMakesOneZeroedRecordPerDistinctServer) {
    std::shared_ptr<ServerTable> table = Build(THREE_ENTRIES_TWO_SERVERS);
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->size(), 2u);
    EXPECT_EQ((*table)[0].port, 27910);
    EXPECT_EQ((*table)[1].port, 27911);
    ServerRecord expected{};
    expected.addr = (*table)[1].addr;
    expected.port = 27911;
    expected.sources = MasterSource(0);
    EXPECT_EQ(std::memcmp(&(*table)[1], &expected, sizeof expected), 0) << "nothing but the address and source is set";
    EXPECT_EQ(CountUnanswered(*table), 2);
    (*table)[1].answered = 1;
    EXPECT_EQ(CountUnanswered(*table), 1);
}

TEST_F(ServerTableTest, AShownTableIsLetGoWhenAnotherReplacesIt) {
    ShowServerTable(Build(THREE_ENTRIES_TWO_SERVERS));
    ASSERT_EQ(app.serverCount, 2);
    ShownServer(0).answered = 1;
    std::weak_ptr<ServerTable> first = app.table;

    ShowServerTable(Build({10, 0, 0, 1, 0x6D, 0x06}));
    EXPECT_TRUE(first.expired()) << "the window held the only reference";
    ASSERT_EQ(app.serverCount, 1);
    EXPECT_EQ(ShownServer(0).answered, 0) << "nothing of the previous run survives";

    ShowServerTable(nullptr);
    EXPECT_EQ(app.table, nullptr);
    EXPECT_EQ(app.serverCount, 0);
}

TEST_F(ServerTableTest, EmptyOrFragmentBodyGivesAnEmptyTable) {
    for (const std::vector<unsigned char>& body : {std::vector<unsigned char>{1, 2, 3, 4, 5}, std::vector<unsigned char>{}}) {
        std::shared_ptr<ServerTable> table = Build(body);
        ASSERT_NE(table, nullptr);
        EXPECT_TRUE(table->empty());
        EXPECT_EQ(CountUnanswered(*table), 0);
    }
}

} // namespace
