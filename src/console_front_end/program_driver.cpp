#include "program_driver.hpp"

#include "calculation_dialogue.hpp"
#include "console.hpp"

namespace velmora {

namespace {

// The status the program ends with after a normal run.
constexpr int normal_exit_status = 1;

// The last answer to "Another calculation?"; 1 means go on.
int another_choice = 1;

// Writes the banner: program, authors, purpose and the curve's reference.
void write_banner() {
    write_text("\n ");
    write_text("\n velmora   ver 1.2   April 3, 2007\n");
    write_text("\n by velmora developers");
    write_text("\n Email: velmora@example.org ");
    write_text("\n ");
    write_text("\n This program calculates the remaining ratio for shock   ");
    write_text("\n propagating through a cylindrical shell.                \n");
    write_text("\n Reference: NASA CR 116406, Pyrotechnic Shock Data, Figure 3.1 \n");
}

// Asks whether to calculate again until the answer is an integer, and keeps it in
// another_choice; false when standard input ends first.
bool ask_for_another_choice() {
    for (;;) {
        write_text("\n  Another calculation?  ");
        write_text("\n  1=yes 2=no \n");
        const integer_reading answer = read_integer();
        if (answer.status == input_status::value) {
            another_choice = answer.value;
            return true;
        }
        if (answer.status == input_status::ended) {
            return false;
        }
    }
}

// Runs calculations while the answer is 1; stops too when standard input ends.
void run_calculations() {
    another_choice = 1;
    while (another_choice == 1) {
        if (run_calculation() == calculation_outcome::input_ended) {
            return;
        }
        if (!ask_for_another_choice()) {
            return;
        }
    }
}

}  // namespace

void run_program() {
    write_banner();
    run_calculations();
    write_text("\n\n Press any key to exit \n\n");
    wait_for_key();
    write_text("\n");
    end_process(normal_exit_status);
}

}  // namespace velmora
