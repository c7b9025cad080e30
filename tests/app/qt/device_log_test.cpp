#include "app/qt/device_log.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QLoggingCategory>
#include <QStringList>
#include <QWidget>

#include "app/qt/qt_adapters.h"

namespace trivexa::app {
namespace {

QStringList* captured = nullptr;

void Capture(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (captured != nullptr && type == QtDebugMsg &&
      QLatin1String(context.category) == "trivexa.device") {
    captured->append(message);
  }
}

// Captures what the category prints while it lives, under the given rules.
class CategoryCapture {
 public:
  explicit CategoryCapture(const QString& rules) {
    captured = &lines;
    previous_ = qInstallMessageHandler(Capture);
    QLoggingCategory::setFilterRules(rules);
  }
  ~CategoryCapture() {
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous_);
    captured = nullptr;
  }
  CategoryCapture(const CategoryCapture&) = delete;
  CategoryCapture& operator=(const CategoryCapture&) = delete;

  QStringList lines;

 private:
  QtMessageHandler previous_;
};

struct LogRig {
  QWidget parent;
  QListWidget* list = new QListWidget(&parent);
  QLabel* connection = new QLabel(&parent);
  QLabel* status = new QLabel(&parent);
  QLabel* position = new QLabel(&parent);
  QtWindowOps ops{*list, *connection, *status, *position};
};

TEST(DeviceLogCategory, EveryHiddenLogLineIsMirroredWhenTheCategoryIsOn) {
  LogRig rig;
  CategoryCapture capture(QStringLiteral("trivexa.device.debug=true"));
  rig.ops.AppendLog("  Vendor ID: 79");
  rig.ops.AppendLog("  ProductName: Jöystick");
  rig.ops.ClearLog();
  rig.ops.AppendLog("  USB device found!");

  EXPECT_EQ(capture.lines, (QStringList{QStringLiteral("  Vendor ID: 79"),
                                        QStringLiteral("  ProductName: Jöystick"),
                                        QStringLiteral("  USB device found!")}));
  EXPECT_EQ(rig.list->count(), 1);  // the list itself is as before
}

TEST(DeviceLogCategory, IsSilentByDefault) {
  LogRig rig;
  CategoryCapture capture(QString{});
  EXPECT_FALSE(deviceLog().isDebugEnabled());
  rig.ops.AppendLog("  USB device not found!");
  EXPECT_TRUE(capture.lines.isEmpty());
  EXPECT_EQ(rig.list->count(), 1);
}

}  // namespace
}  // namespace trivexa::app
