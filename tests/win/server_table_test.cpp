// The server table: shown by the window, and let go when replaced.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/run/server_table.h"
#include "harness.h"
#include "servers.h"
#include "windows/app/main_window_views.h"

namespace {

class ServerTableTest : public testing::Test {
protected:
    void TearDown() override { ShowServerTable(App(), nullptr); }
    static std::shared_ptr<ServerTable> Build(const std::vector<unsigned char>& body) { return TableOf(body); }
};

const std::vector<unsigned char> THREE_ENTRIES_TWO_SERVERS = {
    10, 0, 0, 1, 0x6D, 0x06, // 10.0.0.1:27910
    10, 0, 0, 1, 0x6D, 0x07, // 10.0.0.1:27911
    10, 0, 0, 1, 0x6D, 0x06, // again
};

TEST_F(ServerTableTest, AShownTableIsLetGoWhenAnotherReplacesIt) {
    ShowServerTable(App(), Build(THREE_ENTRIES_TWO_SERVERS));
    ASSERT_EQ(App().session.shown.count, 2);
    App().session.shown.At(0).answered = 1;
    std::weak_ptr<ServerTable> first = App().session.shown.table;

    ShowServerTable(App(), Build({10, 0, 0, 1, 0x6D, 0x06}));
    EXPECT_TRUE(first.expired()) << "the window held the only reference";
    ASSERT_EQ(App().session.shown.count, 1);
    EXPECT_EQ(App().session.shown.At(0).answered, 0) << "nothing of the previous run survives";

    ShowServerTable(App(), nullptr);
    EXPECT_EQ(App().session.shown.table, nullptr);
    EXPECT_EQ(App().session.shown.count, 0);
}

} // namespace
