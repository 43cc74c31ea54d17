// Small helpers of the install-info tests: a private directory, whole-file
// reads and writes, and capture of what goes to standard output.
#ifndef CV_INFOTEST_H
#define CV_INFOTEST_H

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "adm_pi.h"
#include "adm_pi_internal.h"
#include "tempdir.h"

namespace inftest {

using Dir = cvtest::TempDir;
using cvtest::readFile;

inline void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

inline std::string dataFile(const std::string& name)
{
    return std::string(CV_INFOFILE_DATA) + "/" + name;
}

// Sends standard output (fd 1) to a file while alive; text() gives what
// arrived. Standard output is restored, not closed, at the end.
class StdoutCapture {
public:
    explicit StdoutCapture(const std::string& path) : path_(path)
    {
        fflush(stdout);
        saved_ = dup(1);
        FILE* f = fopen(path.c_str(), "w");
        dup2(fileno(f), 1);
        fclose(f);
    }
    ~StdoutCapture() { restore(); }
    std::string text()
    {
        restore();
        return readFile(path_);
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int saved_ = -1;
};

// A readable dump of a tree, for comparing trees after round trips.
inline void dumpTree(const ADM_piTree* t, std::ostringstream& out, const std::string& indent)
{
    if (t->timeStamp)
        out << indent << "stamp " << t->timeStamp << "\n";
    for (int i = 0; i < t->valueCount; ++i)
        out << indent << "value " << t->valueNames[i] << "=" << t->valueTexts[i] << "\n";
    for (int i = 0; i < t->booleanCount; ++i)
        out << indent << "bool " << t->booleanNames[i] << "=" << int(t->booleanFlags[i]) << "\n";
    for (int i = 0; i < t->listCount; ++i) {
        out << indent << "list " << t->lists[i].name << ":";
        for (int j = 0; j < t->lists[i].count; ++j)
            out << " " << t->lists[i].items[j];
        out << "\n";
    }
    for (int i = 0; i < t->sectionCount; ++i) {
        out << indent << "section " << t->sections[i].name << "\n";
        dumpTree(t->sections[i].tree, out, indent + "  ");
    }
}

inline std::string dump(const ADM_piTree* t)
{
    std::ostringstream out;
    dumpTree(t, out, "");
    return out.str();
}

} // namespace inftest

#endif
