// The region-of-interest dialog against the simulated camera: the edits and
// their apply timer, Enter, the predefined sizes, dragging and centring the
// box, and refusal while a capture runs.
#include <QButtonGroup>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <optional>

#include "APP/forms/fmViewPort.h"
#include "APP/tests/AppTestSupport.h"

namespace {

class CountingSettingsView : public FakeSettingsView {
 public:
  void UpdateExposure() override { ++exposureUpdates; }
  int exposureUpdates = 0;
};

ViewPortRecord CameraRegion() {
  ViewPortRecord record{};
  CameraDevice->GetViewPort(record);
  return record;
}

QList<std::uint32_t> Fields(const ViewPortRecord& r) {
  return {r.StartX, r.StartY, r.SizeX, r.SizeY};
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, at, widget->mapToGlobal(at),
                    type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &event);
}

}  // namespace

class TestViewPortForm : public QObject {
  Q_OBJECT

  simcam::SimCamera* sim_ = nullptr;
  CountingSettingsView settings_;
  std::unique_ptr<TViewPortForm> form_;

  QStringList Edits() const {
    QStringList texts;
    for (QLineEdit* e : {form_->Edit_OX, form_->Edit_OY, form_->Edit_SX, form_->Edit_SY})
      texts << e->displayText().trimmed();
    return texts;
  }

