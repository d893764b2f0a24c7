// Creating the files the programs name: a new file is created only where no
// directory entry of that name exists (a dangling symbolic link included) and
// never through a link; a file that is replaced on purpose is written under
// a temporary name in the same folder first and then renamed over the old
// one, so that the name always holds either the old or the whole new file.
#ifndef PLATFORM_NEWFILE_H
#define PLATFORM_NEWFILE_H

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/handle.h"

namespace platform {

// Whether a directory entry of that name exists: a file, a folder or a
// symbolic link, also one pointing nowhere.
bool NameTaken(const char* path);

// Creates path as a new, empty file open for writing (permissions 0666 less
// the umask). Fails, with errno telling why, where any directory entry of
// that name exists: nothing is overwritten and no link is followed.
UniqueFd CreateNewFile(const char* path);

// Creates a new, empty file in the folder of path under a short random name
// of its own (so that it passes no limit of a name's length), as
// CreateNewFile does; its name is returned through temporary. No descriptor,
// with errno telling why, when none can be created.
UniqueFd CreateTemporaryBeside(const char* path, std::string& temporary);

// A C file closed when its owner goes.
struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// How a named file is written: as a new file (where the name is free), or
// replacing whatever file holds the name, through a temporary file.
enum class FileCreation { Replace, NewOnly };

// Writes a file's whole contents to the open file; false when a write fails.
using FileContentWriter = std::function<bool(std::FILE* file)>;

// CreateNewFile as a C file for binary writing; null, with errno telling
// why, when it cannot be created.
FilePtr CreateBinaryFile(const char* path);

// Creates path as creation says and fills it through write; the file is
// closed before this returns. False when the file cannot be created, a write
// fails or the closing flush fails: a new file is then removed, and a file
// being replaced keeps its old contents (the temporary file is removed).
// Writes past a file-size limit fail only where SIGXFSZ is ignored.
bool WriteWholeFile(const char* path, FileCreation creation, const FileContentWriter& write);

}  // namespace platform

#endif
