// The queue of workers' calls: order and closing.
#include "manager/window/call_queue.h"

#include <gtest/gtest.h>

#include <vector>

static const int QueuedCount = 4;

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
    QueuedCall calls[QueuedCount];
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
