#include "sim/tone_plan.h"

#include <QStringList>

namespace doruzudo::sim {
namespace {

const std::vector<TonePlan>& plans() {
  static const std::vector<TonePlan> kPlans = {
      {"br", {425, 0, {}}, {425, 0, {1000, 4000}}, {425, 0, {250, 250}}},
      {"de", {425, 0, {}}, {425, 0, {1000, 4000}}, {425, 0, {480, 480}}},
      {"es", {425, 0, {}}, {425, 0, {1500, 3000}}, {425, 0, {200, 200}}},
      {"fr", {440, 0, {}}, {440, 0, {1500, 3500}}, {440, 0, {500, 500}}},
      {"it", {425, 0, {200, 200, 600, 1000}}, {425, 0, {1000, 4000}}, {425, 0, {500, 500}}},
      {"mx", {425, 0, {}}, {425, 0, {1000, 4000}}, {425, 0, {250, 250}}},
      {"pt", {425, 0, {}}, {425, 0, {1000, 5000}}, {425, 0, {500, 500}}},
      {"uk", {350, 440, {}}, {400, 450, {400, 200, 400, 2000}}, {400, 0, {375, 375}}},
      {"us", {350, 440, {}}, {440, 480, {2000, 4000}}, {480, 620, {500, 500}}},
  };
  return kPlans;
}

}  // namespace

std::optional<TonePlan> tonePlan(const QString& code) {
  for (const TonePlan& p : plans()) {
    if (p.code.compare(code, Qt::CaseInsensitive) == 0) return p;
  }
  return std::nullopt;
}

QStringList tonePlanCodes() {
  QStringList codes;
  for (const TonePlan& p : plans()) codes << p.code;
  return codes;
}

}  // namespace doruzudo::sim
