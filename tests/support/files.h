// Files for tests: a scratch folder of one test's own, the working directory
// changed for a while, and reading files back. Shared by every test program,
// the real-layer ones too.
#pragma once

#include <string>
#include <vector>

// A fresh directory under the build tree for one test's files, removed at exit.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return root; }
    std::string file(const std::string& name) const { return root + "/" + name; }
    // Writes bytes to a file below the directory, creating subdirectories.
    std::string write(const std::string& name, const std::vector<unsigned char>& bytes) const;
    std::string write(const std::string& name, const std::string& text) const;

private:
    std::string root;
};

// Runs the rest of a test with the working directory changed, restoring it after.
class ScopedChdir {
public:
    explicit ScopedChdir(const std::string& dir);
    ~ScopedChdir();

private:
    std::string previous;
};

std::vector<unsigned char> readBinaryFile(const std::string& path);

// All regular files below a directory, sorted.
std::vector<std::string> listFiles(const std::string& dir);
