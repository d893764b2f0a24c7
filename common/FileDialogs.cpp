#include "common/FileDialogs.h"

#include <QAbstractFileIconProvider>
#include <QCompleter>
#include <QDateTime>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QLayout>
#include <QLocale>
#include <QMimeDatabase>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeView>

#include <algorithm>
#include <array>

#include "common/Dialogs.h"

namespace {
FileDialogRunner& Runner() {
  static FileDialogRunner runner;
  return runner;
}
}  // namespace

namespace {

// Names a file's type by its name alone. Qt's own provider reads the first
// bytes of every listed file whose name it cannot place (devices and FIFOs
// it tells by their kind), and a read that never returns, from a file of
// /proc such as kmsg or one on a network share that no longer answers,
// blocks the window for good.
class TNameOnlyIconProvider : public QFileIconProvider {
 public:
  QString type(const QFileInfo& info) const override {
    if (info.isDir() || info.isRoot()) return QFileIconProvider::type(info);
    return database_.mimeTypeForFile(info, QMimeDatabase::MatchExtension).comment();
  }

 private:
  QMimeDatabase database_;
};

}  // namespace

void SetUpFileDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::ReadOnly);
  // The dialog does not own its icon provider: one provider serves every
  // dialog for the program's life.
  static TNameOnlyIconProvider* const provider = new TNameOnlyIconProvider;
  dialog.setIconProvider(provider);
}

namespace {

// What a typical line of the list shows, column by column: the longest name
// either program writes, a size of each unit, the types of its files, and a
// date of two-digit day and month as the list writes it.
QString WidestSample(const QFontMetrics& metrics, const QStringList& samples) {
  QString widest;
  for (const QString& sample : samples)
    if (metrics.horizontalAdvance(sample) > metrics.horizontalAdvance(widest)) widest = sample;
  return widest;
}

QStringList ColumnSamples(const QFileDialog& dialog, int column) {
  static const QString name = QStringLiteral("VIDEO_0000-PART-0000.AVI");
  const QLocale locale = QLocale::system();
  switch (column) {
    case 0: return {name};
    case 1:
      return {locale.formattedDataSize(999), locale.formattedDataSize(999 * 1024 + 1000),
              locale.formattedDataSize(qint64{999} << 20),
              locale.formattedDataSize(qint64{99} << 30)};
    case 2: {
      QStringList types = {QStringLiteral("Folder")};
      if (const QAbstractFileIconProvider* icons = dialog.iconProvider())
        for (const char* file : {"VIDEO_0.AVI", "VIDEO_0.RAW", "FRAME_0.BMP", "qdv47b5.pre"})
          types << icons->type(QFileInfo(QString::fromLatin1(file)));
      return types;
    }
    default:
      return {
          locale.toString(QDateTime(QDate(2026, 12, 28), QTime(23, 58, 58)), QLocale::ShortFormat)};
  }
}

// Opens the dialog wide enough that a typical line of its list, and every
// place of its side bar ("Computer", the home folder), shows whole: Qt's
// own width cuts them ("Com...", "422...tes"), and it restores the last
// run's narrow columns.
void FitFileDialog(QFileDialog& dialog) {
  auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  auto* places = dialog.findChild<QAbstractItemView*>(QStringLiteral("sidebar"));
  auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter"));
  if (list == nullptr || places == nullptr || splitter == nullptr) return;
  dialog.ensurePolished();
  const QFontMetrics metrics(list->font());
  // A cell's margins, and the name's icon beside it.
  const int margins = 2 * metrics.averageCharWidth() + 8;
  const int icon = list->iconSize().isValid() ? list->iconSize().width() : 16;
  int listWidth = 2 * list->frameWidth() + list->verticalScrollBar()->sizeHint().width();
  QHeaderView* header = list->header();
  for (int column = 0; column < header->count(); ++column) {
    const QString widest = WidestSample(metrics, ColumnSamples(dialog, column));
    const int width =
        metrics.horizontalAdvance(widest) + margins + (column == 0 ? icon + margins / 2 : 0);
    header->resizeSection(column, std::max(width, header->sectionSizeHint(column)));
    listWidth += header->sectionSize(column);
  }
  const int placesWidth = places->sizeHintForColumn(0) + 2 * places->frameWidth() + margins;
  const QMargins frame =
      dialog.layout() != nullptr ? dialog.layout()->contentsMargins() : QMargins();
  int width = frame.left() + placesWidth + splitter->handleWidth() + listWidth + frame.right();
  if (const QScreen* screen = dialog.screen())
    width = std::min(width, screen->availableGeometry().width());
  dialog.resize(std::max(width, dialog.width()), dialog.height());
  splitter->setSizes({placesWidth, std::max(dialog.width() - placesWidth, listWidth)});
}

// A completion list that outlives its dialog: the file system model goes on
// listing a typed folder after the dialog has closed, and its completer then
// opens the list again, over the main window, taking the next key. Without
// its edit the completer opens nothing; the edit takes it back when it next
// gets the focus.
void DetachCompleters(QFileDialog& dialog) {
  for (QCompleter* completer : dialog.findChildren<QCompleter*>()) completer->setWidget(nullptr);
}

}  // namespace

bool RunFileDialog(QFileDialog& dialog) {
  // Above the settings dialog too, which stays on top while it is shown.
  OpenAbove(dialog, ModalOwner());
  FitFileDialog(dialog);
  const bool chosen = Runner() ? Runner()(dialog) : dialog.exec() == QDialog::Accepted;
  DetachCompleters(dialog);
  return chosen;
}

namespace {
// Qt's own folder dialog, which also takes a typed folder that does not
// exist yet where the plain dialog refuses it with "Directory not found".
class TFolderChooser : public QFileDialog {
 public:
  TFolderChooser(QWidget* owner, const QString& caption, const QString& start)
      : QFileDialog(owner, caption, start) {
    SetUpFileDialog(*this);
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
  }

  // The folder chosen, empty after Cancel.
  QString Run() {
    if (!RunFileDialog(*this)) return {};
    return newFolder_.isEmpty() ? selectedFiles().value(0) : newFolder_;
  }

 protected:
  void accept() override {
    const QString typed = selectedFiles().value(0);
    if (typed.isEmpty() || QFileInfo::exists(typed)) {
      QFileDialog::accept();
      return;
    }
    newFolder_ = typed;
    QDialog::accept();
  }

 private:
  QString newFolder_;
};
}  // namespace

QString ChooseFolderOrNew(QWidget* owner, const QString& caption, const QString& start) {
  return TFolderChooser(owner, caption, start).Run();
}

FileDialogRunner SetFileDialogRunner(FileDialogRunner runner) {
  FileDialogRunner previous = std::move(Runner());
  Runner() = std::move(runner);
  return previous;
}
