// Texts of the C interface as std::string, for assertions that compare them
// (a null shown as a marker the expected text can name).
#ifndef CV_TEST_C_TEXT_H
#define CV_TEST_C_TEXT_H

#include <string>

#include "setup_util.h"

namespace cvtest {

// A text the caller does not own; "<null>" for none.
inline std::string shown(const char* text)
{
    return text != nullptr ? text : "<null>";
}

// A new text the library handed over (released with setupFree, here);
// "(null)" for none.
inline std::string taken(char* owned)
{
    std::string s = owned != nullptr ? owned : "(null)";
    setupFree(owned);
    return s;
}

} // namespace cvtest

#endif
