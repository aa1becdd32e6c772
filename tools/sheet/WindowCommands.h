#pragma once
// The tesmora-sheet commands that draw a sheet the way the sheet window and
// the printer do:
//
//   pdf FILE SHEET OUT.pdf   prints the sheet into a PDF with its page setup
//   png FILE SHEET OUT.png   the sheet as the window shows it (first
//                            screenful, or the print area when one is set)
#include <optional>

// The exit code when argv names one of these commands (0 done, 1 failed,
// 2 wrong arguments); nullopt for any other command. They need a GUI
// application, so they run before the engine's own commands set one up.
std::optional<int> runWindowCommand(int argc, char** argv);
