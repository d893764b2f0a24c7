// The file dialogs' own Delete: on a dialog set up as every dialog of both
// programs is, the Delete key on a chosen file and on a chosen folder tree
// removes nothing and asks nothing.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "common/FileDialogs.h"

class TestFileDialogs : public QObject {
  Q_OBJECT

  // Shows the dialog on `folder`, selects `name` in its list and presses
  // Delete there (a window shortcut: the dialog must be the active window).
  // A confirmation box, should one come, is answered "Yes" as a
  // user would; its text is returned.
  static QString PressDeleteOn(QFileDialog& dialog, const QString& folder, const QString& name) {
    dialog.setDirectory(folder);
    dialog.show();
    dialog.activateWindow();
    if (!QTest::qWaitForWindowActive(&dialog)) return QStringLiteral("never active");
    auto* list = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (list == nullptr || model == nullptr) return QStringLiteral("no list view");
    const QString path = QDir(folder).filePath(name);
    if (!QTest::qWaitFor([&] { return model->index(path).isValid(); }, 10000))
      return QStringLiteral("never listed");
    list->setCurrentIndex(model->index(path));
    QString asked;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        asked = box->text();
        box->button(QMessageBox::Yes)->click();
      }
    });
    answer.start(20);
    list->setFocus();
    // The shortcut runs within the key press, confirmation box included.
    QTest::keyClick(list, Qt::Key_Delete);
    dialog.reject();
    return asked;
  }

 private slots:
  void deleteRemovesNothing_data() {
    QTest::addColumn<bool>("folder");
    QTest::newRow("file") << false;
    QTest::newRow("folder tree") << true;
  }

  void deleteRemovesNothing() {
    QFETCH(bool, folder);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString victim = dir.filePath(QStringLiteral("victim"));
    const QString file = folder ? victim + QStringLiteral("/inner/kept.pre") : victim;
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write("Gain=1\r\n") == 8);
    out.close();
    QFileDialog dialog;
    SetUpFileDialog(dialog);
    const QString asked = PressDeleteOn(dialog, dir.path(), QStringLiteral("victim"));
    QVERIFY(QFile::exists(file));
    QCOMPARE(asked, QString());
  }
};

QTEST_MAIN(TestFileDialogs)
#include "tst_filedialogs.moc"
