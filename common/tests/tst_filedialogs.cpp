// The file dialogs' own Delete: on a dialog set up as every dialog of both
// programs is, the Delete key on a chosen file and on a chosen folder tree
// removes nothing and asks nothing. A dialog run as the programs run it
// shows a typical line of its list and every place of its side bar whole.
// A FIFO in the folder is never opened, and the window goes on answering.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
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

#include <algorithm>
#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/FileDialogs.h"
#include "platform/handle.h"

// The names of the files opened in a folder from its creation on, as the
// kernel reports them (the folder's own opening for its listing aside).
class TOpenWatch {
 public:
  explicit TOpenWatch(const QString& folder) : watch_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (watch_ &&
        ::inotify_add_watch(watch_.get(), QFile::encodeName(folder).constData(), IN_OPEN) < 0)
      watch_.reset();
  }
  bool Watching() const { return static_cast<bool>(watch_); }

  QStringList Opened() const {
    QStringList names;
    alignas(inotify_event) char events[4096];
    ssize_t size = 0;
    while ((size = ::read(watch_.get(), events, sizeof events)) > 0) {
      for (const char* at = events; at < events + size;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        if (event->len > 0) names << QFile::decodeName(event->name);
        at += sizeof(inotify_event) + event->len;
      }
    }
    return names;
  }

 private:
  platform::UniqueFd watch_;
};

// Offers itself as a FIFO's writer every 2 ms until it is destroyed, and
// counts the opens that succeeded: each met a reader, whose wait it ended.
class TFifoWriter {
 public:
  explicit TFifoWriter(QByteArray path) : path_(std::move(path)), thread_([this] { Run(); }) {}
  ~TFifoWriter() {
    writing_ = false;
    thread_.join();
  }
  TFifoWriter(const TFifoWriter&) = delete;
  TFifoWriter& operator=(const TFifoWriter&) = delete;

  int ReadersMet() const { return met_.load(); }

 private:
  void Run() {
    while (writing_.load()) {
      if (platform::UniqueFd(::open(path_.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC))) ++met_;
      ::usleep(2000);
    }
  }

  const QByteArray path_;
  std::atomic<bool> writing_{true};
  std::atomic<int> met_{0};
  std::thread thread_;  // last: it starts once the rest is there
};

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

  // The dialog tells a file's type by its name and opens no file it lists:
  // reading the first bytes of each, as Qt's own provider does for a name it
  // cannot place, waits for good on a file whose reads block (a FIFO, a file
  // of /proc such as kmsg, one on a network share that no longer answers).
  // The kernel reports every opening in the folder. Reading a FIFO waits for
  // a writer, so a second thread offers itself as that writer all along:
  // its open succeeds only while something reads the FIFO, and it ends that
  // wait, so the test fails at once rather than hangs. The dialog lists no
  // FIFO, but gathers the details of every entry before it says the folder
  // is loaded.
  void noListedFileIsOpened() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("camera.fifo")));
    QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
    QFile preset(dir.filePath(QStringLiteral("qdv47b5.pre")));
    QVERIFY(preset.open(QIODevice::WriteOnly) && preset.write("Gain=1\r\n") == 8);
    preset.close();
    const TOpenWatch opens(dir.path());
    QVERIFY(opens.Watching());
    const TFifoWriter writer(fifo);
    bool listed = false;
    int ticks = 0;
    qint64 longestGap = 0;
    {
      QFileDialog dialog;
      SetUpFileDialog(dialog);
      dialog.setViewMode(QFileDialog::Detail);
      dialog.setDirectory(dir.path());
      auto* model = dialog.findChild<QFileSystemModel*>();
      QVERIFY(model != nullptr);
      bool loaded = false;
      QObject::connect(model, &QFileSystemModel::directoryLoaded,
                       [&](const QString& path) { loaded = loaded || path == dir.path(); });
      QElapsedTimer sinceTick;
      QTimer tick;
      QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
        ++ticks;
      });
      const ScopedFileDialogRunner runner([&](QFileDialog& shown) {
        shown.show();
        sinceTick.start();
        tick.start(10);
        listed = QTest::qWaitFor(
            [&] {
              return loaded && !model->index(preset.fileName(), 2).data().toString().isEmpty();
            },
            5000);
        QTest::qWait(200);
        tick.stop();
        return false;
      });
      RunFileDialog(dialog);
    }  // the dialog's listing thread ends with it
    QVERIFY(listed);
    const QStringList opened = opens.Opened();
    QVERIFY2(opened.isEmpty(),
             qPrintable(QStringLiteral("opened: ") + opened.join(QLatin1Char(' '))));
    QCOMPARE(writer.ReadersMet(), 0);
    QVERIFY2(ticks >= 10 && longestGap < 500,
             qPrintable(QStringLiteral("%1 ticks, longest gap %2 ms").arg(ticks).arg(longestGap)));
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
