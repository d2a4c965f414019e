// quenlow-listen: hear the outputs of quenlow, and the recording's ideal
// reconstruction, switching between them at the same moment of the music,
// or in a blind test.
#include <variant>

#include "console/terminal.h"
#include "job/interruption.h"
#include "listen/listen_options.h"
#include "listen/listen_run.h"

int main(int argc, char** argv) {
  const std::variant<quenlow::listen::ListenOptions, int> parsed = quenlow::listen::ParseListenOptions(argc, argv);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  // Ctrl+C gives the terminal back before the program ends. This comes
  // before any other thread is started.
  quenlow::LeaveNoOutputOnInterruption({nullptr, quenlow::console::GiveTerminalBackOnTheWayOut});
  return quenlow::listen::RunListen(std::get<quenlow::listen::ListenOptions>(parsed));
}
