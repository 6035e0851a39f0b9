#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QUuid>

#include "dialer/shell/single_instance.h"

namespace doruzudo {
namespace {

TEST(SingleInstance, ALaterStartFindsTheFirstAndAsksItToShowItself) {
  const QString name = "doruzudo-test-" + QUuid::createUuid().toString(QUuid::Id128);
  SingleInstance first(name);
  SingleInstance later(name);
  EXPECT_FALSE(later.notifyRunning());  // nobody there yet
  int shows = 0;
  ASSERT_TRUE(first.listen([&] { ++shows; }));
  EXPECT_TRUE(later.notifyRunning());
  for (int i = 0; i < 200 && shows == 0; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(shows, 1);
}

TEST(SingleInstance, TheNameIsFreeAgainOnceTheFirstInstanceEnds) {
  const QString name = "doruzudo-test-" + QUuid::createUuid().toString(QUuid::Id128);
  {
    SingleInstance ended(name);
    ASSERT_TRUE(ended.listen({}));
  }
  SingleInstance next(name);
  EXPECT_FALSE(next.notifyRunning());
  EXPECT_TRUE(next.listen({}));
}

}  // namespace
}  // namespace doruzudo
