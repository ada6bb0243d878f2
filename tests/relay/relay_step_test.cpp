#include "relay/relay_step.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_stream.h"

class RelayStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        buffer.assign(ChunkSize, '\0');
        chunk = RelayChunk{buffer.data(), 0, 0, 0, 0, 0};
    }
    RelayStepOutcome Step() { return RelayStep(AsSocket(&source), AsSocket(&destination), &chunk); }
    static std::string RandomBytes(size_t count, unsigned seed) {
        std::mt19937 random(seed);
        std::string bytes(count, '\0');
        for (char& c : bytes) c = (char)(random() & 0xFF);
        return bytes;
    }

    FakeSocket source;
    FakeSocket destination;
    std::vector<char> buffer;
    RelayChunk chunk;
};

TEST_F(RelayStepTest, PassesBytesOnUntilTheSourceHasNoMore) {
    source.incoming = RandomBytes(3 * ChunkSize + 17, 1);
    EXPECT_EQ(Step(), RelayWaiting);
    EXPECT_EQ(destination.received, source.incoming);
    EXPECT_FALSE(HasPendingChunk(&chunk));
    EXPECT_FALSE(destination.shutDown);
    EXPECT_EQ(source.receives, 4);  // the short fourth read ends the step: no receive just to hear "would block"
}

TEST_F(RelayStepTest, PendingChunkHoldsTheSourceUntilItHasGoneOut) {
    source.incoming = RandomBytes(2 * ChunkSize, 2);
    destination.sendRoom = 1000;
    EXPECT_EQ(Step(), RelayWaiting);
    EXPECT_TRUE(HasPendingChunk(&chunk));
    EXPECT_EQ(chunk.sent, 1000);
    EXPECT_EQ(chunk.carried, 1000u);  // what the destination took, not what was read
    EXPECT_EQ(source.readPosition, (size_t)ChunkSize);  // nothing read beyond the pending chunk

    // The destination reports room again: the rest goes out and the source is read again at once.
    destination.sendRoom = 1 << 30;
    EXPECT_EQ(Step(), RelayWaiting);
    EXPECT_EQ(destination.received, source.incoming);
    EXPECT_FALSE(HasPendingChunk(&chunk));
    EXPECT_EQ(chunk.carried, (uint32_t)source.incoming.size());
}

TEST_F(RelayStepTest, SlowDestinationReceivesEverythingInOrder) {
    source.incoming = RandomBytes(300000, 3);
    source.peerClosed = true;
    RelayStepOutcome outcome = RelayWaiting;
    for (int round = 0; round < 10000 && outcome == RelayWaiting; ++round) {
        destination.sendRoom = 777 + round % 5000;
        outcome = Step();
        EXPECT_FALSE(destination.sentAfterShutdown);
    }
    EXPECT_EQ(outcome, RelayEnded);
    EXPECT_EQ(destination.received, source.incoming);
    EXPECT_TRUE(destination.shutDown);
}

TEST_F(RelayStepTest, OrderlyEndIsPassedOnOnlyAfterThePendingBytes) {
    source.incoming = "request";
    source.peerClosed = true;
    destination.sendRoom = 3;
    EXPECT_EQ(Step(), RelayWaiting);
    EXPECT_FALSE(destination.shutDown);
    destination.sendRoom = 100;
    EXPECT_EQ(Step(), RelayEnded);
    EXPECT_EQ(destination.received, "request");
    EXPECT_TRUE(destination.shutDown);
    EXPECT_EQ(chunk.ended, 1);
    // Later wake-ups for an ended direction touch nothing.
    int receives = source.receives;
    EXPECT_EQ(Step(), RelayEnded);
    EXPECT_EQ(source.receives, receives);
}

TEST_F(RelayStepTest, ClosingSourceThatWouldBlockHasEnded) {
    source.incoming = "tail";
    chunk.sourceClosing = 1;  // the close was reported; the read side then runs dry
    EXPECT_EQ(Step(), RelayEnded);
    EXPECT_EQ(destination.received, "tail");
    EXPECT_TRUE(destination.shutDown);
}

TEST_F(RelayStepTest, FailuresBreakTheConnection) {
    source.receiveFails = true;
    EXPECT_EQ(Step(), RelayBroken);

    SetUp();
    source = FakeSocket();
    source.incoming = "x";
    destination = FakeSocket();
    destination.sendFails = true;
    EXPECT_EQ(Step(), RelayBroken);
}

TEST_F(RelayStepTest, YieldsAfterABoundedNumberOfChunks) {
    source.incoming = RandomBytes((ChunksPerStep + 4) * ChunkSize, 4);
    EXPECT_EQ(Step(), RelayWaiting);
    EXPECT_EQ(source.receives, ChunksPerStep);
    // What was read has gone out whole: nothing is left pending without a wake-up to come.
    EXPECT_FALSE(HasPendingChunk(&chunk));
    EXPECT_EQ(destination.received.size(), (size_t)ChunksPerStep * ChunkSize);
    EXPECT_EQ(Step(), RelayWaiting);
    EXPECT_EQ(destination.received, source.incoming);
}
