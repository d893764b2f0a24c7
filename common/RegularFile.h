// Reading files that the user names: only regular files, opened without
// ever blocking.
//
// A FIFO without a writer would hold open() until one comes, and a device
// such as /dev/zero never ends; both would stop the GUI thread. TRegularFile
// opens non-blocking, refuses everything that is not a regular file, and
// then reads with ordinary blocking reads. ReadSmallFile reads a settings
// file whole, refusing one larger than such a file can be.
#ifndef COMMON_REGULARFILE_H
#define COMMON_REGULARFILE_H

#include <QByteArray>
#include <QString>

#include <cstdint>

#include "platform/handle.h"

class TRegularFile {
 public:
  TRegularFile() = default;

  // Opens an existing regular file for reading; a folder, FIFO, socket or
  // device is refused at once. Closes a file open before.
  bool Open(const QString& path);
  void Close() { fd_.reset(); }
  bool IsOpen() const { return fd_.valid(); }
  int Descriptor() const { return fd_.get(); }
  // The file's size now, or -1 when none is open.
  std::int64_t Size() const;

  // Reads up to `size` bytes, repeating short reads until `size` bytes are
  // in or the file ends; returns the bytes read, or -1 when the system
  // refused a read before any byte came.
  std::int64_t Read(void* buffer, std::int64_t size);

  // Why the last Open or Read failed, in a sentence.
  const QString& ErrorString() const { return error_; }

 private:
  platform::UniqueFd fd_;
  QString error_;
};

// Whether a file may be written at `path` by replacing what is there: true
// when nothing is (a dangling link included) or a regular file is, links
// followed. Replacing a FIFO or a device through a link would put a plain
// file in place of the system's node.
bool IsRegularOrAbsent(const QString& path);

// Reads the whole of the regular file at `path` into `contents` when it
// holds at most `limit` bytes. Otherwise false, `contents` empty, and `why`
// says what was wrong.
bool ReadSmallFile(const QString& path, std::int64_t limit, QByteArray& contents, QString& why);

#endif
