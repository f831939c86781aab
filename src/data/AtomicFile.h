// A file written beside its target and put in its place in one step, so that
// a failure part-way leaves the old file whole.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace horalog {

class TReplacingFile {
 public:
  // Creates the temporary file beside target (target + ".tmp").
  explicit TReplacingFile(const std::string& target);
  // Removes the temporary file unless committed.
  ~TReplacingFile();
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;

  void Write(const void* data, size_t size);
  // Flushes, closes and replaces the target.
  void Commit();

 private:
  std::string target_, temporary_;
  platform::File file_;
  bool committed_ = false;
};

}  // namespace horalog
