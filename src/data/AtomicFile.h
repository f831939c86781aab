// A file written beside its target and put in its place in one step, so that
// a failure part-way leaves the old file whole.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace horalog {

// How a failed replace of the target is raised.
enum class TReplaceError {
  InOut,        // the I/O error of the file operations
  LastOSError,  // the last system error
};

class TReplacingFile {
 public:
  // Creates the temporary file beside target: target + ".tmp" unless named.
  explicit TReplacingFile(const std::string& target, const std::string& temporary = {});
  // Removes the temporary file unless committed.
  ~TReplacingFile();
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;

  // Collected and written in blocks of about 64 KB.
  void Write(const void* data, size_t size);
  // Writes what is collected, flushes to the disk, closes and replaces the
  // target.
  void Commit(TReplaceError raise = TReplaceError::InOut);

 private:
  void WritePending();

  std::string target_, temporary_;
  platform::File file_;
  std::vector<char> pending_;
  bool committed_ = false;
};

}  // namespace horalog
