#include <gtest/gtest.h>

#include "net/receive_block.h"

TEST(ReceiveBlockTest, OffersGrowOnlyWhileReceivesFillThem) {
  ReceiveBlock block;
  EXPECT_EQ(block.Offer(0), ReceiveBlock::kFirstOffer);

  // A short answer leaves the offer where it was.
  block.Received(block.Offer(0), 300);
  EXPECT_EQ(block.Offer(0), ReceiveBlock::kFirstOffer);

  // A flowing body doubles it each time, and never past the block.
  size_t offers = 0;
  while (block.Offer(0) < ReceiveBlock::kSize) {
    size_t before = block.Offer(0);
    block.Received(before, before);
    ASSERT_EQ(block.Offer(0), before * 2);
    ASSERT_LT(++offers, 10u);
  }
  block.Received(ReceiveBlock::kSize, ReceiveBlock::kSize);
  EXPECT_EQ(block.Offer(0), ReceiveBlock::kSize);
}

TEST(ReceiveBlockTest, HeldBytesNarrowTheRoomToTheBlocksEnd) {
  ReceiveBlock block;
  EXPECT_EQ(block.Offer(1000), ReceiveBlock::kFirstOffer);
  EXPECT_EQ(block.Offer(ReceiveBlock::kSize - 10), 10u);
  EXPECT_EQ(block.Offer(ReceiveBlock::kSize), 0u);

  // Filling the last few bytes counts as a filled offer.
  block.Received(10, 10);
  EXPECT_EQ(block.Offer(0), 2 * ReceiveBlock::kFirstOffer);
}
