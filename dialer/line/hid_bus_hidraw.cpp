// HID devices through hidapi (hidraw) and a udev monitor (see hid_bus_hidraw.h).
#include "dialer/line/hid_bus_hidraw.h"

#include <hidapi/hidapi.h>
#include <libudev.h>

#include <QFile>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <set>

namespace doruzudo {

namespace {

QString hidError(hid_device* device) {
  const wchar_t* text = hid_error(device);
  return text != nullptr ? QString::fromWCharArray(text) : QStringLiteral("unknown error");
}

class HidrawHandle final : public HidHandle {
 public:
  HidrawHandle(hid_device* device, QString path) : device_(device), path_(std::move(path)) {}
  ~HidrawHandle() override { hid_close(device_); }

  Status sendFeatureReport(std::span<const uint8_t> bytes) override {
    const int sent = hid_send_feature_report(device_, bytes.data(), bytes.size());
    if (sent < 0) return Status::Error(QStringLiteral("%1: %2").arg(path_, hidError(device_)));
    return Status::Ok();
  }

 private:
  hid_device* device_;
  QString path_;
};

}  // namespace

HidrawBus::HidrawBus(bool followPlugging) {
  hid_init();
  monitorStatus_ = followPlugging ? startMonitor() : Status::Error(QStringLiteral("not asked for"));
}

HidrawBus::~HidrawBus() {
  notifier_.reset();
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  if (udev_ != nullptr) udev_unref(udev_);
}

Status HidrawBus::startMonitor() {
  udev_ = udev_new();
  if (udev_ == nullptr) return Status::Error(QStringLiteral("udev is not available"));
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ == nullptr) return Status::Error(QStringLiteral("cannot create a udev monitor"));
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    return Status::Error(QStringLiteral("cannot listen to udev events"));
  }
  notifier_ =
      std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drainMonitor(); });
  return Status::Ok();
}

void HidrawBus::drainMonitor() {
  // The socket does not block: receive until it is empty, one pass per change.
  while (udev_device* device = udev_monitor_receive_device(monitor_)) {
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    const bool added = action != nullptr && qstrcmp(action, "add") == 0;
    const bool removed = action != nullptr && qstrcmp(action, "remove") == 0;
    // A device back at the path of a removed one is another device, even if
    // the listing that follows this removal already shows it.
    if (removed && node != nullptr) ++removals_[QString::fromLocal8Bit(node)];
    udev_device_unref(device);
    if ((added || removed) && changed_) changed_();
  }
}

std::vector<HidDeviceInfo> HidrawBus::enumerate() {
  std::vector<HidDeviceInfo> list;
  std::set<QString> seen;  // hidapi lists a device once per top-level collection
  hid_device_info* all = hid_enumerate(0, 0);
  for (const hid_device_info* info = all; info != nullptr; info = info->next) {
    const QString path = QString::fromLocal8Bit(info->path);
    if (!seen.insert(path).second) continue;
    const auto removals = removals_.find(path);
    list.push_back({path, info->vendor_id, info->product_id,
                    removals == removals_.end() ? 0 : removals->second});
  }
  hid_free_enumeration(all);
  return list;
}

Result<std::unique_ptr<HidHandle>> HidrawBus::open(const HidDeviceInfo& info) {
  hid_device* device = hid_open_path(info.path.toLocal8Bit().constData());
  if (device == nullptr) {
    return Status::Error(QStringLiteral("%1: %2").arg(info.path, hidError(nullptr)));
  }
  return std::unique_ptr<HidHandle>(std::make_unique<HidrawHandle>(device, info.path));
}

QString HidrawBus::descriptorFileOf(const QString& devicePath) {
  static const QRegularExpression hidraw(QStringLiteral(R"(^/dev/(hidraw\d+)$)"));
  const QRegularExpressionMatch match = hidraw.match(devicePath);
  if (!match.hasMatch()) return {};
  return QStringLiteral("/sys/class/hidraw/%1/device/report_descriptor").arg(match.captured(1));
}

Result<std::vector<uint8_t>> HidrawBus::reportDescriptor(const HidDeviceInfo& info) {
  const QString fileName = descriptorFileOf(info.path);
  if (fileName.isEmpty()) {
    return Status::Error(QStringLiteral("%1 is not a hidraw device").arg(info.path));
  }
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    return Status::Error(QStringLiteral("%1: %2").arg(fileName, file.errorString()));
  }
  const QByteArray bytes = file.readAll();
  if (bytes.isEmpty()) return Status::Error(QStringLiteral("%1 is empty").arg(fileName));
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace doruzudo
