// Reading the files a user names: a settings file of exactly the limit is
// read, one byte more is refused, and so is a file that yields more than
// its size said (one that grew meanwhile); FIFOs are refused without
// waiting for a writer; replacing is allowed only where the name holds a
// regular file or nothing, and a name that cannot be looked up is not
// "nothing".
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include "common/RegularFile.h"

namespace {

class RegularFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  QString Write(const char* name, const QByteArray& bytes) const {
    QFile file(Path(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
  }
  QTemporaryDir dir;
};

TEST_F(RegularFileTest, ReadSmallFileTakesUpToTheLimitAndNoMore) {
  const QByteArray limitBytes(64, 'x');
  const struct {
    const char* what;
    QString path;
    bool read;
    QString why;
  } cases[] = {
      {"exactly the limit", Write("exact", limitBytes), true, {}},
      {"one byte over", Write("over", limitBytes + 'y'), false,
       QStringLiteral("The file is larger than 64 bytes")},
      // The kernel's files say they hold nothing and then yield more: the
      // case of a file that grows between its size and its read.
      {"more than its size said", QStringLiteral("/proc/self/status"), false,
       QStringLiteral("The file is larger than 64 bytes")},
      {"a folder", dir.path(), false, QStringLiteral("Not a regular file")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QByteArray contents("left over");
    QString why;
    EXPECT_EQ(ReadSmallFile(c.path, 64, contents, why), c.read);
    EXPECT_EQ(contents, c.read ? limitBytes : QByteArray());
    if (!c.read) {
      EXPECT_EQ(why, c.why);
    }
  }
}

TEST_F(RegularFileTest, AFifoIsRefusedWithoutWaitingForAWriter) {
  const QString fifo = Path("fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  ::alarm(10);  // a blocking open ends the test program instead of hanging it
  TRegularFile file;
  EXPECT_FALSE(file.Open(fifo));
  ::alarm(0);
  EXPECT_EQ(file.ErrorString(), QStringLiteral("Not a regular file"));
  EXPECT_FALSE(file.IsOpen());
}

TEST_F(RegularFileTest, OnlyARegularFileOrNothingMayBeReplaced) {
  const QString regular = Write("regular", "r");
  ASSERT_TRUE(QFile::link(regular, Path("link")));
  ASSERT_TRUE(QFile::link(Path("gone"), Path("dangling")));
  ASSERT_TRUE(QFile::link(Path("loop2"), Path("loop1")));
  ASSERT_TRUE(QFile::link(Path("loop1"), Path("loop2")));
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
  const struct {
    const char* name;
    bool allowed;
  } cases[] = {{"absent", true},     {"dangling", true}, {"regular", true},
               {"link", true},       {"fifo", false},    {"loop1", false},  // ELOOP
               {"regular/x", false},  // ENOTDIR: the name cannot be looked up
               {".", false}};
  for (const auto& c : cases) EXPECT_EQ(IsRegularOrAbsent(Path(c.name)), c.allowed) << c.name;
}

}  // namespace
