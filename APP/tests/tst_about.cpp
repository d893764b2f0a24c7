// The about box: closing by any key or "OK", dragging by background, picture
// and texts but not by links or "OK", and what its links start.
#include <QPushButton>
#include <QtTest>

#include "APP/control/Commands.h"
#include "APP/forms/fmAbout.h"

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

// Presses on widget, moves the mouse by (dx, dy) and lets go; returns how far
// the box moved.
QPoint Drag(TAboutForm& form, QWidget* widget, QPoint by) {
  const QPoint before = form.pos();
  const QPoint grab(5, 5);
  SendMouse(widget, QEvent::MouseButtonPress, grab);
  SendMouse(widget, QEvent::MouseMove, grab + by);
  SendMouse(widget, QEvent::MouseButtonRelease, grab + by);
  return form.pos() - before;
}

}  // namespace

class TestAboutBox : public QObject {
  Q_OBJECT

  std::unique_ptr<TAboutForm> form_;
  QStringList launched_;

 private slots:
  void initTestCase() { CommandsUnitInit(); }

  void init() {
    form_ = std::make_unique<TAboutForm>();
    form_->FormCreate();
    form_->Launch = [this](const QString& target, bool isUrl) {
      launched_ << (isUrl ? QStringLiteral("url ") : QStringLiteral("run ")) + target;
    };
    launched_.clear();
  }

  void cleanup() { AppCommand->AboutView = nullptr; }

  void anyKeyOrOkCloses() {
    for (int key : {int(Qt::Key_A), int(Qt::Key_Space), int(Qt::Key_Return), int(Qt::Key_F5)}) {
      QTimer::singleShot(0, this, [this, key] {
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QTest::keyClick(form_->windowHandle(), Qt::Key(key));
      });
      QCOMPARE(AppCommand->AboutView, static_cast<IModalView*>(form_.get()));
      AppCommand->ShowAbout();
      QVERIFY(!form_->isVisible());
    }
    // The labels were refreshed when the box became active.
    QVERIFY(form_->Label5->text().startsWith(QStringLiteral("Compiled ")));
    QVERIFY(form_->Label5->text().size() > 12);
    QCOMPARE(form_->Label3->text(), QStringLiteral("Version 2.0"));

    form_->show();
    form_->SpeedButton1->click();
    QVERIFY(!form_->isVisible());
  }

  void draggedByPictureAndTextsButNotByLinksOrOk() {
    form_->move(200, 150);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    // The window follows the mouse, one pixel short of the grab point.
    QCOMPARE(Drag(*form_, form_->Image1, QPoint(30, 20)), QPoint(29, 19));
    QCOMPARE(Drag(*form_, form_->Label1, QPoint(-10, 4)), QPoint(-11, 3));
    QCOMPARE(Drag(*form_, form_->Panel, QPoint(3, 3)), QPoint(2, 2));
    for (QWidget* fixed : std::initializer_list<QWidget*>{
             form_->URL, form_->lbVersionInfo, form_->lbSystemInfo, form_->SpeedButton1}) {
      QCOMPARE(Drag(*form_, fixed, QPoint(30, 20)), QPoint(0, 0));
      form_->show();  // "OK" closed it
    }
    QVERIFY(launched_.isEmpty());
    form_->InitVersionLabel();
    for (QWidget* link : {form_->URL, form_->lbVersionInfo, form_->lbSystemInfo})
      QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
    // The system's information program starts only where it is installed.
    QVERIFY(launched_.size() >= 2);
    QCOMPARE(launched_[0], QStringLiteral("url https://www.example.com/qdv47b5"));
    QVERIFY(launched_[1].startsWith(QStringLiteral("run /")));
    QVERIFY(launched_[1].endsWith(QStringLiteral("/Buildcard.exe")));
  }
};

QTEST_MAIN(TestAboutBox)
#include "tst_about.moc"
