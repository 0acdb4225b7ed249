#pragma once

#include <string>

namespace qv31 {

// A file written beside its place and renamed over it, so an existing file is replaced whole
// or not at all. The temporary file is created at Open, so a place that cannot be written is
// found before the gateway is asked for anything. The temporary file goes when the object
// does, and when a third interrupt kills the process (see RemoveWhenKilled).
class OutputFile {
 public:
  explicit OutputFile(std::string path) : path_(std::move(path)) {}
  ~OutputFile();  // removes the temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False with `error` naming the file and the reason.
  bool Open(std::string& error);
  const std::string& TempPath() const { return temp_; }
  // Writes `bytes` into the temporary file (replacing what it holds).
  bool Write(const std::string& bytes);
  // Renames the temporary file to the path.
  bool Commit();

 private:
  std::string path_;
  std::string temp_;
  int removal_ = -1;  // its handle with RemoveWhenKilled
};

}  // namespace qv31
