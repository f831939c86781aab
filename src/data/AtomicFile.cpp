#include "data/AtomicFile.h"

#include "data/Errors.h"

namespace horalog {

namespace {

constexpr size_t BlockSize = 64 * 1024;

}  // namespace

TReplacingFile::TReplacingFile(const std::string& target, const std::string& temporary)
    : target_(target),
      temporary_(temporary.empty() ? target + ".tmp" : temporary),
      file_(platform::File::Open(temporary_, platform::OpenMode::Create)) {}

TReplacingFile::~TReplacingFile() {
  if (committed_) return;
  try {
    if (file_.IsOpen()) file_.Close();
  } catch (...) {
  }
  platform::RemoveFile(temporary_);
}

void TReplacingFile::Write(const void* data, size_t size) {
  if (pending_.size() + size > BlockSize) WritePending();
  if (size >= BlockSize) {
    file_.Write(data, size);
    return;
  }
  const auto* bytes = static_cast<const char*>(data);
  pending_.insert(pending_.end(), bytes, bytes + size);
}

void TReplacingFile::WritePending() {
  if (pending_.empty()) return;
  file_.Write(pending_.data(), pending_.size());
  pending_.clear();
}

void TReplacingFile::Commit(TReplaceError raise) {
  WritePending();
  file_.Flush();
  file_.Close();
  if (raise == TReplaceError::InOut) {
    platform::ReplaceFile(temporary_, target_);
  } else if (!platform::TryReplaceFile(temporary_, target_)) {
    RaiseLastOSError();
  }
  committed_ = true;
}

}  // namespace horalog
