// The queue of workers' calls: order, taking back, and closing.
#include "manager/window/call_queue.h"

#include <gtest/gtest.h>

#include <vector>

static const int QueuedCount = 4;
static const int Later = QueuedCount;  // a call that comes after the others

class CallQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitCallQueue(&queue);
        for (QueuedCall& call : calls) call = QueuedCall{};
    }

    void QueueAll() {
        for (int i = 0; i < QueuedCount; ++i) ASSERT_TRUE(QueueCall(&queue, &calls[i]));
    }

    // The indices of the calls taken, until the queue is empty.
    std::vector<int> TakeAll() {
        std::vector<int> taken;
        for (QueuedCall* call = TakeCall(&queue); call != nullptr; call = TakeCall(&queue))
            taken.push_back((int)(call - calls));
        return taken;
    }

    std::vector<int> Chain(QueuedCall* first) {
        std::vector<int> chained;
        for (QueuedCall* call = first; call != nullptr; call = call->next) chained.push_back((int)(call - calls));
        return chained;
    }

    CallQueue queue;
    QueuedCall calls[QueuedCount + 1];
};

TEST_F(CallQueueTest, CallsAreTakenInTheOrderTheyCame) {
    QueueAll();
    EXPECT_EQ(TakeAll(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(TakeCall(&queue), nullptr);
    // The queue goes on after running empty.
    ASSERT_TRUE(QueueCall(&queue, &calls[2]));
    ASSERT_TRUE(QueueCall(&queue, &calls[0]));
    EXPECT_EQ(TakeAll(), (std::vector<int>{2, 0}));
}

TEST_F(CallQueueTest, AWaitingCallCanBeTakenBackFromAnyPlace) {
    struct Case {
        const char* name;
        int withdrawn;
        std::vector<int> left;
    };
    const Case cases[] = {
        {"first", 0, {1, 2, 3}},
        {"middle", 2, {0, 1, 3}},
        {"last", 3, {0, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        QueueAll();
        EXPECT_EQ(WithdrawCall(&queue, &calls[c.withdrawn]), 1);
        EXPECT_EQ(WithdrawCall(&queue, &calls[c.withdrawn]), 0);
        // A call queued after the withdrawal comes after the rest.
        ASSERT_TRUE(QueueCall(&queue, &calls[Later]));
        std::vector<int> left = c.left;
        left.push_back(Later);
        EXPECT_EQ(TakeAll(), left);
    }
}

TEST_F(CallQueueTest, ACallAlreadyTakenCannotBeTakenBack) {
    QueueAll();
    QueuedCall* running = TakeCall(&queue);
    ASSERT_EQ(running, &calls[0]);
    EXPECT_EQ(WithdrawCall(&queue, running), 0);
    EXPECT_EQ(TakeAll(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(WithdrawCall(&queue, &calls[3]), 0);
}

TEST_F(CallQueueTest, ClosingHandsBackTheWaitingCallsAndRefusesNewOnes) {
    QueueAll();
    TakeCall(&queue);
    QueuedCall* released = CloseCallQueue(&queue);
    EXPECT_EQ(Chain(released), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(TakeCall(&queue), nullptr);
    EXPECT_EQ(QueueCall(&queue, &calls[0]), 0);
    EXPECT_EQ(TakeCall(&queue), nullptr);
    EXPECT_EQ(CloseCallQueue(&queue), nullptr);
}
