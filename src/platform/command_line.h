// What a command-line program gets from the system beyond its files: its
// arguments as UTF-8, its standard streams, and the terminal (the console on
// Windows) it may draw a progress line on.
// One implementation per system: command_line_posix.cpp and
// command_line_windows.cpp.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quenlow::platform {

// The program's arguments, its name first, as UTF-8: on POSIX the bytes as
// given; on Windows the UTF-16 command line converted, since the narrow
// argv there holds only what the ANSI code page can spell.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// A standard stream that was closed at start would be reused by the next
// file opened, and lines meant for it could land in an output: on POSIX it
// is opened on /dev/null instead. Returns whether standard output was
// closed (or, on Windows, is missing).
bool GuardStandardStreams();

// A reader that goes away must not end the program (SIGPIPE on POSIX; on
// Windows a write to a closed pipe only fails).
void IgnoreBrokenPipes();

// Has the console (on Windows) show UTF-8 text and take the escape
// sequences that redraw a line, until RestoreTextConsole; nothing on POSIX,
// whose terminals do both already. Safe to call from a stop handler.
void PrepareTextConsole();
void RestoreTextConsole();

// Whether the stream is a terminal on which a line can be redrawn in place
// (with \r and ESC [ K): on Windows a console that takes escape sequences.
bool CanRedrawLine(std::FILE* stream);
// The terminal's width in columns; 0 when the stream is no terminal or the
// terminal cannot say.
int TerminalColumns(std::FILE* stream);

// How many cells a character takes on the terminal by the C library's
// tables for UTF-8, whatever the user's locale (1 for one they do not know);
// nothing where there are none to ask (Windows, or no UTF-8 locale).
std::optional<int> SystemCharacterCells(char32_t code);

// A UTF-8 name as std::filesystem takes it, and back: on POSIX the bytes as
// they are, on Windows through UTF-16 (a narrow path there would be read in
// the ANSI code page).
std::filesystem::path FileSystemPath(const std::string& name);
std::string NameOfPath(const std::filesystem::path& path);

}  // namespace quenlow::platform
