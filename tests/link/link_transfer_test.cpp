// The file transfer from the connect reply to its ends.
#include <gtest/gtest.h>

#include "link/link_rig.h"

namespace tramsel::test {
namespace {

TEST(LinkTransfer, DirectTransferOfThreeBlocks) {
  LinkRig rig;
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Messages().empty(); }));
  for (auto& e : rig.ui.events) printf("%lld %d %s\n", (long long)e.at, e.kind, ToUtf8(e.text).c_str());
  for (auto& r : rig.tx.requests) printf("%lld %d %s\n", (long long)r.at, r.packet.code, r.packet.payload.c_str());
}

}  // namespace
}  // namespace tramsel::test
