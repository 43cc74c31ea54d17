// A private temporary directory for one test, removed with everything below
// it when the object dies. Paths given to the helpers are relative to it;
// parents are created as needed. Failures throw std::runtime_error, which
// GoogleTest reports as a failure of the running test.
#ifndef CV_TEST_TEMPDIR_H
#define CV_TEST_TEMPDIR_H

#include <string>

namespace cvtest {

class TempDir {
public:
    // Creates a fresh directory below $TMPDIR (or /tmp) named <prefix>.XXXXXX.
    explicit TempDir(const std::string& prefix = "cvtest");
    // Removes the tree; links are unlinked, never followed. Directories made
    // unreadable by a test are made accessible again first.
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Absolute path of rel below the directory ("" gives the directory).
    std::string file(const std::string& rel) const;

    void mkdirs(const std::string& rel) const; // like mkdir -p
    // rel, then depth directories "d" nested below it, with a file "leaf" in
    // the deepest: deeper than any path the system can name at once.
    void mkdeep(const std::string& rel, int depth) const;
    void write(const std::string& rel, const std::string& content) const;
    std::string read(const std::string& rel) const;
    void symlink(const std::string& target, const std::string& rel) const;
    bool exists(const std::string& rel) const; // lstat, no following
    // Number of entries (files, links, directories) below rel, rel excluded.
    size_t countEntries(const std::string& rel = "") const;

private:
    std::string path_;
};

// The whole content of the file at path, "" when it cannot be read (a log
// that nothing has written yet reads as empty).
std::string readFile(const std::string& path);

} // namespace cvtest

#endif
