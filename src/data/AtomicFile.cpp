#include "data/AtomicFile.h"

namespace horalog {

TReplacingFile::TReplacingFile(const std::string& target)
    : target_(target),
      temporary_(target + ".tmp"),
      file_(platform::File::Open(temporary_, platform::OpenMode::Create)) {}

TReplacingFile::~TReplacingFile() {
  if (committed_) return;
  try {
    if (file_.IsOpen()) file_.Close();
  } catch (...) {
  }
  platform::RemoveFile(temporary_);
}

void TReplacingFile::Write(const void* data, size_t size) { file_.Write(data, size); }

void TReplacingFile::Commit() {
  file_.Flush();
  file_.Close();
  platform::ReplaceFile(temporary_, target_);
  committed_ = true;
}

}  // namespace horalog
