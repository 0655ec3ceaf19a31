// The program's own texts, as the tests expect to see them byte for byte.
#pragma once

#include <string>

namespace velmora_test {

inline const std::string banner =
    "\n "
    "\n velmora   ver 1.2   April 3, 2007\n"
    "\n by velmora developers"
    "\n Email: velmora@example.org "
    "\n "
    "\n This program calculates the remaining ratio for shock   "
    "\n propagating through a cylindrical shell.                \n"
    "\n Reference: NASA CR 116406, Pyrotechnic Shock Data, Figure 3.1 \n";
inline const std::string ask_start = "\n\n Enter the starting point (inch): \n";
inline const std::string ask_end = "\n Enter the ending (inch): \n";
inline const std::string ask_both = ask_start + ask_end;
inline const std::string input_error = "\n\n Input error.  Try again. \n";
inline const std::string ask_again = "\n  Another calculation?  \n  1=yes 2=no \n";
inline const std::string press_any_key = "\n\n Press any key to exit \n\n";
inline const std::string closing = press_any_key + "\n";

// The two result lines, each number given as its six-character field.
inline std::string result_lines(const char* start_field, const char* end_field,
                                const char* ratio_field) {
    return std::string("\n  ") + start_field + "  " + end_field + " \n" + "\n\n  " + ratio_field +
           " remaining ratio\n";
}

inline const std::string result_12_to_100 = result_lines(" 0.765", " 0.104", " 0.136");

}  // namespace velmora_test
