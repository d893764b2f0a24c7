// The file dialogs' own Delete: on a dialog set up as every dialog of both
// programs is, the Delete key on a chosen file and on a chosen folder tree
// removes nothing and asks nothing. A dialog run as the programs run it
// shows a typical line of its list and every place of its side bar whole.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
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

  void aTypicalLineAndThePlacesShowWhole() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The longest name the programs write, at a size of many digits, and a
    // preset file of a few hundred bytes.
    const QString names[] = {QStringLiteral("VIDEO_0000-PART-0000.AVI"),
                             QStringLiteral("qdv47b5.pre")};
    const qint64 sizes[] = {1999999999, 422};
    for (int i = 0; i < 2; ++i) {
      QFile file(dir.filePath(names[i]));
      QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(sizes[i]));
    }
    QFileDialog dialog;
    SetUpFileDialog(dialog);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setDirectory(dir.path());
    QStringList cut;
    const ScopedFileDialogRunner runner([&](QFileDialog& shown) {
      shown.show();
      auto* list = shown.findChild<QTreeView*>(QStringLiteral("treeView"));
      auto* places = shown.findChild<QAbstractItemView*>(QStringLiteral("sidebar"));
      auto* model = shown.findChild<QFileSystemModel*>();
      if (list == nullptr || places == nullptr || model == nullptr) {
        cut << QStringLiteral("no list");
        return false;
      }
      const QModelIndex folder = model->index(dir.path());
      if (!QTest::qWaitFor([&] { return model->rowCount(folder) == 2; }, 10000))
        cut << QStringLiteral("never listed");
      QTest::qWait(50);  // the list lays out its rows
      for (int row = 0; row < model->rowCount(folder); ++row)
        for (int column : {0, 1}) {
          const QModelIndex index = model->index(row, column, folder);
          if (list->sizeHintForIndex(index).width() > list->header()->sectionSize(column))
            cut << index.data().toString();
        }
      if (list->horizontalScrollBar()->maximum() > 0) cut << QStringLiteral("list scrolls");
      for (int row = 0; row < places->model()->rowCount(); ++row) {
        const QModelIndex index = places->model()->index(row, 0);
        if (places->sizeHintForIndex(index).width() > places->viewport()->width())
          cut << index.data().toString();
      }
      return false;
    });
    QVERIFY(!RunFileDialog(dialog));
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(", "))));
  }
};

QTEST_MAIN(TestFileDialogs)
#include "tst_filedialogs.moc"
