// Feature reports of a HID report descriptor (see hid_report_descriptor.h).
#include "dialer/line/hid_report_descriptor.h"

#include <QString>
#include <algorithm>

#include "dialer/line/line_report.h"

namespace doruzudo {

namespace {

constexpr uint8_t kLongItemPrefix = 0xFE;
constexpr int kMaxPushDepth = 16;
// No real report comes near this; it keeps the bit sums far from overflow.
constexpr int64_t kMaxReportBits = int64_t{1} << 24;

enum ItemType { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag { kFeature = 0x0B };
enum GlobalTag {
  kReportSize = 0x07,
  kReportId = 0x08,
  kReportCount = 0x09,
  kPush = 0x0A,
  kPop = 0x0B
};

struct GlobalState {
  int64_t reportSize = 0;
  int64_t reportCount = 0;
  int reportId = 0;
};

struct Item {
  int type = 0;
  int tag = 0;
  uint32_t data = 0;  // unsigned, little-endian
};

class Parser {
 public:
  explicit Parser(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  Result<HidReportLayout> run() {
    while (pos_ < bytes_.size()) {
      Result<Item> item = next();
      if (!item) return item.status();
      if (Status s = apply(*item); !s) return s;
    }
    return layout_;
  }

 private:
  Status error(const QString& what) const {
    return Status::Error(
        QStringLiteral("report descriptor, byte %1: %2").arg(itemStart_).arg(what));
  }

  Result<Item> next() {
    itemStart_ = pos_;
    const uint8_t prefix = bytes_[pos_++];
    if (prefix == kLongItemPrefix) {
      if (pos_ + 2 > bytes_.size()) return error(QStringLiteral("truncated long item"));
      const size_t size = bytes_[pos_];
      pos_ += 2 + size;
      if (pos_ > bytes_.size()) return error(QStringLiteral("truncated long item"));
      return Item{-1, 0, 0};  // carries nothing a feature length depends on
    }
    const size_t size = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
    if (pos_ + size > bytes_.size()) return error(QStringLiteral("truncated item"));
    Item item{(prefix >> 2) & 0x03, prefix >> 4, 0};
    for (size_t i = 0; i < size; ++i) item.data |= uint32_t{bytes_[pos_ + i]} << (8 * i);
    pos_ += size;
    return item;
  }

  Status apply(const Item& item) {
    if (item.type == kGlobal) return applyGlobal(item);
    if (item.type == kMain && item.tag == kFeature) return addFeature();
    return Status::Ok();
  }

  Status applyGlobal(const Item& item) {
    switch (item.tag) {
      case kReportSize:
        state_.reportSize = item.data;
        break;
      case kReportCount:
        state_.reportCount = item.data;
        break;
      case kReportId:
        if (item.data == 0 || item.data > 255) {
          return error(QStringLiteral("report id %1 out of range").arg(item.data));
        }
        state_.reportId = static_cast<int>(item.data);
        layout_.usesReportIds = true;
        break;
      case kPush:
        if (stack_.size() >= size_t{kMaxPushDepth}) return error(QStringLiteral("Push too deep"));
        stack_.push_back(state_);
        break;
      case kPop:
        if (stack_.empty()) return error(QStringLiteral("Pop without Push"));
        state_ = stack_.back();
        stack_.pop_back();
        break;
      default:
        break;
    }
    return Status::Ok();
  }

  Status addFeature() {
    if (state_.reportSize > kMaxReportBits || state_.reportCount > kMaxReportBits) {
      return error(QStringLiteral("feature report %1 too long").arg(state_.reportId));
    }
    const int64_t bits = state_.reportSize * state_.reportCount;
    auto& features = layout_.features;
    auto it = std::find_if(features.begin(), features.end(), [&](const HidFeatureReport& r) {
      return r.reportId == state_.reportId;
    });
    if (it == features.end()) it = features.insert(features.end(), {state_.reportId, 0});
    it->bits += bits;
    if (it->bits > kMaxReportBits) {
      return error(QStringLiteral("feature report %1 too long").arg(state_.reportId));
    }
    return Status::Ok();
  }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  size_t itemStart_ = 0;
  GlobalState state_;
  std::vector<GlobalState> stack_;
  HidReportLayout layout_;
};

}  // namespace

int HidReportLayout::featureLength(int reportId) const {
  for (const HidFeatureReport& report : features) {
    if (report.reportId == reportId) return report.byteLength();
  }
  return 0;
}

int HidReportLayout::largestFeatureLength() const {
  int longest = 0;
  for (const HidFeatureReport& report : features) longest = std::max(longest, report.byteLength());
  return longest;
}

Result<HidReportLayout> parseReportDescriptor(std::span<const uint8_t> descriptor) {
  return Parser(descriptor).run();
}

int lineFeatureLength(const HidReportLayout& layout) {
  const int own = layout.featureLength(kLineReportId);
  return own > 0 ? own : layout.largestFeatureLength();
}

}  // namespace doruzudo
