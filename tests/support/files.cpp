#include "tests/support/files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = std::string(VANTREL_BINARY_DIR) + "/test-tmp-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) std::abort();
    root = buffer.data();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

std::string TempDir::write(const std::string& name, const std::vector<unsigned char>& bytes) const
{
    const std::string path = file(name);
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string TempDir::write(const std::string& name, const std::string& text) const
{
    return write(name, std::vector<unsigned char>(text.begin(), text.end()));
}

ScopedChdir::ScopedChdir(const std::string& dir)
{
    previous = fs::current_path().string();
    fs::current_path(dir);
}

ScopedChdir::~ScopedChdir()
{
    fs::current_path(previous);
}

std::vector<unsigned char> readBinaryFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> listFiles(const std::string& dir)
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(dir, error))
        if (entry.is_regular_file()) files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}
