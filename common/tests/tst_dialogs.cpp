// What both programs' windows share on screen: message boxes (icon, caption,
// stacked above a window that stays on top and above a modal dialog in
// progress), tool-bar words that fit their picture, and the keypad keys the
// menus name beside the zoom items.
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <functional>

#include "common/Dialogs.h"
#include "common/KeypadZoomKeys.h"
#include "common/Messages.h"
#include "common/ToolBarGlyph.h"

namespace {

struct TBoxSeen {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString caption;
  const QWindow* above = nullptr;
};

// Shows a box and, from inside its loop, notes what it shows and closes it.
TBoxSeen ShowAndClose(MessageKind kind, const QString& caption) {
  TBoxSeen seen;
  QTimer::singleShot(0, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen = {box->icon(), box->windowTitle(), box->windowHandle()->transientParent()};
    box->done(0);
  });
  ShowMessageBox(kind, caption, QStringLiteral("text"));
  return seen;
}

class TProbeMenu : public QMenu {
 public:
  // The text the menu draws for an item: caption, tab, keys.
  QString Drawn(QAction* action) {
    QStyleOptionMenuItem option;
    initStyleOption(&option, action);
    return option.text;
  }
};

bool EdgeColumnsClear(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    if (qAlpha(image.pixel(0, y)) != 0 || qAlpha(image.pixel(image.width() - 1, y)) != 0)
      return false;
  return true;
}

}  // namespace

class TestDialogs : public QObject {
  Q_OBJECT

 private slots:
  void messageBoxesArePlainOrErrorAndOpenAboveTheTopmostWindow() {
    QWidget plain;
    plain.show();
    QWidget topmost(nullptr, Qt::WindowStaysOnTopHint);
    topmost.show();
    QVERIFY(QTest::qWaitForWindowExposed(&topmost));

    const struct {
      MessageKind kind;
      QString caption;
      QMessageBox::Icon icon;
      QString title;
    } rows[] = {
        {MessageKind::Information, QStringLiteral("Error"), QMessageBox::NoIcon,
         QStringLiteral("Error")},
        {MessageKind::Information, QString(), QMessageBox::NoIcon,
         QCoreApplication::applicationName()},
        {MessageKind::Error, QStringLiteral("Error"), QMessageBox::Critical,
         QStringLiteral("Error")},
    };
    for (const auto& row : rows) {
      const TBoxSeen seen = ShowAndClose(row.kind, row.caption);
      QCOMPARE(seen.icon, row.icon);
      QCOMPARE(seen.caption, row.title);
      QCOMPARE(seen.above, topmost.windowHandle());
    }

    // A box from a modal dialog opens above that dialog.
    QDialog modal;
    TBoxSeen seen;
    QTimer::singleShot(0, [&] {
      seen = ShowAndClose(MessageKind::Information, QString());
      modal.done(0);
    });
    modal.exec();
    QCOMPARE(seen.above, modal.windowHandle());

    // Without a window that stays on top, above the active window.
    topmost.hide();
    plain.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&plain));
    QCOMPARE(ShowAndClose(MessageKind::Information, QString()).above, plain.windowHandle());
  }

  void toolBarWordsFitTheirPicture() {
    for (const char* word : {"RAW", "AVI", "1:1", "?", "W"}) {
      const QImage picture =
          MakeGlyph(QString::fromLatin1(word), Qt::black).pixmap(16, 16).toImage();
      QVERIFY2(EdgeColumnsClear(picture), word);
      QVERIFY2(picture != QImage(16, 16, picture.format()), word);
    }
  }

  void menusNameTheKeypadZoomKeys() {
    TProbeMenu menu;
    QAction* zoomIn = menu.addAction(QStringLiteral("Zoom In"));
    QAction* zoomOut = menu.addAction(QStringLiteral("Zoom Out"));
    QAction* zoomOriginal = menu.addAction(QStringLiteral("Zoom 100%"));
    zoomIn->setShortcut(QKeySequence(Qt::Key_Plus));
    zoomOut->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_Minus));
    zoomOriginal->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_Asterisk));
    // Twice: the names replace, never add to, what the menu shows.
    for (int i = 0; i < 2; ++i) ShowKeypadZoomKeys(zoomIn, zoomOut, zoomOriginal);
    QCOMPARE(menu.Drawn(zoomIn), QStringLiteral("Zoom In\tNum +"));
    QCOMPARE(menu.Drawn(zoomOut), QStringLiteral("Zoom Out\tNum -"));
    QCOMPARE(menu.Drawn(zoomOriginal), QStringLiteral("Zoom 100%\tNum *"));
  }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
