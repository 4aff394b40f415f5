// A fresh temporary directory, removed with everything in it at scope exit.
#pragma once

#include <string>

namespace ksatfit::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  bool owned_ = true;  // removed at scope exit (not so a directory adopted from the test)
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

}  // namespace ksatfit::test
