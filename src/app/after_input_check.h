// A moment between the input's check and the job. It does nothing in the
// program; it has a file of its own (after_input_check.cpp) so that a test
// build can link one that holds the program there while the test changes
// the input under it.
#pragma once

namespace quenlow {

void AfterInputCheck();

}  // namespace quenlow