  void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }

  void SetEdits(const QStringList& texts) {
    const QList<QLineEdit*> edits = {form_->Edit_OX, form_->Edit_OY, form_->Edit_SX,
                                     form_->Edit_SY};
    for (int i = 0; i < 4; ++i) edits[i]->setText(texts[i]);
  }

 private slots:
  void initTestCase() {
    sim_ = &simcam::Install();
    CommandsUnitInit();
    if (CameraDevice == nullptr) CameraDevice = new TCamera();
    AppCommand->SettingsView = &settings_;
  }

  void init() {
    sim_->PowerOn();
    sim_->SetTiming(simcam::Timing::Deterministic);
    AppCommand->Captures.CaptureRunning = false;
    form_ = std::make_unique<TViewPortForm>();
    QVERIFY(!form_->Button_Apply->isEnabled());
    form_->FormCreate();
  }

  void createdOnTheFullSensorWithoutACameraCall() {
    QCOMPARE(form_->windowTitle(), QStringLiteral("ViewPort"));
    QCOMPARE(Edits(), (QStringList{"0", "0", "1920", "1080"}));
    QCOMPARE(form_->WhiteBox->geometry(), form_->FullView->geometry());
    QVERIFY(form_->Button_Apply->isEnabled());  // the first filling enabled it
    QCOMPARE(sim_->RequestCount(QDV_IOCTL_VIEWPORT), 0u);
  }

  void typedSizeIsAppliedASecondAfterTheLastKey() {
    Type(form_->Edit_SX, QStringLiteral("1000"));
    QVERIFY(form_->TimerApply->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(form_->Edit_SX->displayText().trimmed(), QStringLiteral("992"), 5000);
    QVERIFY(!form_->TimerApply->isActive());
    QCOMPARE(Fields(CameraRegion()), (QList<std::uint32_t>{0, 0, 992, 1080}));
    QVERIFY(settings_.exposureUpdates > 0);
  }

  void enterAppliesWithTheRegionKeptOnTheSensor() {
    SetEdits({"100", "100", "1920", "1080"});
    QTest::keyClick(form_->Edit_OX, Qt::Key_Return);
    QCOMPARE(Edits(), (QStringList{"0", "0", "1920", "1080"}));
    QCOMPARE(form_->Edit_OX->selectedText(), form_->Edit_OX->displayText());
    QCOMPARE(Fields(CameraRegion()), (QList<std::uint32_t>{0, 0, 1920, 1080}));

    // "10" is below one step: size 0 is sent and the camera's answer kept.
    SetEdits({"0", "0", "10", "1080"});
    form_->Button_Apply->click();
    QCOMPARE(Edits(), (QStringList{"0", "0", "0", "1080"}));
    QCOMPARE(form_->WhiteBox->width(), 0);
    QCOMPARE(form_->Region.SizeX, static_cast<std::int32_t>(CameraRegion().SizeX));

    // Blanks between digits, or an empty edit: nothing happens.
    const auto requests = sim_->RequestCount(QDV_IOCTL_VIEWPORT);
    form_->Edit_SX->setText(QStringLiteral("1 2"));
    form_->Button_Apply->click();
    form_->Edit_SX->clear();
    form_->Button_Apply->click();
    QCOMPARE(sim_->RequestCount(QDV_IOCTL_VIEWPORT), requests);
  }

  void regionFromTexts() {
    struct Case {
      QStringList texts;
      std::optional<TRegion> region;
    };
    const Case cases[] = {
        {{"17", "19", "33", "37"}, TRegion{16, 18, 32, 36}},
        {{"9999", "9999", "9999", "9999"}, TRegion{0, 0, 1920, 1080}},
        {{"1900", "1070", "400", "360"}, TRegion{1520, 720, 400, 360}},
        {{" 8  ", "0", "10", "17"}, TRegion{0, 0, 0, 0}},
        {{"0", "0", "    ", "1080"}, std::nullopt},
        {{"0", "1 2", "16", "18"}, std::nullopt},
    };
    for (const Case& c : cases) {
      QCOMPARE(RegionFromTexts(c.texts[0], c.texts[1], c.texts[2], c.texts[3]), c.region);
    }
  }

  void predefinedSizeIsCentredAndDraggedToTheEdges() {
    form_->PredefinedButtons->button(1)->click();  // "400x360"
    QCOMPARE(Fields(CameraRegion()), (QList<std::uint32_t>{760, 360, 400, 360}));
    QCOMPARE(Edits(), (QStringList{"760", "360", "400", "360"}));
    const QRect map = form_->FullView->geometry();
    QCOMPARE(form_->WhiteBox->geometry(), QRect(map.x() + 152, map.y() + 72, 80, 72));

    // Past the right and bottom edges: the box stops on them.
    QWidget* box = form_->WhiteBox;
    SendMouse(box, QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton);
    SendMouse(box, QEvent::MouseMove, QPoint(1010, 1010), Qt::LeftButton);
    QCOMPARE(box->geometry().right(), map.right());
    QCOMPARE(box->geometry().bottom(), map.bottom());
    QCOMPARE(Fields(CameraRegion()), (QList<std::uint32_t>{1520, 720, 400, 360}));
    // Past the left and top edges, the mouse now 1000 pixels off its grab
    // point.
    SendMouse(box, QEvent::MouseMove, QPoint(-2000, -2000), Qt::LeftButton);
    QCOMPARE(box->pos(), map.topLeft());
    QCOMPARE(Fields(CameraRegion()), (QList<std::uint32_t>{0, 0, 400, 360}));
    // A small step: offset rounded down to the steps of 16 and 18.
    SendMouse(box, QEvent::MouseMove, QPoint(10 + 7, 10 + 7), Qt::LeftButton);
    QCOMPARE(Edits(), (QStringList{"32", "18", "400", "360"}));
    SendMouse(box, QEvent::MouseButtonRelease, QPoint(17, 17), Qt::LeftButton);
    SendMouse(box, QEvent::MouseMove, QPoint(100, 100), Qt::NoButton);
    QCOMPARE(Edits(), (QStringList{"32", "18", "400", "360"}));
  }

  void doubleClickCentresWithoutMovingOnTheNextMove() {
    SetEdits({"0", "0", "1904", "1080"});
    form_->Button_Apply->click();
    QWidget* box = form_->WhiteBox;
    SendMouse(box, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton);
    SendMouse(box, QEvent::MouseButtonDblClick, QPoint(5, 5), Qt::LeftButton);
    QCOMPARE(Edits(), (QStringList{"8", "0", "1904", "1080"}));
    QCOMPARE(CameraRegion().StartX, 8u);
    const QPoint placed = box->pos();
    SendMouse(box, QEvent::MouseMove, QPoint(0, 5), Qt::LeftButton);
    QCOMPARE(box->pos(), placed);
  }

  void noRegionChangeWhileACaptureRuns() {
    AppCommand->Captures.CaptureRunning = true;
    const auto requests = sim_->RequestCount(QDV_IOCTL_VIEWPORT);
    form_->PredefinedButtons->button(0)->click();
    SetEdits({"0", "0", "640", "540"});
    form_->Button_Apply->click();
    QTest::keyClick(form_->Edit_SY, Qt::Key_Enter);
    SendMouse(form_->WhiteBox, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton);
    SendMouse(form_->WhiteBox, QEvent::MouseMove, QPoint(-50, -50), Qt::LeftButton);
    SendMouse(form_->WhiteBox, QEvent::MouseButtonDblClick, QPoint(5, 5), Qt::LeftButton);
    QCOMPARE(sim_->RequestCount(QDV_IOCTL_VIEWPORT), requests);
    QCOMPARE(form_->Region, TRegion{});
    QCOMPARE(form_->WhiteBox->geometry(), form_->FullView->geometry());
    AppCommand->Captures.CaptureRunning = false;
  }
};

QTEST_MAIN(TestViewPortForm)
#include "tst_viewport.moc"
