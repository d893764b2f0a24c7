// Widths fitted to texts: a fitted control is never narrower than its
// designed width, and where a text needs more it shows it whole, whatever
// room its frame, margins (on both sides), indent or text margins take.
// Whole means whole as the style lays the control out (TextFit.h).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>

#include <memory>

#include "common/TextWidths.h"
#include "common/tests/QtTestEnvironment.h"
#include "common/tests/TextFit.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QApplication>("common_tests"));

const QString Wide = QStringLiteral("-12345678.90 fps");

std::unique_ptr<QWidget> Control(int kind) {
  auto label = std::make_unique<QLabel>();
  switch (kind) {
    case 0: return label;
    case 1:
      label->setFrameStyle(QFrame::Panel | QFrame::Sunken);  // gets an indent
      return label;
    case 2:
      label->setContentsMargins(3, 0, 11, 0);
      label->setMargin(2);
      return label;
  }
  auto edit = std::make_unique<QLineEdit>();
  if (kind == 4) {
    edit->setTextMargins(5, 0, 9, 0);
    edit->setContentsMargins(4, 0, 6, 0);
  }
  if (kind == 5) edit->setFrame(false);
  return edit;
}

TEST(TextWidths, AFittedControlShowsItsWidestTextAndKeepsItsDesignedWidth) {
  for (int kind = 0; kind <= 5; ++kind) {
    SCOPED_TRACE(kind);
    const std::unique_ptr<QWidget> control = Control(kind);
    // Designed wider than the text: the designed width stays.
    FitWidth(control.get(), 400, {Wide});
    EXPECT_EQ(control->width(), 400);
    EXPECT_EQ(control->minimumWidth(), control->maximumWidth());
    // Designed narrower: the text decides, and shows whole at that width.
    FitWidth(control.get(), 10, {QStringLiteral("1"), Wide});
    EXPECT_GT(control->width(), 10);
    EXPECT_EQ(control->width(), WidthForText(control.get(), Wide));
    if (auto* label = qobject_cast<QLabel*>(control.get()))
      EXPECT_EQ(textfit::CutWhenShown(label, Wide), QString());
    else
      EXPECT_EQ(textfit::CutWhenShown(qobject_cast<QLineEdit*>(control.get()), Wide), QString());
    // A minimum width lets a layout widen the control, never narrow it.
    FitMinimumWidth(control.get(), 500, {Wide});
    EXPECT_EQ(control->minimumWidth(), 500);
  }
}

TEST(TextWidths, StatusPanelsKeepTheirWidthsAndTheLastStretches) {
  QStatusBar bar;
  auto* fixed = new QLabel;
  auto* stretching = new QLabel;
  AddStatusPanel(&bar, fixed, 10, {Wide}, false);
  AddStatusPanel(&bar, stretching, 60, {QStringLiteral("1")}, true);
  bar.resize(900, 30);
  bar.show();
  QApplication::processEvents();
  EXPECT_EQ(fixed->width(), WidthForText(fixed, Wide));
  EXPECT_EQ(stretching->minimumWidth(), 60);
  EXPECT_GT(stretching->width(), 900 - fixed->width() - 60);
}

}  // namespace
