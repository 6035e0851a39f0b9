#include <gtest/gtest.h>

#include "common/manual_scheduler.h"
#include "dialer/line/line_port_sim.h"
#include "dialer/shell/hardware_start.h"

namespace doruzudo {
namespace {

TEST(HardwareStart, BindsLogsPutsBoundLinesOnHookAndStartsTheEngineEvenWithoutSound) {
  ManualScheduler scheduler;
  EventLog log(scheduler);
  LinePortSim port(scheduler, {2, 5});  // units only on channels 2 and 5
  scheduler.runDue();
  std::vector<QString> order;
  HardwareStart start{port, log, [&](std::function<void(bool)> done) {
                        order.push_back("audio");
                        done(false);
                      },
                      [&] { order.push_back("engine"); }};
  start.run();
  QStringList messages;
  for (const QString& line : log.lines()) messages << line.section(" - ", 2);
  EXPECT_EQ(messages, QStringList({"Quorix Doruzudo inicializado com sucesso.", "Inicializando os Canais...",
                                   "Nenhum canal foi localizado."}));
  EXPECT_EQ(order, (std::vector<QString>{"audio", "engine"}));
  ASSERT_EQ(port.reports().size(), 2u);
  EXPECT_EQ(port.reports()[0].channel, 2);
  EXPECT_EQ(port.reports()[1].channel, 5);
  EXPECT_EQ(port.reports()[1].command, LineCommand::OnHook);
}

}  // namespace
}  // namespace doruzudo
